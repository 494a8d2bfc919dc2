#include "dialogs/DialogUnits.h"

#include <QFontMetrics>

namespace norvane {

namespace {

// a * b / c, rounded half away from zero.
int MulDiv(int a, int b, int c)
{
    const long long p = static_cast<long long>(a) * b;
    return static_cast<int>(p >= 0 ? (p + c / 2) / c : (p - c / 2) / c);
}

} // namespace

DialogUnits::DialogUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_BaseX = (letters / 26 + 1) / 2;
    m_BaseY = metrics.height();
}

DialogUnits::DialogUnits(int baseX, int baseY) : m_BaseX(baseX), m_BaseY(baseY)
{}

int DialogUnits::X(int dlu) const
{
    return MulDiv(dlu, m_BaseX, 4);
}

int DialogUnits::Y(int dlu) const
{
    return MulDiv(dlu, m_BaseY, 8);
}

QRect DialogUnits::Rect(int x, int y, int width, int height) const
{
    // Both corners are converted, so that adjacent controls stay adjacent.
    const int left = X(x);
    const int top = Y(y);
    return QRect(left, top, X(x + width) - left, Y(y + height) - top);
}

QSize DialogUnits::Size(int width, int height) const
{
    return QSize(X(width), Y(height));
}

} // namespace norvane
