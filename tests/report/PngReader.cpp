#include "PngReader.h"

#include <png.h>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace norvane::testing {
namespace {

std::uint32_t BigEndian32(const std::uint8_t* p)
{
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

} // namespace

bool HasPngSignature(std::span<const std::uint8_t> bytes)
{
    static const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return bytes.size() >= 8 && std::equal(signature, signature + 8, bytes.begin());
}

std::vector<PngChunk> Chunks(std::span<const std::uint8_t> bytes)
{
    std::vector<PngChunk> chunks;
    std::size_t pos = 8;
    while (pos + 12 <= bytes.size()) {
        const std::uint32_t length = BigEndian32(bytes.data() + pos);
        if (pos + 12 + length > bytes.size()) {
            return {};
        }
        const char* type = reinterpret_cast<const char*>(bytes.data() + pos + 4);
        chunks.push_back({std::string(type, 4), bytes.subspan(pos + 8, length)});
        pos += 12 + length;
    }
    if (pos != bytes.size()) {
        return {};
    }
    return chunks;
}

PngHeader Header(std::span<const std::uint8_t> bytes)
{
    PngHeader h;
    const std::vector<PngChunk> chunks = Chunks(bytes);
    if (!HasPngSignature(bytes) || chunks.empty() || chunks.front().type != "IHDR" ||
        chunks.front().data.size() != 13) {
        return h;
    }
    const std::uint8_t* d = chunks.front().data.data();
    h.width = BigEndian32(d);
    h.height = BigEndian32(d + 4);
    h.bitDepth = d[8];
    h.colourType = d[9];
    h.compression = d[10];
    h.filter = d[11];
    h.interlace = d[12];
    return h;
}

DecodedImage Decode(std::span<const std::uint8_t> bytes)
{
    DecodedImage out;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()) == 0) {
        out.error = image.message;
        return out;
    }
    image.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> buffer(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, buffer.data(), 0, nullptr) == 0) {
        out.error = image.message;
        png_image_free(&image);
        return out;
    }
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    out.pixels.reserve(static_cast<std::size_t>(out.width) * out.height);
    for (std::size_t i = 0; i + 2 < buffer.size(); i += 3) {
        out.pixels.push_back({buffer[i], buffer[i + 1], buffer[i + 2]});
    }
    return out;
}

std::vector<std::uint8_t> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace norvane::testing
