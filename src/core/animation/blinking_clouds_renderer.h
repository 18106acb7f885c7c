// Blinking Clouds: a dense field of random clouds in up to five colours; a
// wave runs through the last clouds, turning each from its start colour to
// its target colour one step per frame, and in the second half of the
// animation a second wave turns them back. Every frame is drawn over the
// one before, so the frames are made in order.
#pragma once

#include "core/animation/animation_renderer.h"
#include "core/animation/cloud_painter.h"
#include "core/animation/renderer_parameters.h"

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

// Blinking Clouds' parameters by their command-line names.
std::vector<RendererParameter> BlinkingCloudsParameters();

class BlinkingCloudsRenderer : public AnimationRenderer {
public:
    // The most frames a save writes, and the most clouds it animates.
    static constexpr int kMaxFrames = 5000;
    static constexpr int kMaxChangingClouds = 250000;
    // Cloud size, bumps and squeeze are lowered to this at a save.
    static constexpr int kMaxCloudMeasure = 1000;

    BlinkingCloudsRenderer();
    std::unique_ptr<AnimationRenderer> Clone() const override;
    AnimationKind Kind() const override { return AnimationKind::BlinkingClouds; }

    void SetCloudColor(int index, COLORREF color); // index 0 .. 4
    void SetNumberOfColors(int n);                 // 1 .. 5
    void SetCloudSize(int size);                   // at least 0
    void SetCloudBumps(int bumps);                 // at least 0
    void SetCloudSqueeze(int squeeze);             // at least 0
    void SetCloudsPerSecond(int clouds);           // at least 1
    void SetColorShift(int shift);                 // at least 0
    void SetAnimationLength(int seconds);          // at least 1

    COLORREF GetCloudColor(int index) const { return m_colors[std::size_t(index)]; }
    int GetNumberOfColors() const { return m_nColors; }
    int GetCloudSize() const { return m_nSize; }
    int GetCloudBumps() const { return m_nBumps; }
    int GetCloudSqueeze() const { return m_nSqueeze; }
    int GetCloudsPerSecond() const { return m_nCloudsPerSecond; }
    int GetColorShift() const { return m_nShift; }
    int GetAnimationLength() const { return m_nLength; }
    // Cloud colour 1 from the first save on.
    COLORREF GetBackgroundColor() const { return m_crBackground; }

    // Worked out by the last PrepareSave().
    long long GetCloudCount() const { return m_nCount; }
    long long GetFirstChanging() const { return m_nFirst; }
    int GetSpanX() const { return m_nSpanX; }
    int GetSpanY() const { return m_nSpanY; }
    double GetSpokeStep() const { return m_dSpokeStep; }

    // The colour of a cloud `level` steps of `shift` on its way from start
    // to target. A level already shows level + 1 steps, so the last but
    // one is nearly the target.
    static COLORREF LevelColor(COLORREF start, COLORREF target, int level, int shift);

    // A cloud that can change colour (index first .. count - 1), kept small as a save may hold
    // many.
    struct Cloud {
        std::array<std::int16_t, 16> radii;
        std::int32_t x;
        std::int32_t y;
        std::int32_t level;
        std::uint8_t start; // colour indices
        std::uint8_t target;
    };

    // After a frame has been drawn: the cloud as it stands, or null for a
    // cloud that never changes.
    const Cloud* ChangingCloud(long long index) const;

    void PrepareSave() override;
    int FrameCount() const override { return m_nFrames; }
    int FrameDelay(int) const override { return 10; }
    void DrawFrame(int index, QImage* frame) const override;
    bool IsSequential() const override { return true; }
    void Restart() override;
    QStringList SaveNotes() const override;
    // Refuses a save whose clouds would take more than a save can draw.
    Status CheckPreparedSave() const override;
    // Worked out by the last PrepareSave(): about how many cloud pixels
    // the save paints.
    double GetEstimatedWork() const { return m_dWork; }
    // The most cloud pixels a save may paint.
    static constexpr double kMaxWork = 4e9;
    bool UsesRandomness() const override { return true; }
    // No comment and disposal 0: each frame stays under the next.
    GifFileOptions FileOptions() const override;
    int Disposal() const override { return 0; }

private:
    bool DrawStart() const;
    void DrawStep(long long u) const;
    void PaintCloud(const Cloud& cloud, COLORREF color) const;
    bool CoversFrame(const Cloud& cloud) const;

    std::array<COLORREF, 5> m_colors;
    COLORREF m_crBackground = 0xFF0000;
    int m_nColors = 2;
    int m_nSize = 10;
    int m_nBumps = 10;
    int m_nSqueeze = 10;
    int m_nCloudsPerSecond = 10;
    int m_nShift = 6;
    int m_nLength = 10;

    // The prepared save.
    long long m_nCount = 0;
    long long m_nFirst = 0;
    int m_nFrames = 0;
    double m_dRate = 0;
    int m_nSpanX = 0;
    int m_nSpanY = 0;
    double m_dSpokeStep = 0;
    std::uint32_t m_nSeed = 0;
    // What the save had to change, for the notes.
    bool m_bFramesCut = false;
    int m_nShortenedLength = 0; // 0: not shortened
    bool m_bMeasuresCapped = false;
    long long m_nWantedChanging = 0; // > kMaxChangingClouds: cut
    double m_dWork = 0;

    // The drawing state of a save, made on the first frame: the picture of
    // frame u - 1 and the clouds that change. Mutable because frames are
    // drawn through the const DrawFrame, in order, on one thread.
    mutable QImage m_canvas;
    mutable QImage m_start; // the picture before any cloud changes, indexed
    mutable std::vector<Cloud> m_changing;
    mutable long long m_nNextFrame = -1; // -1: nothing drawn yet
    // A frame's repaints in order: cloud index and colour.
    mutable std::vector<std::pair<long long, COLORREF>> m_repaints;
    mutable std::vector<std::uint8_t> m_mask;
};
