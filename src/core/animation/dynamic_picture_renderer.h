// Dynamic Picture: a picture the user picks, tiled into a canvas of whole
// tiles at least as large as the frame size asked for, scrolling cyclically
// in the direction of an angle for one pass over the canvas.
#pragma once

#include "core/animation/animation_renderer.h"
#include "core/animation/cyclic_scroll.h"
#include "core/animation/renderer_parameters.h"

#include <vector>

class DynamicPictureRenderer : public AnimationRenderer {
public:
    static constexpr int kMaxFrames = 5000;

    DynamicPictureRenderer();
    std::unique_ptr<AnimationRenderer> Clone() const override;
    AnimationKind Kind() const override { return AnimationKind::DynamicPicture; }

    void SetPictureFileName(const QString& path) { m_strPictureFile = path; }
    // A picture made in the program rather than read from a file; a save
    // uses it while the file name is empty.
    void SetPicture(const QImage& picture);
    void SetAngle(int degrees);
    void SetSpeed(int speed);

    const QString& GetPictureFileName() const { return m_strPictureFile; }
    int GetAngle() const { return m_nAngle; }
    int GetSpeed() const { return m_nSpeed; }

    // The canvas width or height for a tile of `tile` pixels and a wanted
    // size: the tile itself when it is at least as large, otherwise one
    // whole tile more than fits.
    static std::int64_t CanvasSide(std::int64_t wanted, std::int64_t tile);

    // Loads the picture and plans the scroll. The frame size the user asked
    // for is kept: the canvas is worked out afresh at every save.
    void PrepareSave() override;
    Status CheckSave() const override { return m_status; }
    int FrameCount() const override { return m_nFrames; }
    int FrameDelay(int) const override { return 10; }
    QSize OutputSize() const override { return m_canvasSize; }
    void DrawFrame(int index, QImage* frame) const override;
    QStringList SaveNotes() const override;
    QImage ScrollStill() const override { return m_tile; }
    QPoint ScrollShift(int index) const override { return m_scroll.Offset(index); }
    const CellMask* FrameMask() const override { return m_pCanvasMask.get(); }

    // After PrepareSave():
    const CyclicScroll& Scroll() const { return m_scroll; }
    const QImage& Tile() const { return m_tile; }

private:
    QString m_strPictureFile;
    QImage m_ownPicture;
    int m_nAngle = 315;
    int m_nSpeed = 30;

    Status m_status;
    QImage m_tile; // the picture, held once; frames are drawn from it
    QSize m_canvasSize{200, 200};
    CyclicScroll m_scroll;
    int m_nFrames = 0;
    std::shared_ptr<const CellMask> m_pCanvasMask;
};

std::vector<RendererParameter> DynamicPictureParameters();

// The chooser's sample picture: a gradient with a few shapes.
QImage DynamicPictureSample(int width, int height);
