// Tests of the artwork generator's building blocks: the wiring check that
// guards every schematic description, the junction dots, the pixel
// primitives, the palette reduction and the PNG writer.

#include "Canvas.h"
#include "Circuits.h"
#include "LabelFont.h"
#include "Png.h"
#include "Quantize.h"
#include "Schematic.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>

namespace norvane::artwork {
namespace {

// Qt's font machinery needs an application object: one for the whole run,
// made before the first test and gone before the program's statics are.
class QtApplication : public ::testing::Environment {
public:
    void SetUp() override
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        m_App = std::make_unique<QGuiApplication>(m_Argc, m_Argv);
        const int id = QFontDatabase::addApplicationFont(QStringLiteral(NORVANE_FONT_DIR "/DejaVuSans.ttf"));
        s_Family = QFontDatabase::applicationFontFamilies(id).value(0);
    }
    void TearDown() override { m_App.reset(); }

    static QString Family() { return s_Family; }

private:
    int m_Argc = 1;
    char m_Name[14] = "artwork_tests";
    char* m_Argv[2] = {m_Name, nullptr};
    std::unique_ptr<QGuiApplication> m_App;
    static inline QString s_Family;
};

[[maybe_unused]] ::testing::Environment* const kQtApplication =
    ::testing::AddGlobalTestEnvironment(new QtApplication);

QString TestFontFamily()
{
    return QtApplication::Family();
}

std::string WiringError(const Circuit& circuit)
{
    try {
        CheckWiring(circuit);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return {};
}

bool HasPoint(const std::vector<GridPoint>& points, GridPoint p)
{
    return std::find(points.begin(), points.end(), p) != points.end();
}

TEST(Wiring, TheAmplifierDescriptionsMakeTheirNets)
{
    EXPECT_EQ(WiringError(CommonEmitterCircuit(true)), "");
    EXPECT_EQ(WiringError(CommonEmitterCircuit(false)), "");
    EXPECT_EQ(WiringError(CommonBaseCircuit()), "");
    EXPECT_EQ(WiringError(CommonCollectorCircuit()), "");
}

TEST(Wiring, AMisplacedPartIsFound)
{
    // The drawing has R4 at the emitter; claim it belongs at the collector.
    Circuit circuit = CommonEmitterCircuit(false);
    circuit.expectedNets = {"UB R1 R3",  "R1 R2 C1 T1.B", "Input C1", "R3 C2 T1.C R4",
                            "C2 Output", "T1.E",          "GND R2 R4"};
    const std::string error = WiringError(circuit);
    EXPECT_NE(error.find("expected but not drawn: C2 R3 R4 T1.C"), std::string::npos) << error;
    EXPECT_NE(error.find("drawn but not expected: R4 T1.E"), std::string::npos) << error;
}

TEST(Wiring, AShortIsFound)
{
    Circuit circuit = CommonCollectorCircuit();
    // A wire from R2's top straight across to the emitter node.
    circuit.wires.push_back({{{13, 20}, {20, 20}}});
    const std::string error = WiringError(circuit);
    EXPECT_NE(error.find("drawn but not expected"), std::string::npos) << error;
}

TEST(Wiring, ALooseWireEndIsFound)
{
    Circuit circuit = CommonCollectorCircuit();
    circuit.wires.push_back({{{13, 20}, {16, 20}}});
    EXPECT_NE(WiringError(circuit).find("loose at (16,20)"), std::string::npos);
}

TEST(Wiring, CrossingWiresAreRefused)
{
    Circuit circuit = CommonEmitterCircuit(true);
    circuit.wires.push_back({{{5, 4}, {15, 4}}}); // across R1's lead
    EXPECT_NE(WiringError(circuit).find("crosses R1"), std::string::npos);
    Circuit crossing = CommonEmitterCircuit(true);
    crossing.wires.push_back({{{11, 10}, {11, 17}}}); // across the base line
    EXPECT_NE(WiringError(crossing), "");
}

TEST(Wiring, DotsWhereThreeMeet)
{
    const auto ce = JunctionPoints(CommonEmitterCircuit(true));
    EXPECT_EQ(ce.size(), 5u);
    EXPECT_TRUE(HasPoint(ce, {10, 14})); // R1, C1 and the base line
    EXPECT_TRUE(HasPoint(ce, {13, 14})); // R2 taps the base line
    EXPECT_TRUE(HasPoint(ce, {20, 0}));  // R3 on the rail
    EXPECT_TRUE(HasPoint(ce, {20, 8}));  // collector node
    EXPECT_TRUE(HasPoint(ce, {20, 26})); // R4, R5 and C3
    EXPECT_EQ(JunctionPoints(CommonEmitterCircuit(false)).size(), 4u);
    const auto cc = JunctionPoints(CommonCollectorCircuit());
    EXPECT_EQ(cc.size(), 4u);
    EXPECT_TRUE(HasPoint(cc, {20, 0})); // collector on the rail
    const auto cb = JunctionPoints(CommonBaseCircuit());
    EXPECT_EQ(cb.size(), 4u);
    EXPECT_TRUE(HasPoint(cb, {29, 24})); // R3, R4 and the base line
}

// The common-base stage as engineers draw it: Input at the left edge and
// Output at the right edge on one line through emitter and collector, the
// base below.
TEST(Wiring, TheCommonBaseStageReadsLeftToRight)
{
    const Circuit cb = CommonBaseCircuit();
    std::vector<int> xs;
    for (const Wire& wire : cb.wires) {
        for (const GridPoint& p : wire.points) {
            xs.push_back(p.x);
        }
    }
    for (const TwoTerminalPart& part : cb.parts) {
        xs.push_back(part.a.x);
        xs.push_back(part.b.x);
    }
    GridPoint input{-1, -1};
    GridPoint output{-1, -1};
    for (const Terminal& t : cb.terminals) {
        if (t.kind == TerminalKind::Input) {
            input = t.at;
        } else if (t.kind == TerminalKind::Output) {
            output = t.at;
        }
    }
    EXPECT_EQ(input.x, *std::min_element(xs.begin(), xs.end()));
    EXPECT_EQ(output.x, *std::max_element(xs.begin(), xs.end()));
    const TransistorPart& t1 = cb.transistor;
    EXPECT_EQ(EmitterPin(t1).y, input.y);
    EXPECT_EQ(CollectorPin(t1).y, output.y);
    EXPECT_LT(EmitterPin(t1).x, BasePin(t1).x);
    EXPECT_LT(BasePin(t1).x, CollectorPin(t1).x);
    EXPECT_GT(BasePin(t1).y, t1.centre.y);
}

TEST(Canvas, DiscsAndRingsAreSymmetric)
{
    for (int r = 1; r <= 17; ++r) {
        Canvas c(2 * r + 5, 2 * r + 5, 0);
        c.Ring(r + 2, r + 2, r, 1);
        for (int y = 0; y < c.Height(); ++y) {
            for (int x = 0; x < c.Width(); ++x) {
                ASSERT_EQ(c.At(x, y), c.At(c.Width() - 1 - x, y)) << r;
                ASSERT_EQ(c.At(x, y), c.At(y, x)) << r;
            }
        }
        EXPECT_EQ(c.At(r + 2, 2), 1) << "top of ring " << r;
        EXPECT_EQ(c.At(r + 2, r + 2), 0) << "hollow ring " << r;
    }
}

TEST(Render, EveryPictureFitsAndPnpDiffersFromNpn)
{
    const LabelFont font(TestFontFamily(), SchematicStyle().fontPixels);
    RenderOptions npn;
    npn.width = 257;
    npn.height = 318;
    const Canvas a = RenderSchematic(CommonEmitterCircuit(true), SchematicStyle(), font, npn);
    RenderOptions pnp = npn;
    pnp.polarity = Polarity::Pnp;
    const Canvas b = RenderSchematic(CommonEmitterCircuit(true), SchematicStyle(), font, pnp);
    int differing = 0;
    for (std::size_t i = 0; i < a.Pixels().size(); ++i) {
        differing += a.Pixels()[i] != b.Pixels()[i];
    }
    EXPECT_GT(differing, 10);
    EXPECT_LT(differing, 200);

    RenderOptions tiny = npn;
    tiny.width = 150;
    EXPECT_THROW(RenderSchematic(CommonEmitterCircuit(true), SchematicStyle(), font, tiny),
                 std::runtime_error);
}

TEST(Render, LabelsAreCrisp)
{
    const LabelFont font(TestFontFamily(), 12);
    const TextMask mask = font.Render(QStringLiteral("R1"));
    EXPECT_GE(mask.height, 8);
    EXPECT_LE(mask.height, 10);
    EXPECT_GE(mask.width, 10);
}

TEST(Quantize, FewColoursStayExact)
{
    // 200 distinct colours fit a palette of 256 as they are.
    QImage image(20, 10, QImage::Format_RGB32);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 20; ++x) {
            image.setPixel(x, y, qRgb(x * 12, y * 25, (x + y) % 3 * 100));
        }
    }
    const IndexedImage q = Quantize(image, 256);
    EXPECT_EQ(q.palette.size(), 200u);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 20; ++x) {
            const Rgb c = q.palette[q.pixels[static_cast<std::size_t>(y) * 20 + x]];
            const QRgb expected = image.pixel(x, y);
            ASSERT_EQ(c, (Rgb{std::uint8_t(qRed(expected)), std::uint8_t(qGreen(expected)),
                              std::uint8_t(qBlue(expected))}));
        }
    }
}

