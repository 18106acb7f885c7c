// A black-and-white drawing surface with the pixel rules of the Windows GDI
// calls that the cell patterns are defined with: a solid pen of width L is
// centred on the outline (pixels c - L/2 .. c + (L-1)/2 across an edge at
// c), wide pens have round caps and joins, and rectangles exclude their
// right and bottom coordinates. Drawing outside the surface is clipped.
#pragma once

#include "core/imaging/cell_mask.h"

#include <QPoint>
#include <QPointF>
#include <cstdint>
#include <optional>
#include <vector>

class MaskCanvas {
public:
    // The two colours, as the mask stores them.
    static constexpr std::uint8_t kBlack = 0; // the animation shows
    static constexpr std::uint8_t kWhite = 1; // the cell colour

    // All black, as a new bitmap starts.
    MaskCanvas(int width, int height);

    int Width() const { return m_mask.Width(); }
    int Height() const { return m_mask.Height(); }
    std::uint8_t At(int x, int y) const { return m_mask.Row(y)[x]; }

    // Fills left <= x < right, top <= y < bottom.
    void FillRect(int left, int top, int right, int bottom, std::uint8_t color);

    // GDI's Rectangle: the brush fills the rectangle, then the pen outlines
    // the path through (left, top) and (right - 1, bottom - 1).
    void Rectangle(int left, int top, int right, int bottom, int penWidth, std::uint8_t penColor,
                   std::optional<std::uint8_t> brush);
    // GDI's RoundRect: as Rectangle, with corners cut by quarter ellipses
    // cornerWidth x cornerHeight in size (clamped to the rectangle).
    void RoundRect(int left, int top, int right, int bottom, int cornerWidth, int cornerHeight,
                   int penWidth, std::uint8_t penColor, std::optional<std::uint8_t> brush);
    // GDI's PolyBezier: a start point, then three points (two control points
    // and an end point) per cubic segment. Extra points that make no whole
    // segment are ignored.
    void PolyBezier(const std::vector<QPoint>& points, int penWidth, std::uint8_t penColor);
    // GDI's ExtFloodFill in surface mode: the 4-connected area of `surface`
    // around (x, y) takes `fill`. Nothing happens when (x, y) lies outside
    // the surface or is not of that colour.
    void FloodFillSurface(int x, int y, std::uint8_t surface, std::uint8_t fill);
    // Draws a black-and-white picture stretched to cx x cy at (x, y), each
    // target pixel taking the picture pixel under its centre.
    void StretchPicture(const CellMask& picture, int x, int y, int cx, int cy);

    // The finished drawing; the canvas is empty afterwards.
    CellMask TakeMask() { return std::move(m_mask); }

    // A thick line with round ends: the pixels (x, y) whose sample point
    // lies within penWidth / 2 of the segment. The sample point is the pixel
    // itself for odd widths and (x + 0.5, y + 0.5) for even ones, which puts
    // the extra pixel of an even pen before the line.
    void StrokeSegment(QPointF a, QPointF b, int penWidth, std::uint8_t color);
    // Pens from this width on are painted row by row.
    static constexpr int kRowByRowPen = 8;
    // StrokeSegment along each segment in turn (a lone point is a dot),
    // pixel for pixel; wide pens are painted row by row, so the cost
    // follows the pixels covered rather than the segments times the pen.
    void StrokePolyline(const std::vector<QPointF>& points, int penWidth, std::uint8_t color);

private:
    // Fills the pixels inside the closed polygon (sampled at the pixels'
    // own coordinates).
    void FillPolygon(const std::vector<QPointF>& points, std::uint8_t color);
    void FillSpan(int y, long long x0, long long x1, std::uint8_t color);

    CellMask m_mask;
};
