// What the two stripe animations share: the colour cycle's settings and the
// speed, with their clamping setters.
#pragma once

#include "core/animation/animation_renderer.h"
#include "core/animation/stripe_cycle.h"

class StripesRendererBase : public AnimationRenderer {
public:
    void SetNumberOfColors(int n);
    void SetStripeWidth(int w);
    void SetStripeDistance(int g);
    void SetBackgroundColor(COLORREF c) { m_stripes.background = c; }
    void SetStripeColor(int index, COLORREF c); // index 0 .. 4
    void SetBackgroundStripes(bool on) { m_stripes.backgroundStripes = on; }
    void SetSpeed(int speed);

    int GetNumberOfColors() const { return m_stripes.colors; }
    int GetStripeWidth() const { return m_stripes.stripeWidth; }
    int GetStripeDistance() const { return m_stripes.stripeDistance; }
    COLORREF GetBackgroundColor() const { return m_stripes.background; }
    COLORREF GetStripeColor(int index) const { return m_stripes.stripeColors[std::size_t(index)]; }
    bool GetBackgroundStripes() const { return m_stripes.backgroundStripes; }
    int GetSpeed() const { return m_nSpeed; }

    std::int64_t CycleLength() const { return StripeCycleLength(m_stripes); }

    // The frame cap of the stripe animations, when it cuts.
    QStringList SaveNotes() const override;

protected:
    StripesRendererBase(int frameWidth, int frameHeight, const std::array<COLORREF, 5>& colors)
        : AnimationRenderer(frameWidth, frameHeight) {
        m_stripes.stripeColors = colors;
    }

    // A save raises a speed below 3 and stores it back.
    void RaiseSpeed() {
        if (m_nSpeed < 3)
            m_nSpeed = 3;
    }

    // Stores the frame count of the save: `wanted`, at least 1 and at most
    // 500; a cut is kept for the note.
    void SetFrameCount(std::int64_t wanted, int* frames);

    // A double or 64-bit size as an int, at the top of the range when it is
    // beyond it (sizes the save then refuses).
    static int SaturatedInt(double v);

    StripeSettings m_stripes; // one colour, w = g = 5, blue background
    int m_nSpeed = 20;
    std::int64_t m_nWantedFrames = 0; // frames a whole cycle takes, before the cap
};
