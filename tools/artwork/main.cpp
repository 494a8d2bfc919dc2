// norvane-artwork: draws the pictures of Norvane (the eight schematics,
// which the input dialogs show too, and the start picture) and writes them
// as PNG files. Its output is committed under resources/images; run it again
// after changing a drawing:
//
//     norvane-artwork --output resources/images
//
// The output is the same, byte for byte, on every run.

#include "Circuits.h"
#include "LabelFont.h"
#include "Png.h"
#include "Schematic.h"
#include "StartPicture.h"

#include "report/SchematicImages.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QStringList>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#ifndef NORVANE_FONT_DIR
#define NORVANE_FONT_DIR "/usr/share/fonts/truetype/dejavu"
#endif
#ifndef NORVANE_VERSION
#error "NORVANE_VERSION must be defined"
#endif

namespace norvane::artwork {
namespace {

// 16 colours for all schematics: the background, black and white first,
// then the rest of the classic 16-colour set (unused, so any later detail
// can have a colour without changing the existing pictures' palettes).
const std::vector<Rgb> kSchematicPalette{
    {0xCC, 0xFF, 0x33}, {0x00, 0x00, 0x00}, {0xFF, 0xFF, 0xFF}, {0x80, 0x00, 0x00},
    {0x00, 0x80, 0x00}, {0x80, 0x80, 0x00}, {0x00, 0x00, 0x80}, {0x80, 0x00, 0x80},
    {0x00, 0x80, 0x80}, {0xC0, 0xC0, 0xC0}, {0x80, 0x80, 0x80}, {0xFF, 0x00, 0x00},
    {0xFF, 0xFF, 0x00}, {0x00, 0x00, 0xFF}, {0xFF, 0x00, 0xFF}, {0x00, 0xFF, 0xFF},
};

// DejaVu Sans, loaded from its files (regular and bold), so the pictures do
// not depend on the fonts the machine happens to offer.
struct Fonts {
    QString regular;
};

QString LoadFont(const std::string& path)
{
    const int id = QFontDatabase::addApplicationFont(QString::fromStdString(path));
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    if (id < 0 || families.isEmpty()) {
        throw std::runtime_error("cannot load the font " + path);
    }
    return families.front();
}

IndexedImage SchematicImage(const Canvas& canvas)
{
    IndexedImage image;
    image.width = canvas.Width();
    image.height = canvas.Height();
    image.bitDepth = 4;
    image.palette = kSchematicPalette;
    image.pixels = canvas.Pixels();
    return image;
}

Circuit CircuitOf(const SchematicInfo& info)
{
    switch (info.m_Circuit) {
    case SchematicCircuit::CommonEmitter: return CommonEmitterCircuit(info.m_WithR5);
    case SchematicCircuit::CommonBase: return CommonBaseCircuit();
    case SchematicCircuit::CommonCollector: return CommonCollectorCircuit();
    }
    throw std::logic_error("unknown circuit");
}

void Write(const std::filesystem::path& dir, const std::string& name, const IndexedImage& image,
           const std::string& note = {})
{
    const std::vector<std::uint8_t> bytes = EncodePng(image);
    WriteFile((dir / name).string(), bytes);
    std::printf("%-28s %3d x %-3d %6zu bytes  %s\n", name.c_str(), image.width, image.height, bytes.size(),
                note.c_str());
}

// Free pixels around the drawing: left, top, right, bottom.
std::string Margins(const Canvas& canvas)
{
    const PixelRect ink = canvas.InkBounds(Background);
    return "margins " + std::to_string(ink.left) + " " + std::to_string(ink.top) + " " +
           std::to_string(canvas.Width() - 1 - ink.right) + " " +
           std::to_string(canvas.Height() - 1 - ink.bottom);
}

void Generate(const std::filesystem::path& dir, const Fonts& fonts, bool lenient)
{
    const LabelFont schematicFont(fonts.regular, SchematicStyle().fontPixels);
    for (const SchematicInfo& info : Schematics) {
        RenderOptions options;
        options.lenient = lenient;
        options.polarity = info.m_Pnp ? Polarity::Pnp : Polarity::Npn;
        options.width = info.m_Width;
        options.height = info.m_Height;
        // The PNP picture keeps the drawing where its NPN twin has it.
        options.layoutHeight = FindSchematicInfo(info.m_Pnp ? info.m_Id - 1 : info.m_Id)->m_Height;
        const Canvas canvas = RenderSchematic(CircuitOf(info), SchematicStyle(), schematicFont, options);
        Write(dir, "schematic-" + std::to_string(info.m_Id) + ".png", SchematicImage(canvas),
              Margins(canvas));
    }

    const IndexedImage start = DrawStartPicture(fonts.regular, NORVANE_VERSION);
    Write(dir, "start.png", start, std::to_string(start.palette.size()) + " colours");
}

int Usage()
{
    std::fprintf(stderr, "usage: norvane-artwork --output DIR [--font-dir DIR] [--lenient]\n"
                         "Draws the schematics and the start picture into DIR.\n"
                         "--lenient reports labels that touch the drawing as warnings instead\n"
                         "of failing (for working on a drawing).\n");
    return 2;
}

} // namespace
} // namespace norvane::artwork

int main(int argc, char** argv)
{
    using namespace norvane::artwork;
    std::string output;
    std::string fontDir = NORVANE_FONT_DIR;
    bool lenient = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--output" && i + 1 < argc) {
            output = argv[++i];
        } else if (arg == "--lenient") {
            lenient = true;
        } else if (arg == "--font-dir" && i + 1 < argc) {
            fontDir = argv[++i];
        } else {
            return Usage();
        }
    }
    if (output.empty()) {
        return Usage();
    }
    // No window system needed: Qt only rasterises text and shapes here.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    try {
        std::filesystem::create_directories(output);
        Fonts fonts;
        fonts.regular = LoadFont(fontDir + "/DejaVuSans.ttf");
        if (LoadFont(fontDir + "/DejaVuSans-Bold.ttf") != fonts.regular) {
            throw std::runtime_error("DejaVuSans-Bold.ttf is not the bold face of " +
                                     fonts.regular.toStdString());
        }
        Generate(output, fonts, lenient);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "norvane-artwork: %s\n", e.what());
        return 1;
    }
    return 0;
}
