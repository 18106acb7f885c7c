// A small looping picture of what the next save would write, redrawn on a
// worker thread a moment after the last edit so that tuning an animation
// does not take a save each time. Draws on a clone of the window's
// renderer, at a reduced size and with at most kMaxFrames frames, and never
// writes a file.
#pragma once

#include <QFutureWatcher>
#include <QImage>
#include <QLabel>
#include <QList>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

class AnimationRenderer;

class LivePreview : public QLabel {
    Q_OBJECT
public:
    // The frames drawn for the preview: their pictures, how long each is
    // shown (milliseconds), or why there is nothing to show.
    struct Frames {
        QList<QImage> images;
        QList<int> delaysMs;
        QString message;
    };

    static constexpr int kMaxWidth = 160;
    static constexpr int kMaxHeight = 120;
    static constexpr int kMaxFrames = 60;
    static constexpr int kSettleMs = 250;
    static constexpr int kMinDelayMs = 20;

    // `source` makes the copy of the window's renderer to draw, or nullptr
    // when there is none; it runs on this thread.
    explicit LivePreview(std::function<std::unique_ptr<AnimationRenderer>()> source,
                         QWidget* parent = nullptr);
    // Stops a drawing in progress and waits for it: the worker must not
    // outlive the window it draws for.
    ~LivePreview() override;

    // Something changed: redraw kSettleMs after the last change.
    void Changed();

    // Draws the preview frames of `renderer` (a clone nobody else holds),
    // stopping early when *cancel is set. Runs on any thread.
    static Frames Draw(AnimationRenderer* renderer, const std::atomic<bool>* cancel);

    // State for tests and the window.
    bool IsDrawing() const { return m_pRunning != nullptr; }
    int FrameCount() const { return int(m_frames.images.size()); }
    int ShownFrame() const { return m_nShown; }
    // Completed redraws so far.
    int Generation() const { return m_nGeneration; }
    const Frames& CurrentFrames() const { return m_frames; }

private:
    void StartDrawing();
    void DrawingFinished();
    void ShowFrame(int index);

    std::function<std::unique_ptr<AnimationRenderer>()> m_source;
    QTimer m_settleTimer;
    QTimer m_playTimer;
    QFutureWatcher<Frames>* m_pRunning = nullptr;
    std::shared_ptr<std::atomic<bool>> m_pCancel;
    bool m_bPending = false;
    Frames m_frames;
    int m_nShown = -1;
    int m_nGeneration = 0;
};
