#include "StartPicture.h"

#include "Quantize.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <numbers>
#include <vector>

namespace norvane::artwork {
namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 495;

// Colours of the parts as they would look on a real board; the whole layer
// is laid over the background at low opacity, so they end up pale.
const QColor kCopper(0xB8, 0x73, 0x33);
const QColor kBoardHole(0xF4, 0xF1, 0xEA);
const QColor kLead(0x8A, 0x8F, 0x96);
const QColor kResistorBody(0xE4, 0xCF, 0x9E);
const QColor kResistorEdge(0xA8, 0x8F, 0x5C);
const QColor kCeramic(0xD0, 0x8A, 0x3C);
const QColor kElectrolytic(0x2F, 0x5E, 0x96);
const QColor kElectrolyticStripe(0xC9, 0xD8, 0xE8);
const QColor kPackage(0x2D, 0x30, 0x35);
const QColor kPin(0xB0, 0xB4, 0xBA);

// Resistor colour bands (first digit, second digit, multiplier, tolerance).
const QColor kBandColours[] = {
    QColor(0x1E, 0x1E, 0x1E), // black
    QColor(0x7B, 0x4A, 0x22), // brown
    QColor(0xC8, 0x2A, 0x2A), // red
    QColor(0xE8, 0x7D, 0x1E), // orange
    QColor(0xE6, 0xC8, 0x1E), // yellow
    QColor(0x3A, 0x8F, 0x3A), // green
    QColor(0x2E, 0x5C, 0xB8), // blue
    QColor(0x7A, 0x3E, 0xA8), // violet
    QColor(0x80, 0x80, 0x80), // grey
    QColor(0xF2, 0xF2, 0xF2), // white
};
const QColor kGold(0xC9, 0xA2, 0x3B);

using Pads = std::vector<QPointF>;

// Parts are drawn on one layer and the copper traces on another beneath it,
// so traces can be routed between the pads of parts already placed.
class Board {
public:
    Board(QPainter& parts, QPainter& copper) : m_P(parts), m_Copper(copper) {}

    void Pad(QPointF at)
    {
        m_P.setPen(Qt::NoPen);
        m_P.setBrush(kCopper);
        m_P.drawEllipse(at, 6.5, 6.5);
        m_P.setBrush(kBoardHole);
        m_P.drawEllipse(at, 2.5, 2.5);
    }

