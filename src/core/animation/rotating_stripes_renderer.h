// Rotating Stripes: a pinwheel of rays in the stripe colour cycle, turning
// clockwise; "Fit to Cell" draws one pinwheel per table cell and assembles
// the whole table from copies of it.
#pragma once

#include "core/animation/stripes_renderer_base.h"

class RotatingStripesRenderer : public StripesRendererBase {
public:
    RotatingStripesRenderer();
    std::unique_ptr<AnimationRenderer> Clone() const override;
    AnimationKind Kind() const override { return AnimationKind::RotatingStripes; }

    void SetFitToCell(bool on) { m_bFitToCell = on; }

    bool GetFitToCell() const { return m_bFitToCell; }

    // The pinwheel's geometry for a frame size.
    struct Geometry {
        int centerX = 0, centerY = 0;
        int radius = 0;         // R
        double stepLength = 0;  // v
        int revolution = 0;     // T, rim steps per turn
        std::int64_t cycle = 0; // L, up to 20 times the largest int
        int cyclesPerTurn = 0;  // K
        int remainder = 0;      // rem
        int period = 0;         // P
        StripeExtras extras;
        double spread = 0; // f
    };
    Geometry ComputeGeometry(int width, int height) const;
    static double AngleOf(double x, double y);
    static void RimStep(int* x, int* y, double v);
    static int RevolutionCount(int radius, double v);
    // Rim steps from (x, y) until the rim has gone once round the centre
    // (at most `limit`).
    static int StepsForATurn(int x, int y, double v, int limit);

    // Saves: the normal one, or Fit to Cell when it is on. Both store back
    // the raised speed; Fit to Cell also the even border and the cell size.
    // A table whose cells come out below a pixel is refused by the write.
    void PrepareSave() override;
    void PrepareFitToCell();

    int FrameCount() const override { return m_nFrames; }
    int FrameDelay(int) const override { return m_nDelay; }
    QSize OutputSize() const override;
    Status CheckPreparedSave() const override;
    void DrawFrame(int index, QImage* frame) const override;
    // One pinwheel turned by `offset` rim steps.
    void DrawPinwheel(int offset, QImage* cell) const;

    int GetStep() const { return m_nStep; }
    int GetDelay() const { return m_nDelay; }
    const Geometry& GetGeometry() const { return m_geometry; }
    // Cell pitch of the last Fit to Cell.
    int GetCellPitchX() const { return m_nCellX; }
    int GetCellPitchY() const { return m_nCellY; }

private:
    void PrepareFrames();
    void AssembleTable(const QImage& cell, QImage* table) const;
    // Whether the prepared frame can be drawn at all (not beyond a GIF).
    bool FrameFits() const;

    bool m_bFitToCell = false;
    bool m_bAssembling = false;    // the prepared save is a Fit to Cell save
    bool m_bCellsTooSmall = false; // ... on a table whose cells are below a pixel
    Geometry m_geometry;
    int m_nFrames = 0;
    int m_nStep = 0;
    int m_nDelay = 0;
    int m_nCellX = 0;
    int m_nCellY = 0;
    // The border as the user gave it, before Fit to Cell raised it to even:
    // what a message about the user's table names.
    std::int64_t m_nGivenBorder = 0;
};
