#pragma once

// Dialog units: the font-relative coordinates in which the dialog layouts
// are given. One horizontal unit is a quarter of the font's average
// character width, one vertical unit an eighth of its height, both taken
// the way the classic dialog manager takes them (the average width of the
// 52 letters, rounded; the height without leading) and converted with
// rounding.

#include <QFont>
#include <QRect>
#include <QSize>

namespace norvane {

class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
    DialogUnits(int baseX, int baseY);

    int BaseX() const { return m_BaseX; }
    int BaseY() const { return m_BaseY; }

    int X(int dlu) const;
    int Y(int dlu) const;
    QRect Rect(int x, int y, int width, int height) const;
    QSize Size(int width, int height) const;

private:
    int m_BaseX;
    int m_BaseY;
};

} // namespace norvane
