#pragma once

// A picture as a grid of palette indices, with the few drawing operations
// the schematics need. Everything lands on whole pixels: no antialiasing,
// so a 1-pixel line stays one pixel wide and one colour.

#include <cstdint>
#include <vector>

namespace norvane::artwork {

struct PixelRect {
    int left = 0;
    int top = 0;
    int right = -1;  // inclusive
    int bottom = -1; // inclusive

    bool IsEmpty() const { return right < left || bottom < top; }
    int Width() const { return right - left + 1; }
    int Height() const { return bottom - top + 1; }
    bool Intersects(const PixelRect& other) const;
    PixelRect Grown(int by) const { return {left - by, top - by, right + by, bottom + by}; }
    PixelRect United(const PixelRect& other) const;
};

struct PointF {
    double x;
    double y;
};

class Canvas {
public:
    Canvas(int width, int height, std::uint8_t fill);

    int Width() const { return m_Width; }
    int Height() const { return m_Height; }
    const std::vector<std::uint8_t>& Pixels() const { return m_Pixels; }

    std::uint8_t At(int x, int y) const;
    // Pixels outside the canvas are ignored.
    void Set(int x, int y, std::uint8_t colour);

    void HLine(int x0, int x1, int y, std::uint8_t colour);
    void VLine(int x, int y0, int y1, std::uint8_t colour);
    // Bresenham line, both end points included.
    void Line(int x0, int y0, int x1, int y1, std::uint8_t colour);
    void FillRect(const PixelRect& r, std::uint8_t colour);
    void FrameRect(const PixelRect& r, std::uint8_t colour);
    // A disc of the given radius around a pixel: the pixels whose centres
    // lie within radius + 1/2 of the centre pixel's centre. Symmetric in
    // all eight octants.
    void FillDisc(int cx, int cy, int radius, std::uint8_t colour);
    // The outline of that disc, one pixel wide.
    void Ring(int cx, int cy, int radius, std::uint8_t colour);
    // Fills every pixel whose centre lies inside the convex polygon
    // (coordinates in pixel units, pixel (x, y) has its centre at
    // x + 0.5, y + 0.5).
    void FillConvexPolygon(const std::vector<PointF>& corners, std::uint8_t colour);

    // Bounding box of all pixels that differ from the given colour.
    PixelRect InkBounds(std::uint8_t background) const;
    // True when every pixel of r (clipped to the canvas) has the colour and
    // r lies within the canvas.
    bool IsUniform(const PixelRect& r, std::uint8_t colour) const;
    // Copies the whole of source with its top-left corner at (dx, dy).
    void Blit(const Canvas& source, int dx, int dy);

private:
    static bool InDisc(int dx, int dy, int radius);

    int m_Width;
    int m_Height;
    std::vector<std::uint8_t> m_Pixels;
};

} // namespace norvane::artwork
