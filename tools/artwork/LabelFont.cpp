#include "LabelFont.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <stdexcept>

namespace norvane::artwork {

LabelFont::LabelFont(const QString& family, int pixelSize, bool bold)
{
    m_Font.setFamily(family);
    m_Font.setPixelSize(pixelSize);
    m_Font.setBold(bold);
    m_Font.setStyleStrategy(
        QFont::StyleStrategy(QFont::NoAntialias | QFont::NoSubpixelAntialias | QFont::NoFontMerging));
    m_Font.setHintingPreference(QFont::PreferFullHinting);
    m_Font.setKerning(true);
}

TextMask LabelFont::Render(const QString& text) const
{
    const QFontMetrics metrics(m_Font);
    const int pad = m_Font.pixelSize();
    const int width = metrics.horizontalAdvance(text) + 2 * pad;
    const int height = metrics.height() + 2 * pad;
    QImage scratch(width, height, QImage::Format_ARGB32_Premultiplied);
    scratch.fill(Qt::transparent);
    {
        QPainter painter(&scratch);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setRenderHint(QPainter::TextAntialiasing, false);
        painter.setFont(m_Font);
        painter.setPen(Qt::black);
        painter.drawText(pad, pad + metrics.ascent(), text);
    }
    int left = width, top = height, right = -1, bottom = -1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int alpha = qAlpha(scratch.pixel(x, y));
            if (alpha != 0 && alpha != 255) {
                throw std::runtime_error("text came out antialiased: " + text.toStdString());
            }
            if (alpha == 255) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    TextMask mask;
    if (right < 0) {
        return mask;
    }
    mask.width = right - left + 1;
    mask.height = bottom - top + 1;
    mask.ink.resize(static_cast<std::size_t>(mask.width) * mask.height);
    for (int y = 0; y < mask.height; ++y) {
        for (int x = 0; x < mask.width; ++x) {
            mask.ink[static_cast<std::size_t>(y) * mask.width + x] =
                qAlpha(scratch.pixel(left + x, top + y)) == 255;
        }
    }
    return mask;
}

} // namespace norvane::artwork