TEST(Quantize, ManyColoursToAFullPaletteDeterministically)
{
    QImage image(256, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 256; ++x) {
            image.setPixel(x, y, qRgb(x, (y * 4) ^ x, 255 - x / 2));
        }
    }
    const IndexedImage a = Quantize(image, 256);
    const IndexedImage b = Quantize(image, 256);
    EXPECT_EQ(a.palette.size(), 256u);
    EXPECT_EQ(a.pixels, b.pixels);
    EXPECT_EQ(a.palette, b.palette);
}

TEST(Png, FourBitPictureReadsBack)
{
    IndexedImage image;
    image.width = 5;
    image.height = 3;
    image.bitDepth = 4;
    image.palette = {{0xCC, 0xFF, 0x33}, {0, 0, 0}, {0xFF, 0xFF, 0xFF}};
    image.pixels = {0, 1, 2, 1, 0, 2, 2, 2, 2, 2, 1, 0, 0, 0, 1};
    const std::vector<std::uint8_t> bytes = EncodePng(image);
    EXPECT_EQ(bytes[24], 4); // bit depth
    EXPECT_EQ(bytes[25], 3); // palette colour
    const QImage read = QImage::fromData(bytes.data(), static_cast<int>(bytes.size()), "PNG");
    ASSERT_FALSE(read.isNull());
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            const Rgb c = image.palette[image.pixels[static_cast<std::size_t>(y) * 5 + x]];
            EXPECT_EQ(read.pixel(x, y), qRgb(c.r, c.g, c.b)) << x << "," << y;
        }
    }
    EXPECT_EQ(EncodePng(image), bytes) << "same bytes every time";
    image.pixels[0] = 7;
    EXPECT_THROW(EncodePng(image), std::runtime_error) << "index outside the palette";
}

} // namespace
} // namespace norvane::artwork
