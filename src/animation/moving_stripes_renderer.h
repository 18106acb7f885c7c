// Moving Stripes: parallel stripes of up to five colours joined by
// gradients, sliding across the frame in the direction of an angle; one
// stripe period makes a seamless loop.
#pragma once

#include "animation/animation_renderer.h"
#include "animation/stripe_cycle.h"

class MovingStripesRenderer : public AnimationRenderer {
public:
    MovingStripesRenderer();
    std::unique_ptr<AnimationRenderer> Clone() const override;

    void SetNumberOfColors(int n);
    void SetAngle(int degrees);
    void SetStripeWidth(int w);
    void SetStripeDistance(int g);
    void SetBackgroundColor(COLORREF c) { m_stripes.background = c; }
    void SetStripeColor(int index, COLORREF c); // index 0 .. 4
    void SetBackgroundStripes(bool on) { m_stripes.backgroundStripes = on; }
    void SetSpeed(int speed);

    int GetNumberOfColors() const { return m_stripes.colors; }
    int GetAngle() const { return m_nAngle; }
    int GetStripeWidth() const { return m_stripes.stripeWidth; }
    int GetStripeDistance() const { return m_stripes.stripeDistance; }
    COLORREF GetBackgroundColor() const { return m_stripes.background; }
    COLORREF GetStripeColor(int index) const { return m_stripes.stripeColors[std::size_t(index)]; }
    bool GetBackgroundStripes() const { return m_stripes.backgroundStripes; }
    int GetSpeed() const { return m_nSpeed; }

    // Values worked out by the last save (or Tile, for the quadrant).
    int GetPeriod() const { return m_nPeriod; }
    int GetPhase() const { return m_nPhase; }
    int GetStep() const { return m_nStep; }
    int GetDelay() const { return m_nDelay; }
    int GetQuadrant() const { return m_nQuadrant; }

    static int QuadrantOf(int angle);
    int CycleLength() const { return StripeCycleLength(m_stripes); }

    // Makes the frame one tile of the pattern for the current angle.
    void Tile();

    void PrepareSave() override;
    int FrameCount() const override { return m_nFrames; }
    int FrameDelay(int) const override { return m_nDelay; }
    void DrawFrame(int index, QImage* frame) const override;
    // Draws the pattern at a given phase (the offset of its lines).
    void DrawPhase(int phase, QImage* frame) const;

private:
    StripeSettings m_stripes;
    int m_nAngle = 315;
    int m_nSpeed = 20;
    int m_nPeriod = 0;
    int m_nPhase = 0;
    int m_nFrames = 0;
    int m_nStep = 0;
    int m_nDelay = 0;
    int m_nQuadrant = 0;
};
