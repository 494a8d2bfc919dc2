#include "report/SchematicImages.h"

#include "PngReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#ifndef NORVANE_IMAGES_DIR
#error "NORVANE_IMAGES_DIR must name resources/images of the source tree"
#endif

namespace norvane {
namespace {

using testing::Chunks;
using testing::Decode;
using testing::DecodedImage;
using testing::Header;
using testing::PngHeader;
using testing::ReadFile;
using testing::Rgb;

constexpr Rgb kBackground{0xCC, 0xFF, 0x33};
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{0xFF, 0xFF, 0xFF};

std::string ImagePath(const std::string& name)
{
    return std::string(NORVANE_IMAGES_DIR) + "/" + name;
}

std::string SchematicFile(std::uint16_t id)
{
    return ImagePath("schematic-" + std::to_string(id) + ".png");
}

// A 16-colour picture in the schematic style: the PNG layout, nothing but
// IHDR, PLTE, IDAT and IEND, background in every corner, black lines and
// white bodies, and no colour besides these three.
void ExpectSchematicStyle(std::span<const std::uint8_t> png, int width, int height)
{
    ASSERT_TRUE(testing::HasPngSignature(png));
    const PngHeader h = Header(png);
    EXPECT_EQ(h.width, static_cast<std::uint32_t>(width));
    EXPECT_EQ(h.height, static_cast<std::uint32_t>(height));
    EXPECT_EQ(h.bitDepth, 4);
    EXPECT_EQ(h.colourType, 3);
    EXPECT_EQ(h.compression, 0);
    EXPECT_EQ(h.filter, 0);
    EXPECT_EQ(h.interlace, 0);

    std::string types;
    for (const auto& chunk : Chunks(png)) {
        if (types.empty() || types.substr(types.size() - 4) != chunk.type) {
            types += chunk.type;
        }
        if (chunk.type == "PLTE") {
            EXPECT_EQ(chunk.data.size(), 16u * 3u) << "a 16-colour palette";
        }
    }
    EXPECT_EQ(types, "IHDRPLTEIDATIEND");

    const DecodedImage image = Decode(png);
    ASSERT_TRUE(image.error.empty()) << image.error;
    ASSERT_EQ(image.width, width);
    ASSERT_EQ(image.height, height);
    EXPECT_EQ(image.At(0, 0), kBackground);
    EXPECT_EQ(image.At(width - 1, 0), kBackground);
    EXPECT_EQ(image.At(0, height - 1), kBackground);
    EXPECT_EQ(image.At(width - 1, height - 1), kBackground);
    std::size_t black = 0, white = 0, other = 0;
    for (const Rgb& p : image.pixels) {
        black += p == kBlack;
        white += p == kWhite;
        other += !(p == kBlack || p == kWhite || p == kBackground);
    }
    EXPECT_GT(black, 1000u) << "lines and labels";
    EXPECT_GT(white, 500u) << "component bodies";
    EXPECT_EQ(other, 0u);
}

TEST(SchematicImages, IdsRunFrom136To143)
{
    EXPECT_FALSE(IsSchematicId(0));
    EXPECT_FALSE(IsSchematicId(135));
    for (std::uint16_t id = 136; id <= 143; ++id) {
        EXPECT_TRUE(IsSchematicId(id)) << id;
        ASSERT_NE(FindSchematicInfo(id), nullptr);
        EXPECT_EQ(FindSchematicInfo(id)->m_Id, id);
    }
    EXPECT_FALSE(IsSchematicId(144));
    EXPECT_FALSE(IsSchematicId(65535));
    EXPECT_EQ(FindSchematicInfo(135), nullptr);
    EXPECT_EQ(FindSchematicInfo(144), nullptr);
}

TEST(SchematicImages, NoPictureOutsideTheIds)
{
    EXPECT_TRUE(SchematicPng(0).empty());
    EXPECT_TRUE(SchematicPng(132).empty());
    EXPECT_TRUE(SchematicPng(135).empty());
    EXPECT_TRUE(SchematicPng(144).empty());
    EXPECT_TRUE(SchematicPng(65535).empty());
}

TEST(SchematicImages, SizesOfTheVariants)
{
    struct Expected {
        std::uint16_t id;
        int width;
        int height;
    };
    const Expected expected[] = {{136, 253, 312}, {137, 253, 315}, {138, 257, 318}, {139, 257, 318},
                                 {140, 255, 259}, {141, 255, 261}, {142, 257, 242}, {143, 257, 242}};
    for (const Expected& e : expected) {
        const SchematicInfo* info = FindSchematicInfo(e.id);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->m_Width, e.width) << e.id;
        EXPECT_EQ(info->m_Height, e.height) << e.id;
    }
    EXPECT_EQ(FindSchematicInfo(142)->m_Circuit, SchematicCircuit::CommonEmitter);
    EXPECT_FALSE(FindSchematicInfo(142)->m_WithR5);
    EXPECT_TRUE(FindSchematicInfo(143)->m_Pnp);
    EXPECT_TRUE(FindSchematicInfo(138)->m_WithR5);
    EXPECT_EQ(FindSchematicInfo(136)->m_Circuit, SchematicCircuit::CommonBase);
    EXPECT_EQ(FindSchematicInfo(141)->m_Circuit, SchematicCircuit::CommonCollector);
}

TEST(SchematicImages, EmbeddedPicturesAreTheCommittedFiles)
{
    std::set<std::size_t> sizes;
    for (const SchematicInfo& info : Schematics) {
        const auto png = SchematicPng(info.m_Id);
        const std::vector<std::uint8_t> file = ReadFile(SchematicFile(info.m_Id));
        ASSERT_FALSE(file.empty()) << SchematicFile(info.m_Id);
        EXPECT_TRUE(std::equal(png.begin(), png.end(), file.begin(), file.end())) << info.m_Id;
        sizes.insert(png.size());
    }
    EXPECT_GT(sizes.size(), 1u) << "eight different pictures";
}

TEST(SchematicImages, EverySchematicIsA16ColourPngOfItsSize)
{
    for (const SchematicInfo& info : Schematics) {
        SCOPED_TRACE(info.m_Id);
        ExpectSchematicStyle(SchematicPng(info.m_Id), info.m_Width, info.m_Height);
    }
}

// A PNP picture differs from its NPN twin only in the supply label and the
// emitter arrow: a few dozen pixels; extra rows of a taller PNP picture are
// background.
TEST(SchematicImages, PnpDiffersFromNpnOnlyInLabelAndArrow)
{
    for (std::uint16_t npnId : {136, 138, 140, 142}) {
        SCOPED_TRACE(npnId);
        const DecodedImage npn = Decode(SchematicPng(npnId));
        const DecodedImage pnp = Decode(SchematicPng(static_cast<std::uint16_t>(npnId + 1)));
        ASSERT_EQ(npn.width, pnp.width);
        ASSERT_LE(npn.height, pnp.height);
        int differing = 0;
        for (int y = 0; y < pnp.height; ++y) {
            for (int x = 0; x < pnp.width; ++x) {
                if (y >= npn.height) {
                    EXPECT_EQ(pnp.At(x, y), kBackground);
                } else if (!(npn.At(x, y) == pnp.At(x, y))) {
                    ++differing;
                }
            }
        }
        EXPECT_GT(differing, 10);
        EXPECT_LT(differing, 200);
    }
}

// The start picture: 800 x 495, a palette of up to 256 colours (8 bits per
// pixel), light paper with dark lettering and the coloured name.
TEST(StartImage, EightBitPaletteTitlePicture)
{
    const std::vector<std::uint8_t> png = ReadFile(ImagePath("start.png"));
    ASSERT_TRUE(testing::HasPngSignature(png));
    const PngHeader h = Header(png);
    EXPECT_EQ(h.width, 800u);
    EXPECT_EQ(h.height, 495u);
    EXPECT_EQ(h.bitDepth, 8);
    EXPECT_EQ(h.colourType, 3);
    EXPECT_EQ(h.compression, 0);
    EXPECT_EQ(h.filter, 0);
    EXPECT_EQ(h.interlace, 0);
    std::string types;
    for (const auto& chunk : Chunks(png)) {
        if (types.empty() || types.substr(types.size() - 4) != chunk.type) {
            types += chunk.type;
        }
        if (chunk.type == "PLTE") {
            EXPECT_LE(chunk.data.size(), 256u * 3u);
        }
    }
    EXPECT_EQ(types, "IHDRPLTEIDATIEND");

    const DecodedImage image = Decode(png);
    ASSERT_TRUE(image.error.empty()) << image.error;
    auto luma = [](const Rgb& p) { return (299 * p.r + 587 * p.g + 114 * p.b) / 1000; };
    for (const Rgb& corner : {image.At(0, 0), image.At(799, 0), image.At(0, 494), image.At(799, 494)}) {
        EXPECT_GT(luma(corner), 200) << "pale paper in the corners";
    }
    std::set<std::uint32_t> colours;
    std::size_t dark = 0, blue = 0, teal = 0;
    for (const Rgb& p : image.pixels) {
        colours.insert((std::uint32_t{p.r} << 16) | (std::uint32_t{p.g} << 8) | p.b);
        dark += luma(p) < 110;
        blue += p.b > p.r + 80 && p.b > p.g + 20;
        teal += p.g > p.r + 80 && p.b > p.r + 60 && p.g + 10 > p.b;
    }
    EXPECT_GT(colours.size(), 100u) << "a drawn picture, not a flat fill";
    EXPECT_GT(dark, 5000u) << "lettering";
    EXPECT_GT(blue, 2000u) << "the name, blue at its start";
    EXPECT_GT(teal, 2000u) << "and teal at its end";
}

} // namespace
} // namespace norvane
