#pragma once

// Reading PNG files in the tests: the header fields, the chunk list and the
// decoded pixels (through libpng).

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace norvane::testing {

struct PngHeader {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int bitDepth = 0;
    int colourType = 0;
    int compression = 0;
    int filter = 0;
    int interlace = 0;
};

struct PngChunk {
    std::string type;
    std::span<const std::uint8_t> data;
};

bool HasPngSignature(std::span<const std::uint8_t> bytes);
// The chunks in file order; empty when the structure is broken (a length
// running past the end of the file).
std::vector<PngChunk> Chunks(std::span<const std::uint8_t> bytes);
// The IHDR fields; all zero when the file does not start with IHDR.
PngHeader Header(std::span<const std::uint8_t> bytes);

struct Rgb {
    std::uint8_t r, g, b;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct DecodedImage {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels; // row by row
    std::string error;       // set when libpng could not decode

    Rgb At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

DecodedImage Decode(std::span<const std::uint8_t> bytes);

std::vector<std::uint8_t> ReadFile(const std::string& path);

} // namespace norvane::testing
