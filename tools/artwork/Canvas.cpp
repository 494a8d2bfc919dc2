#include "Canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace norvane::artwork {

bool PixelRect::Intersects(const PixelRect& other) const
{
    return !IsEmpty() && !other.IsEmpty() && left <= other.right && other.left <= right &&
           top <= other.bottom && other.top <= bottom;
}

PixelRect PixelRect::United(const PixelRect& other) const
{
    if (IsEmpty()) {
        return other;
    }
    if (other.IsEmpty()) {
        return *this;
    }
    return {std::min(left, other.left), std::min(top, other.top), std::max(right, other.right),
            std::max(bottom, other.bottom)};
}

Canvas::Canvas(int width, int height, std::uint8_t fill)
    : m_Width(width), m_Height(height), m_Pixels(static_cast<std::size_t>(width) * height, fill)
{}

std::uint8_t Canvas::At(int x, int y) const
{
    return m_Pixels[static_cast<std::size_t>(y) * m_Width + x];
}

void Canvas::Set(int x, int y, std::uint8_t colour)
{
    if (x >= 0 && y >= 0 && x < m_Width && y < m_Height) {
        m_Pixels[static_cast<std::size_t>(y) * m_Width + x] = colour;
    }
}

void Canvas::HLine(int x0, int x1, int y, std::uint8_t colour)
{
    for (int x = std::min(x0, x1); x <= std::max(x0, x1); ++x) {
        Set(x, y, colour);
    }
}

void Canvas::VLine(int x, int y0, int y1, std::uint8_t colour)
{
    for (int y = std::min(y0, y1); y <= std::max(y0, y1); ++y) {
        Set(x, y, colour);
    }
}

void Canvas::Line(int x0, int y0, int x1, int y1, std::uint8_t colour)
{
    const int dx = std::abs(x1 - x0);
    const int dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1;
    const int sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        Set(x0, y0, colour);
        if (x0 == x1 && y0 == y1) {
            break;
        }
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

void Canvas::FillRect(const PixelRect& r, std::uint8_t colour)
{
    for (int y = r.top; y <= r.bottom; ++y) {
        HLine(r.left, r.right, y, colour);
    }
}

void Canvas::FrameRect(const PixelRect& r, std::uint8_t colour)
{
    HLine(r.left, r.right, r.top, colour);
    HLine(r.left, r.right, r.bottom, colour);
    VLine(r.left, r.top, r.bottom, colour);
    VLine(r.right, r.top, r.bottom, colour);
}

bool Canvas::InDisc(int dx, int dy, int radius)
{
    // (r + 1/2)^2 = r^2 + r + 1/4; no pixel centre sits exactly on that
    // circle, so comparing with r^2 + r is the same test in integers.
    return dx * dx + dy * dy <= radius * radius + radius;
}

void Canvas::FillDisc(int cx, int cy, int radius, std::uint8_t colour)
{
    for (int dy = -radius; dy <= radius; ++dy) {
        for (int dx = -radius; dx <= radius; ++dx) {
            if (InDisc(dx, dy, radius)) {
                Set(cx + dx, cy + dy, colour);
            }
        }
    }
}

void Canvas::Ring(int cx, int cy, int radius, std::uint8_t colour)
{
    for (int dy = -radius; dy <= radius; ++dy) {
        for (int dx = -radius; dx <= radius; ++dx) {
            if (!InDisc(dx, dy, radius)) {
                continue;
            }
            const bool edge = !InDisc(dx - 1, dy, radius) || !InDisc(dx + 1, dy, radius) ||
                              !InDisc(dx, dy - 1, radius) || !InDisc(dx, dy + 1, radius);
            if (edge) {
                Set(cx + dx, cy + dy, colour);
            }
        }
    }
}

void Canvas::FillConvexPolygon(const std::vector<PointF>& corners, std::uint8_t colour)
{
    if (corners.size() < 3) {
        return;
    }
    double minX = corners[0].x, maxX = corners[0].x, minY = corners[0].y, maxY = corners[0].y;
    for (const PointF& p : corners) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    // Orientation of the polygon, so that "inside" is the same side of
    // every edge whichever way round the corners are given.
    double area = 0.0;
    for (std::size_t i = 0; i < corners.size(); ++i) {
        const PointF& a = corners[i];
        const PointF& b = corners[(i + 1) % corners.size()];
        area += a.x * b.y - b.x * a.y;
    }
    const double orientation = area >= 0.0 ? 1.0 : -1.0;
    for (int y = static_cast<int>(std::floor(minY)); y <= static_cast<int>(std::ceil(maxY)); ++y) {
        for (int x = static_cast<int>(std::floor(minX)); x <= static_cast<int>(std::ceil(maxX)); ++x) {
            const double px = x + 0.5;
            const double py = y + 0.5;
            bool inside = true;
            for (std::size_t i = 0; i < corners.size() && inside; ++i) {
                const PointF& a = corners[i];
                const PointF& b = corners[(i + 1) % corners.size()];
                const double cross = (b.x - a.x) * (py - a.y) - (b.y - a.y) * (px - a.x);
                // A small tolerance keeps pixels exactly on an edge.
                inside = cross * orientation >= -1e-9;
            }
            if (inside) {
                Set(x, y, colour);
            }
        }
    }
}

PixelRect Canvas::InkBounds(std::uint8_t background) const
{
    PixelRect r;
    for (int y = 0; y < m_Height; ++y) {
        for (int x = 0; x < m_Width; ++x) {
            if (At(x, y) != background) {
                r = r.United({x, y, x, y});
            }
        }
    }
    return r;
}

bool Canvas::IsUniform(const PixelRect& r, std::uint8_t colour) const
{
    if (r.left < 0 || r.top < 0 || r.right >= m_Width || r.bottom >= m_Height) {
        return false;
    }
    for (int y = r.top; y <= r.bottom; ++y) {
        for (int x = r.left; x <= r.right; ++x) {
            if (At(x, y) != colour) {
                return false;
            }
        }
    }
    return true;
}

void Canvas::Blit(const Canvas& source, int dx, int dy)
{
    for (int y = 0; y < source.Height(); ++y) {
        for (int x = 0; x < source.Width(); ++x) {
            Set(x + dx, y + dy, source.At(x, y));
        }
    }
}

} // namespace norvane::artwork
