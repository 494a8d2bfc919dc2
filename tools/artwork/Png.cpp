#include "Png.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <stdexcept>

namespace norvane::artwork {
namespace {

void AppendBytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void NoFlush(png_structp)
{}

std::vector<std::uint8_t> PackRow(const IndexedImage& image, int y)
{
    const std::uint8_t* row = image.pixels.data() + static_cast<std::size_t>(y) * image.width;
    if (image.bitDepth == 8) {
        return {row, row + image.width};
    }
    std::vector<std::uint8_t> packed((image.width + 1) / 2, 0);
    for (int x = 0; x < image.width; ++x) {
        const std::uint8_t v = row[x] & 0x0F;
        packed[x / 2] |= (x % 2 == 0) ? static_cast<std::uint8_t>(v << 4) : v;
    }
    return packed;
}

} // namespace

std::vector<std::uint8_t> EncodePng(const IndexedImage& image)
{
    if (image.bitDepth != 4 && image.bitDepth != 8) {
        throw std::runtime_error("only 4 and 8 bits per pixel are written");
    }
    if (image.palette.empty() || image.palette.size() > (1u << image.bitDepth)) {
        throw std::runtime_error("palette does not fit the bit depth");
    }
    if (image.pixels.size() != static_cast<std::size_t>(image.width) * image.height) {
        throw std::runtime_error("pixel count does not match the size");
    }
    for (const std::uint8_t index : image.pixels) {
        if (index >= image.palette.size()) {
            throw std::runtime_error("pixel refers to a colour outside the palette");
        }
    }

    // Everything that allocates happens before libpng runs, so that its
    // error exit (a longjmp back into this function) skips no destructor.
    std::vector<std::vector<std::uint8_t>> rows;
    std::vector<png_bytep> rowPointers;
    for (int y = 0; y < image.height; ++y) {
        rows.push_back(PackRow(image, y));
    }
    for (auto& row : rows) {
        rowPointers.push_back(row.data());
    }
    std::vector<png_color> palette;
    for (const Rgb& c : image.palette) {
        palette.push_back({c.r, c.g, c.b});
    }
    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(image.width) * image.height);

    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("libpng: out of memory");
    }
    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("libpng refused to write the picture");
    }
    png_set_write_fn(png, &out, AppendBytes, NoFlush);
    png_set_compression_level(png, 9);
    png_set_compression_mem_level(png, 8);
    png_set_compression_strategy(png, 0); // Z_DEFAULT_STRATEGY
    png_set_compression_window_bits(png, 15);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height),
                 image.bitDepth, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE,
                 PNG_FILTER_TYPE_BASE);
    png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    png_set_rows(png, info, rowPointers.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        throw std::runtime_error("cannot open " + path + " for writing");
    }
    const std::size_t written = std::fwrite(bytes.data(), 1, bytes.size(), f);
    const bool closed = std::fclose(f) == 0;
    if (written != bytes.size() || !closed) {
        throw std::runtime_error("cannot write " + path);
    }
}

} // namespace norvane::artwork
