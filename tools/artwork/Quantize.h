#pragma once

// Reduction of a true-colour picture to a palette of at most 256 colours,
// without dithering (so edges stay clean), the same result on every run.

#include "Png.h"

#include <QImage>

namespace norvane::artwork {

// Splits the colour space greedily: the box of colours with the largest
// squared error is cut at the point of its widest channel that leaves the
// smallest error, until there are maxColours boxes; a few rounds of
// k-means then settle the palette, and every pixel gets its nearest entry.
// The palette is ordered from dark to light.
IndexedImage Quantize(const QImage& image, int maxColours);

} // namespace norvane::artwork
