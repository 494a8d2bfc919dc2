#pragma once

// Writes palette pictures as PNG with libpng, the same bytes on every run:
// fixed palette order, zlib level 9, no filtering, and no chunks beyond
// IHDR, PLTE, IDAT and IEND (no time stamp, no text).

#include <cstdint>
#include <string>
#include <vector>

namespace norvane::artwork {

struct Rgb {
    std::uint8_t r;
    std::uint8_t g;
    std::uint8_t b;

    friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct IndexedImage {
    int width = 0;
    int height = 0;
    int bitDepth = 8;                 // 4 (16 colours) or 8 (256 colours)
    std::vector<Rgb> palette;         // at most 2^bitDepth entries
    std::vector<std::uint8_t> pixels; // width * height palette indices, row by row
};

// The complete PNG file. Throws std::runtime_error when libpng refuses.
std::vector<std::uint8_t> EncodePng(const IndexedImage& image);

// Writes bytes to a file; throws std::runtime_error on failure.
void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

} // namespace norvane::artwork