    // A copper trace: straight runs joined by 45-degree corners.
    void Trace(const std::vector<QPointF>& points)
    {
        m_Copper.setPen(QPen(kCopper, 4.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        m_Copper.setBrush(Qt::NoBrush);
        QPainterPath path(points.front());
        for (std::size_t i = 1; i < points.size(); ++i) {
            path.lineTo(points[i]);
        }
        m_Copper.drawPath(path);
    }

    // From a to b: straight along the longer direction first, then the
    // 45-degree run into b.
    void Route(QPointF a, QPointF b)
    {
        const double dx = b.x() - a.x();
        const double dy = b.y() - a.y();
        const double diagonal = std::min(std::abs(dx), std::abs(dy));
        QPointF corner;
        if (std::abs(dx) >= std::abs(dy)) {
            corner = QPointF(b.x() - std::copysign(diagonal, dx), a.y());
        } else {
            corner = QPointF(a.x(), b.y() - std::copysign(diagonal, dy));
        }
        Trace({a, corner, b});
    }

    // Axial resistor between two pads, with four colour bands.
    Pads Resistor(QPointF a, QPointF b, int d1, int d2, int multiplier)
    {
        Pad(a);
        Pad(b);
        const QPointF centre = (a + b) / 2.0;
        const double angle = std::atan2(b.y() - a.y(), b.x() - a.x()) * 180.0 / std::numbers::pi;
        const double half = std::hypot(b.x() - a.x(), b.y() - a.y()) / 2.0;
        m_P.save();
        m_P.translate(centre);
        m_P.rotate(angle);
        m_P.setPen(QPen(kLead, 2.2, Qt::SolidLine, Qt::RoundCap));
        m_P.drawLine(QPointF(-half + 4, 0), QPointF(half - 4, 0));
        QPainterPath body;
        body.addRoundedRect(QRectF(-21, -7, 42, 14), 6, 6);
        m_P.setPen(QPen(kResistorEdge, 1.2));
        m_P.setBrush(kResistorBody);
        m_P.drawPath(body);
        m_P.setClipPath(body);
        m_P.setPen(Qt::NoPen);
        const double bandX[] = {-14, -8, -2, 11};
        const QColor bands[] = {kBandColours[d1], kBandColours[d2], kBandColours[multiplier], kGold};
        for (int i = 0; i < 4; ++i) {
            m_P.setBrush(bands[i]);
            m_P.drawRect(QRectF(bandX[i], -8, 3.4, 16));
        }
        m_P.restore();
        return {a, b};
    }

    // Ceramic disc capacitor standing on two pads below it.
    Pads CeramicCapacitor(QPointF at)
    {
        const QPointF left = at + QPointF(-8, 28);
        const QPointF right = at + QPointF(8, 28);
        Pad(left);
        Pad(right);
        m_P.setPen(QPen(kLead, 2.0, Qt::SolidLine, Qt::RoundCap));
        m_P.drawLine(left, at + QPointF(-5, 4));
        m_P.drawLine(right, at + QPointF(5, 4));
        m_P.setPen(QPen(kCeramic.darker(130), 1.2));
        m_P.setBrush(kCeramic);
        m_P.drawEllipse(at, 15.0, 13.0);
        m_P.setPen(QPen(kCeramic.darker(160), 1.0));
        m_P.drawLine(at + QPointF(-6, -2), at + QPointF(6, -2));
        m_P.drawLine(at + QPointF(-4, 3), at + QPointF(4, 3));
        return {left, right};
    }

    // Radial electrolytic capacitor seen from the side, leads to two pads.
    Pads ElectrolyticCapacitor(QPointF at)
    {
        const QPointF left = at + QPointF(-7, 36);
        const QPointF right = at + QPointF(7, 36);
        Pad(left);
        Pad(right);
        m_P.setPen(QPen(kLead, 2.0, Qt::SolidLine, Qt::RoundCap));
        m_P.drawLine(left, at + QPointF(-7, 20));
        m_P.drawLine(right, at + QPointF(7, 20));
        const QRectF body(at.x() - 15, at.y() - 24, 30, 44);
        m_P.setPen(QPen(kElectrolytic.darker(140), 1.2));
        m_P.setBrush(kElectrolytic);
        m_P.drawRoundedRect(body, 5, 5);
        m_P.setPen(Qt::NoPen);
        m_P.setBrush(kElectrolyticStripe);
        m_P.drawRect(QRectF(body.right() - 10, body.top() + 2, 7, body.height() - 4));
        m_P.setPen(QPen(kElectrolytic, 1.6));
        for (int i = 0; i < 3; ++i) {
            const double y = body.top() + 10 + 12 * i;
            m_P.drawLine(QPointF(body.right() - 8.5, y), QPointF(body.right() - 4.5, y));
        }
        m_P.setPen(QPen(kElectrolytic.lighter(150), 1.0));
        m_P.drawLine(QPointF(body.left() + 2, body.top() + 6), QPointF(body.right() - 12, body.top() + 6));
        return {left, right};
    }

    // Transistor in a TO-92 package, flat face towards the viewer, three legs
    // to pads in a row: emitter, base, collector.
    Pads Transistor(QPointF at)
    {
        Pads pads;
        for (int i = -1; i <= 1; ++i) {
            const QPointF pad = at + QPointF(14.0 * i, 34);
            Pad(pad);
            m_P.setPen(QPen(kLead, 2.0, Qt::SolidLine, Qt::RoundCap));
            m_P.drawLine(at + QPointF(5.0 * i, 8), pad);
            pads.push_back(pad);
        }
        QPainterPath body;
        body.moveTo(at + QPointF(-12, 10));
        body.lineTo(at + QPointF(-12, -6));
        body.arcTo(QRectF(at.x() - 12, at.y() - 18, 24, 24), 180, -180);
        body.lineTo(at + QPointF(12, 10));
        body.closeSubpath();
        m_P.setPen(QPen(kPackage.lighter(160), 1.0));
        m_P.setBrush(kPackage);
        m_P.drawPath(body);
        return pads;
    }

    // Dual-in-line package, pin pitch 14: the pads of the upper row from
    // left to right, then those of the lower row from left to right.
    Pads IntegratedCircuit(QPointF at, int pinsPerSide)
    {
        const double width = 14.0 * pinsPerSide + 8;
        const QRectF body(at.x() - width / 2, at.y() - 17, width, 34);
        Pads upper, lower;
        for (int i = 0; i < pinsPerSide; ++i) {
            const double x = body.left() + 11 + 14.0 * i;
            upper.emplace_back(x, body.top() - 10);
            lower.emplace_back(x, body.bottom() + 10);
            Pad(upper.back());
            Pad(lower.back());
            m_P.setPen(Qt::NoPen);
            m_P.setBrush(kPin);
            m_P.drawRect(QRectF(x - 2.5, body.top() - 6, 5, 6));
            m_P.drawRect(QRectF(x - 2.5, body.bottom(), 5, 6));
        }
        m_P.setPen(QPen(kPackage.lighter(160), 1.0));
        m_P.setBrush(kPackage);
        m_P.drawRoundedRect(body, 2, 2);
        m_P.setBrush(kPackage.lighter(130));
        m_P.setPen(Qt::NoPen);
        m_P.drawEllipse(QPointF(body.left() + 9, body.center().y()), 4.0, 4.0);
        upper.insert(upper.end(), lower.begin(), lower.end());
        return upper;
    }

    // A plated hole where a trace changes sides.
    QPointF Via(QPointF at)
    {
        Pad(at);
        return at;
    }

private:
    QPainter& m_P;
    QPainter& m_Copper;
};

// The board behind the title: an amplifier stage on the left, a supply and
// a driver on the right, buses along the top and bottom; the middle, where
// the lettering goes, stays quiet. No two traces cross.
void DrawBoard(QPainter& parts, QPainter& copper)
{
    Board b(parts, copper);
    const double top = 22;     // supply bus
    const double bottom = 474; // ground bus
    b.Trace({{-10, top}, {250, top}, {272, top + 22}, {528, top + 22}, {550, top}, {810, top}});
    b.Trace(
        {{-10, bottom}, {230, bottom}, {252, bottom - 22}, {548, bottom - 22}, {570, bottom}, {810, bottom}});

    // Left: a transistor stage. The transistor's pads are, from the left,
    // collector, base, emitter.
    const Pads r1 = b.Resistor({30, 62}, {30, 142}, 4, 7, 3);
    const Pads r3 = b.Resistor({64, 62}, {64, 142}, 2, 2, 2);
    const Pads t1 = b.Transistor({94, 184});
    const Pads r2 = b.Resistor({30, 300}, {30, 380}, 1, 0, 4);
    const Pads r4 = b.Resistor({108, 300}, {108, 380}, 1, 0, 2);
    const Pads c3 = b.ElectrolyticCapacitor({152, 330});
    const Pads c2 = b.CeramicCapacitor({118, 96});
    b.Trace({{30, top}, r1[0]});
    b.Trace({{64, top}, r3[0]});
    b.Trace({r3[1], {64, 204}, t1[0]});
    b.Trace({r1[1], r2[0]});
    b.Trace({t1[1], {94, 244}, {30, 244}});
    b.Trace({t1[2], r4[0]});
    b.Trace({{108, 262}, {122, 262}, {122, 352}, {136, 366}, c3[0]});
    b.Trace({r2[1], {30, bottom}});
    b.Trace({r4[1], {108, bottom}});
    b.Trace({c3[1], {157, bottom}});
    b.Route(r3[1], c2[0]);
    b.Trace({c2[1], {150, 124}, {166, 140}});
    b.Via({166, 140});
    const Pads ic1 = b.IntegratedCircuit({206, 416}, 4);
    for (int i : {4, 6, 7}) {
        b.Trace({ic1[i], {ic1[i].x(), bottom}});
    }
    b.Trace({ic1[0], {ic1[0].x(), 352}});
    b.Via({ic1[0].x(), 352});
    b.Trace({ic1[3], {ic1[3].x(), 372}, {263, 336}, {296, 336}});
    b.Via({296, 336});

    // Right: smoothing capacitors, a driver chip and its output transistor.
    const Pads e1 = b.ElectrolyticCapacitor({712, 84});
    const Pads e2 = b.ElectrolyticCapacitor({762, 84});
    const Pads r5 = b.Resistor({652, 62}, {652, 142}, 6, 8, 1);
    const Pads ic2 = b.IntegratedCircuit({726, 226}, 4);
    const Pads t2 = b.Transistor({775, 300});
    const Pads r6 = b.Resistor({610, 340}, {690, 340}, 3, 3, 2);
    const Pads c4 = b.CeramicCapacitor({648, 394});
    const Pads r7 = b.Resistor({560, 410}, {560, 330}, 2, 7, 3);
    b.Trace({{652, top}, r5[0]});
    b.Trace({e1[0], ic2[0]});
    b.Trace({e1[1], ic2[1]});
    b.Route(e2[0], ic2[3]);
    b.Route(e2[1], {810, 161});
    b.Trace({ic2[2], {ic2[2].x(), 160}});
    b.Via({ic2[2].x(), 160});
    b.Trace({r5[1], {652, 230}, {675, 253}, ic2[4]});
    b.Route(ic2[5], r6[1]);
    b.Trace({ic2[6], {ic2[6].x(), 400}});
    b.Via({ic2[6].x(), 400});
    b.Trace({ic2[7], {ic2[7].x(), 306}, t2[1]});
    b.Trace({t2[0], {t2[0].x(), bottom}});
    b.Route(t2[2], {810, 355});
    b.Route(r6[0], c4[0]);
    b.Trace({c4[1], {c4[1].x(), bottom}});
    b.Trace({r7[0], {560, 464}});
    b.Route(r7[1], r6[0]);
}

} // namespace

QImage DrawStartPictureRgb(const QString& family, const QString& version)
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);

