// Moving Stripes: parallel stripes of up to five colours joined by
// gradients, sliding across the frame in the direction of an angle; one
// stripe period makes a seamless loop.
#pragma once

#include "core/animation/stripes_renderer_base.h"

class MovingStripesRenderer : public StripesRendererBase {
public:
    MovingStripesRenderer();
    std::unique_ptr<AnimationRenderer> Clone() const override;
    AnimationKind Kind() const override { return AnimationKind::MovingStripes; }

    void SetAngle(int degrees);

    int GetAngle() const { return m_nAngle; }

    // Values worked out by the last save (or Tile, for the quadrant).
    std::int64_t GetPeriod() const { return m_nPeriod; }
    std::int64_t GetPhase() const { return m_nPhase; }
    int GetStep() const { return m_nStep; }
    int GetDelay() const { return m_nDelay; }
    int GetQuadrant() const { return m_nQuadrant; }

    static int QuadrantOf(int angle);
    // An angle as the save stores it: 360 subtracted while above 360, 360
    // added while below 0.
    static int NormalizedAngle(int angle);

    // Makes the frame one tile of the pattern for the current angle.
    void Tile();

    void PrepareSave() override;
    int FrameCount() const override { return m_nFrames; }
    int FrameDelay(int) const override { return m_nDelay; }
    void DrawFrame(int index, QImage* frame) const override;
    // Draws the pattern at a given phase (the offset of its lines).
    void DrawPhase(std::int64_t phase, QImage* frame) const;

private:
    int m_nAngle = 315;
    std::int64_t m_nPeriod = 0; // the cycle's length plus 10
    std::int64_t m_nPhase = 0;
    int m_nFrames = 0;
    int m_nStep = 0;
    int m_nDelay = 0;
    int m_nQuadrant = 0;
};
