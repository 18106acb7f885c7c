// Flowing Clouds: one still picture of soft-edged clouds on a regular grid,
// each with its own random outline, scrolled cyclically in the direction
// of an angle until it has moved by about one picture.
#pragma once

#include "core/animation/animation_renderer.h"
#include "core/animation/cloud_painter.h"
#include "core/animation/cyclic_scroll.h"
#include "core/animation/renderer_parameters.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

// Flowing Clouds' parameters by their command-line names.
std::vector<RendererParameter> FlowingCloudsParameters();

class FlowingCloudsRenderer : public AnimationRenderer {
public:
    static constexpr int kMaxFrames = 5000;
    // Cloud size, bumps, gradient and squeeze are lowered to this at a save.
    static constexpr int kMaxCloudMeasure = 1000;

    FlowingCloudsRenderer();
    std::unique_ptr<AnimationRenderer> Clone() const override;
    AnimationKind Kind() const override { return AnimationKind::FlowingClouds; }

    void SetNumberOfColors(int n); // 1 .. 5
    void SetBackgroundColor(COLORREF color) { m_crBackground = color; }
    void SetCloudColor(int index, COLORREF color); // index 0 .. 4
    void SetCloudSize(int size);                   // at least 0
    void SetCloudBumps(int bumps);                 // at least 0
    void SetCloudGradient(int gradient);           // at least 0
    void SetCloudSqueeze(int squeeze);             // at least 0
    void SetCloudDistance(int distance);           // at least 0; a save raises it to 1
    void SetSpeed(int speed);                      // at least 1
    void SetAngle(int degrees);                    // at least 0

    int GetNumberOfColors() const { return m_nColors; }
    COLORREF GetBackgroundColor() const { return m_crBackground; }
    COLORREF GetCloudColor(int index) const { return m_colors[std::size_t(index)]; }
    int GetCloudSize() const { return m_nSize; }
    int GetCloudBumps() const { return m_nBumps; }
    int GetCloudGradient() const { return m_nGradient; }
    int GetCloudSqueeze() const { return m_nSqueeze; }
    int GetCloudDistance() const { return m_nDistance; }
    int GetSpeed() const { return m_nSpeed; }
    int GetAngle() const { return m_nAngle; }

    // The colour (1 to 5) of the cloud in grid column c and row r with n
    // colours in use. The checkerboard of c + r even is drawn first.
    static int CloudColorNumber(int n, int c, int r);

    void PrepareSave() override;
    int FrameCount() const override { return m_nFrames; }
    int FrameDelay(int) const override { return 10; }
    void DrawFrame(int index, QImage* frame) const override;
    bool UsesRandomness() const override { return true; }
    QStringList SaveNotes() const override;
    QImage ScrollStill() const override { return Still(); }
    QPoint ScrollShift(int index) const override { return m_scroll.Offset(index); }

    // After PrepareSave():
    const CyclicScroll& Scroll() const { return m_scroll; }
    int GetColumns() const { return m_nColumns; }
    int GetRows() const { return m_nRows; }
    int GetSpanX() const { return m_nSpanX; }
    int GetSpanY() const { return m_nSpanY; }
    // The still picture the frames scroll, drawn on first use.
    const QImage& Still() const;

private:
    // The picture is drawn once per save by whichever frame asks first and
    // shared by every copy the save makes.
    struct StillPicture {
        std::once_flag drawn;
        QImage image;
    };
    void DrawStill(QImage* image) const;

    int m_nColors = 1;
    COLORREF m_crBackground = 0xFF0000;
    std::array<COLORREF, 5> m_colors{0xFFFFFF, 0xFF19FF, 0x32FF96, 0x0000FF, 0x1464C8};
    int m_nSize = 20;
    int m_nBumps = 10;
    int m_nGradient = 10;
    int m_nSqueeze = 20;
    int m_nDistance = 30;
    int m_nSpeed = 20;
    int m_nAngle = 315;

    // Worked out by PrepareSave().
    int m_nSpanX = 0;
    int m_nSpanY = 0;
    int m_nColumns = 1;
    int m_nRows = 1;
    int m_nStepX = 1;
    int m_nStepY = 1;
    std::uint32_t m_nSeed = 0;
    bool m_bMeasuresCapped = false;
    CyclicScroll m_scroll;
    int m_nFrames = 0;
    std::shared_ptr<StillPicture> m_pStill;
};
