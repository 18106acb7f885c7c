// Rubber Clouds: a tunnel of bumpy closed rings around the frame's centre,
// coloured in bands that fade into each other, moving outward or inward by a
// few pixels a frame while the rings' bumps swell and return.
#pragma once

#include "core/animation/animation_renderer.h"
#include "core/animation/renderer_parameters.h"

#include <QRgb>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class RubberCloudsRenderer : public AnimationRenderer {
public:
    static constexpr int kMaxFrames = 500;
    static constexpr int kTableRows = 200;
    static constexpr int kRowLength = 24;
    static constexpr int kPenWidth = 50;
    // Bumps far beyond any frame only scatter ring pieces over it, while
    // every frame has to look at a number of rings that grows with them.
    static constexpr int kMaxBumps = 100000;

    RubberCloudsRenderer();
    std::unique_ptr<AnimationRenderer> Clone() const override;
    AnimationKind Kind() const override { return AnimationKind::RubberClouds; }

    void SetBackgroundColor(COLORREF c) { m_crBackground = c; }
    void SetCloudColor(int index, COLORREF c); // index 0 .. 4
    void SetNumberOfColors(int n);
    void SetBumps(int bumps); // 0 .. kMaxBumps
    void SetSqueeze(int squeeze);
    void SetSpeed(int speed);
    void SetBorderWidth(int width);
    void SetBorderDistance(int distance);
    void SetBackgroundBorders(bool on) { m_bBackgroundBorders = on; }
    void SetConstantBumps(bool on) { m_bConstantBumps = on; }
    void SetOutward(bool on) { m_bOutward = on; }
    // The Layers Density list's 1 .. 10; the renderer keeps 11 minus it.
    void SetLayersDensity(int density);

    COLORREF GetBackgroundColor() const { return m_crBackground; }
    COLORREF GetCloudColor(int index) const { return m_crClouds[std::size_t(index)]; }
    int GetNumberOfColors() const { return m_nColors; }
    int GetBumps() const { return m_nBumps; }
    int GetSqueeze() const { return m_nSqueeze; }
    int GetSpeed() const { return m_nSpeed; }
    int GetBorderWidth() const { return m_nBorderWidth; }
    int GetBorderDistance() const { return m_nBorderDistance; }
    bool GetBackgroundBorders() const { return m_bBackgroundBorders; }
    bool GetConstantBumps() const { return m_bConstantBumps; }
    bool GetOutward() const { return m_bOutward; }
    int GetLayerValue() const { return m_nLayerValue; }
    int GetLayersDensity() const { return 11 - m_nLayerValue; }

    // Worked out by PrepareSave().
    std::int64_t GetPeriod() const { return m_nPeriod; } // D
    int GetStep() const { return m_nStep; }              // g
    int GetDelay() const { return m_nDelay; }
    int GetZones() const { return m_nZones; } // t
    bool WasCut() const { return m_bCut; }

    void PrepareSave() override;
    int FrameCount() const override { return m_nFrames; }
    int FrameDelay(int) const override { return m_nDelay; }
    void DrawFrame(int index, QImage* frame) const override;
    bool DrawsIndexed() const override { return true; }
    bool UsesRandomness() const override { return true; }
    QStringList SaveNotes() const override;

    // One band of rings: `count` rings, solid in `from`, or fading from
    // `from` to `to`.
    struct Band {
        std::int64_t count;
        COLORREF from;
        COLORREF to;
        bool fade;
    };
    // The bands of one layer group, innermost first.
    std::vector<Band> LayerGroup() const;
    // The colour of ring i (from 0) of a fade over `steps` rings.
    static COLORREF FadeColor(COLORREF from, COLORREF to, std::int64_t steps, std::int64_t i);

    // The 24 bump values of the ring with counter v in frame j, for zones of
    // `zoneLength` rings. Needs the random table of the last PrepareSave().
    using Profile = std::array<std::int64_t, kRowLength>;
    Profile BumpProfile(std::int64_t zoneLength, std::int64_t v, int frame) const;
    // The 25 points of the closed Bezier outline of a ring of `radius`.
    struct Point64 {
        std::int64_t x;
        std::int64_t y;
    };
    std::array<Point64, 25> RingPoints(std::int64_t radius, const Profile& profile) const;
    // The random table's entry (row wrapped into 0 .. 199).
    int TableValue(std::int64_t row, int column) const;

private:
    // Draws frame j; into an 8-bit frame when colors is given, which gets
    // the frame's colours in the order of their indices. False when a frame
    // needs more than 256 (what was drawn is then of no use).
    bool Paint(int j, QImage* frame, std::vector<QRgb>* colors) const;

    COLORREF m_crBackground = 0xFF0000;
    std::array<COLORREF, 5> m_crClouds{0x0000FF, 0xFF00FF, 0x00FF00, 0x00FFFF, 0xFFFF00};
    int m_nColors = 5;
    int m_nBumps = 200;
    int m_nSqueeze = 0;
    int m_nSpeed = 20;
    int m_nBorderWidth = 5;
    int m_nBorderDistance = 5;
    bool m_bBackgroundBorders = false;
    bool m_bConstantBumps = false;
    bool m_bOutward = true;
    int m_nLayerValue = 5;

    std::int64_t m_nPeriod = 0;
    int m_nStep = 1;
    int m_nDelay = 10;
    int m_nFrames = 0;
    int m_nZones = 1;
    bool m_bCut = false;
    std::shared_ptr<const std::vector<int>> m_pTable;
};

std::vector<RendererParameter> RubberCloudsParameters();
