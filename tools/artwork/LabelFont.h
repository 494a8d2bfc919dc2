#pragma once

// Text for the schematics: rendered by Qt without antialiasing and with
// full hinting, so every pixel of a letter is either ink or not.

#include <QFont>
#include <QString>

#include <vector>

namespace norvane::artwork {

struct TextMask {
    int width = 0;
    int height = 0;
    std::vector<bool> ink; // row by row, tight around the letters

    bool At(int x, int y) const { return ink[static_cast<std::size_t>(y) * width + x]; }
};

class LabelFont {
public:
    LabelFont(const QString& family, int pixelSize, bool bold = false);

    TextMask Render(const QString& text) const;
    const QFont& Font() const { return m_Font; }

private:
    QFont m_Font;
};

} // namespace norvane::artwork
