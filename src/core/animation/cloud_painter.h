// The cloud shape the cloud animations share: sixteen random control radii
// eased into a fan of short spokes around a centre, optionally ending in a
// soft edge that fades towards another colour, and repeated across the
// right and bottom edges so that the field wraps around.
#pragma once

#include "core/base/color_ref.h"
#include "core/base/random15.h"

#include <QImage>
#include <QPoint>
#include <QPointF>
#include <array>
#include <cstdint>
#include <vector>

// A cloud's outline: the radius at 0, 22.5, 45 ... 337.5 degrees
// (counter-clockwise from the positive x axis); entry 16 repeats entry 0.
using CloudRadii = std::array<int, 17>;

class CloudPainter {
public:
    // Random draws MakeRadii takes from the generator.
    static constexpr int kDrawsPerCloud = 16;

    // One outline: 16 draws scaled to `bumps` added to `size`, then the
    // squeeze stretch, which widens the cloud by about squeeze / 4 * 4
    // pixels on either side and leaves its height alone.
    static CloudRadii MakeRadii(Random15& random, int size, int bumps, int squeeze);

    // Degrees between spokes: at the radius bumps / 2 + size neighbouring
    // spoke ends lie one pixel apart. Radii below one pixel are taken as
    // one (a quarter turn).
    static double SpokeStep(int size, int bumps);

    // Channel by channel from + steps * trunc((to - from) / parts): the
    // colour ramps of the soft edge and of the blinking clouds.
    static COLORREF StepColor(COLORREF from, COLORREF to, int parts, int steps);

    // Paints into `image` (RGB32, not owned, must outlive the painter).
    // Edge width 0 draws solid clouds; a wider edge shortens every spoke
    // by that much and continues it with a ramp towards `edgeTarget`.
    explicit CloudPainter(QImage* image, double spokeStep, int edgeWidth = 0,
                          COLORREF edgeTarget = 0);

    // One cloud centred at (x, y); whatever falls outside the image is cut.
    void Paint(int x, int y, const CloudRadii& radii, COLORREF color);

    // The cloud at (x, y) and, where it reaches past the right or bottom
    // edge (the centre closer to it than spanX or spanY), its copies one
    // image width to the left, one height up, and both.
    void PaintWrapped(int x, int y, int spanX, int spanY, const CloudRadii& radii, COLORREF color);

    // Whether the solid body of a cloud centred at (x, y) is sure to cover
    // every pixel of a width x height image: its smallest radius, less the
    // soft edge, the pixels the fan's chords cut off and the rounding of
    // the spoke ends, still reaches the farthest corner. Painting such a
    // cloud fills the image with its colour and nothing else.
    bool Covers(int x, int y, const CloudRadii& radii, int width, int height) const {
        return Covers(m_dSpokeStep, m_nEdgeWidth, x, y, radii, width, height);
    }
    static bool Covers(double spokeStep, int edgeWidth, int x, int y, const CloudRadii& radii,
                       int width, int height);

    // Paints from now on only the pixels whose `mask` byte (one a pixel,
    // row by row) is 0, setting it and counting *remaining down: clouds
    // painted last to first this way leave what painting them first to
    // last would, and stop mattering once *remaining reaches 0. Solid
    // clouds only (edge width 0). Null turns it off.
    void SetMask(std::uint8_t* mask, long long* remaining) {
        m_pMask = mask;
        m_pRemaining = remaining;
    }
    double GetSpokeStep() const { return m_dSpokeStep; }
    int GetEdgeWidth() const { return m_nEdgeWidth; }

private:
    struct Spoke {
        QPoint end;
        double cosine; // |cos| and |sin| of the spoke's angle
        double sine;
        int signX; // direction of the spoke's quadrant in image coordinates
        int signY;
    };
    // Where each spoke points and how far between two control radii it
    // lies: the same for every cloud painted with one step.
    struct Direction {
        int k;    // control radius before the spoke
        double h; // eased share of the way to the next one
        double cosine;
        double sine;
        int signX;
        int signY;
    };
    struct Crossing {
        int y;
        double x;
        long long numerator; // x = numerator / denominator, exactly
        long long denominator;
        int direction;
    };

    void MakeSpokes(const CloudRadii& radii);
    void FillImage(COLORREF color);
    void PaintSpokes(int x, int y, COLORREF color);
    QPoint RingPoint(const Spoke& spoke, int i) const;
    void FillPolygon(const QPoint* points, int count, QRgb color);
    // From step `skip` of the line on (steps along its longer axis).
    void DrawLine(QPoint from, QPoint to, int width, QRgb color, long long skip = 0);
    void Stamp(int x, int y, int width, QRgb color);

    QImage* m_pImage;
    uchar* m_pBits = nullptr; // the image's pixels while a cloud is painted
    qsizetype m_nStride = 0;
    int m_nWidth = 0;
    int m_nHeight = 0;
    double m_dSpokeStep;
    int m_nEdgeWidth;
    COLORREF m_crEdgeTarget;
    std::vector<Direction> m_directions;
    std::uint8_t* m_pMask = nullptr;
    long long* m_pRemaining = nullptr;
    // Scratch space kept between clouds.
    std::vector<Spoke> m_spokes;
    std::vector<QPoint> m_polygon;
    std::vector<Crossing> m_crossings;
};
