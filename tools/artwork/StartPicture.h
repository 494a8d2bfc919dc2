#pragma once

// The start picture of the main window, shown until the first design:
// 800 x 495 pixels, 256 colours (8-bit palette PNG).

#include "Png.h"

#include <QImage>
#include <QString>

namespace norvane::artwork {

// The picture in true colour, before the palette is made.
QImage DrawStartPictureRgb(const QString& family, const QString& version);

// The same, reduced to a palette of 256 colours.
IndexedImage DrawStartPicture(const QString& family, const QString& version);

} // namespace norvane::artwork