    // Paper: a quiet vertical gradient.
    QLinearGradient paper(0, 0, 0, kHeight);
    paper.setColorAt(0.0, QColor(0xFC, 0xFD, 0xFE));
    paper.setColorAt(1.0, QColor(0xE8, 0xEE, 0xF4));
    p.fillRect(image.rect(), paper);

    // The board, drawn at full strength on its own layer and laid over the
    // paper faintly.
    QImage copper(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    QImage parts(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    copper.fill(Qt::transparent);
    parts.fill(Qt::transparent);
    {
        QPainter cp(&copper);
        QPainter pp(&parts);
        cp.setRenderHint(QPainter::Antialiasing, true);
        pp.setRenderHint(QPainter::Antialiasing, true);
        DrawBoard(pp, cp);
    }
    {
        QPainter cp(&copper);
        cp.drawImage(0, 0, parts);
    }
    p.setOpacity(0.20);
    p.drawImage(0, 0, copper);
    p.setOpacity(1.0);

    // A soft light behind the lettering.
    QRadialGradient light(QPointF(kWidth / 2.0, 245), 330);
    light.setColorAt(0.0, QColor(255, 255, 255, 235));
    light.setColorAt(0.55, QColor(255, 255, 255, 160));
    light.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.save();
    p.translate(kWidth / 2.0, 245);
    p.scale(1.0, 0.62);
    p.translate(-kWidth / 2.0, -245);
    p.fillRect(QRectF(0, -200, kWidth, kHeight + 400), light);
    p.restore();

    // Greyscale antialiasing only, whatever the machine's font settings say
    // about subpixel order: the picture is shown on any screen.
    QFont slogan(family);
    slogan.setPixelSize(24);
    slogan.setHintingPreference(QFont::PreferFullHinting);
    slogan.setStyleStrategy(QFont::NoSubpixelAntialias);
    p.setFont(slogan);
    p.setPen(QColor(0x34, 0x4A, 0x60));
    p.drawText(QRectF(0, 118, kWidth, 40), Qt::AlignHCenter | Qt::AlignBaseline,
               QStringLiteral("Design your own transistor amplifier"));

    // The name: large letters in a blue-to-teal gradient on a faint shadow.
    QFont name(family);
    name.setPixelSize(112);
    name.setBold(true);
    name.setLetterSpacing(QFont::AbsoluteSpacing, 1.0);
    name.setHintingPreference(QFont::PreferFullHinting);
    const QString title = QStringLiteral("Norvane");
    const QFontMetricsF metrics(name);
    const double titleWidth = metrics.horizontalAdvance(title);
    const QPointF titleOrigin((kWidth - titleWidth) / 2.0, 282);
    QPainterPath lettering;
    lettering.addText(titleOrigin, name, title);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1B, 0x3A, 0x5C, 40));
    p.drawPath(lettering.translated(3, 4));
    QLinearGradient ink(titleOrigin.x(), 0, titleOrigin.x() + titleWidth, 0);
    ink.setColorAt(0.0, QColor(0x1A, 0x4F, 0x96));
    ink.setColorAt(1.0, QColor(0x0F, 0x8C, 0x82));
    p.setBrush(ink);
    p.drawPath(lettering);

    // A fine rule between the name and the version.
    QLinearGradient rule(250, 0, 550, 0);
    rule.setColorAt(0.0, QColor(0x1A, 0x4F, 0x96, 0));
    rule.setColorAt(0.5, QColor(0x1A, 0x6E, 0x8C, 200));
    rule.setColorAt(1.0, QColor(0x0F, 0x8C, 0x82, 0));
    p.fillRect(QRectF(250, 312, 300, 2), rule);

    QFont versionFont(family);
    versionFont.setPixelSize(18);
    versionFont.setHintingPreference(QFont::PreferFullHinting);
    versionFont.setStyleStrategy(QFont::NoSubpixelAntialias);
    p.setFont(versionFont);
    p.setPen(QColor(0x55, 0x66, 0x78));
    p.drawText(QRectF(0, 348, kWidth, 30), Qt::AlignHCenter | Qt::AlignBaseline,
               QStringLiteral("Version ") + version);
    p.end();
    return image;
}

IndexedImage DrawStartPicture(const QString& family, const QString& version)
{
    return Quantize(DrawStartPictureRgb(family, version), 256);
}

} // namespace norvane::artwork
