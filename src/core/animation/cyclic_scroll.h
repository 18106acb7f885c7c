// The cyclic scroll behind Flowing Clouds and Dynamic Picture: a still
// picture slides in the direction of an angle, wrapping round at its edges,
// a few pixels per frame, until it has moved by about one picture. Along
// one axis the motion covers a whole number of picture sizes, so the loop
// joins there without a seam.
#pragma once

#include <QImage>
#include <QPoint>
#include <QString>
#include <cstdint>

// Where the picture moves. The diagonal kinds are numbered by the quadrant
// of the angle; the pure kinds cover the angles within five degrees of an
// axis.
enum class ScrollMotion {
    RightUp = 0,
    LeftUp = 1,
    LeftDown = 2,
    RightDown = 3,
    Right = 4,
    Up = 5,
    Left = 6,
    Down = 7,
};

// How far one axis has travelled after k frames. The axis a loop is fitted
// to moves by an exact fraction of pixels per frame (num / den), so that the
// last frame lands on a whole picture size; the other axis moves by a
// fractional step whose sum may fall short of one by less than a step.
class ScrollAxis {
public:
    static ScrollAxis Exact(std::int64_t num, std::int64_t den);
    static ScrollAxis Approximate(double step);

    // Pixels per frame.
    double Step() const;
    bool IsExact() const { return m_nDen > 0; }
    // trunc(k x step) in whole pixels, k >= 0.
    std::int64_t Travel(std::int64_t k) const;

private:
    std::int64_t m_nNum = 0;
    std::int64_t m_nDen = 0; // 0: approximate
    double m_dStep = 0.0;
};

struct CyclicScroll {
    int angle = 0;    // after wrapping into 0 .. 360
    int quadrant = 0; // angle / 90
    int acute = 0;    // the angle between the direction and the x axis
    int step = 1;     // pixels per frame along the main axis
    ScrollMotion motion = ScrollMotion::Right;
    ScrollAxis x;
    ScrollAxis y;
    std::int64_t frames = 1; // one pass; a save may cut it
    // The axis whose travel over `frames` frames is a whole number of
    // picture sizes (a diagonal scroll); a straight scroll fits its own
    // axis when the step divides the size.
    enum class Fit { None, X, Y } fit = Fit::None;
    int width = 1;
    int height = 1;

    // The cyclic shift of frame k: the picture moves right by u and down
    // by v, both in 0 .. width - 1 and 0 .. height - 1.
    QPoint Offset(std::int64_t k) const;

    // What a save says when it writes only the first `savedFrames` of the
    // frames: the loop no longer joins.
    QString CutNote(int savedFrames) const;
};

// An angle above 360 wraps into 1 .. 360 (361 gives 1, 720 gives 360);
// angles up to 360 are kept.
int WrapScrollAngle(int angle);

// The scroll of a width x height picture at `angle` degrees (0 right, 90
// up) and `speed` (about ten per pixel per frame).
CyclicScroll PlanCyclicScroll(int angle, int speed, int width, int height);

// Fills *frame with `still` repeated across it and moved cyclically right
// by u and down by v. A frame a whole number of tiles in size wraps
// seamlessly; both images must be RGB32.
void DrawCyclicShift(const QImage& still, int u, int v, QImage* frame);
