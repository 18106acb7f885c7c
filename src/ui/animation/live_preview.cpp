#include "ui/animation/live_preview.h"

#include "core/animation/animation_renderer.h"

#include <QPixmap>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cmath>
#include <exception>
#include <new>

namespace {

// Drawing work a preview may take, in pixels over all its frames: big
// frames (a whole table, say) get fewer of them, so a redraw stays quick.
constexpr std::int64_t kPixelBudget = 8'000'000;
constexpr int kLongestDelayMs = 10'000;

QSize FitInto(QSize size, int maxWidth, int maxHeight) {
    if (size.width() <= maxWidth && size.height() <= maxHeight)
        return size;
    const double scale =
        std::min(double(maxWidth) / size.width(), double(maxHeight) / size.height());
    return QSize(std::max(1, int(std::lround(size.width() * scale))),
                 std::max(1, int(std::lround(size.height() * scale))));
}

// A mask merged into the frames cuts the preview as the save cuts the
// frames: the cell area shows the cell colour (the page shows the table's
// cells through the transparent pixels). The frame is `scale` times the
// frame the mask was painted for.
void CutByMask(QImage* frame, const CellMask& mask, double scaleX, double scaleY, QRgb cell) {
    for (int y = 0; y < frame->height(); ++y) {
        const int my = int(y / scaleY);
        if (my >= mask.Height())
            break;
        auto* row = reinterpret_cast<QRgb*>(frame->scanLine(y));
        const std::uint8_t* cells = mask.Row(my);
        for (int x = 0; x < frame->width(); ++x) {
            const int mx = int(x / scaleX);
            if (mx >= mask.Width())
                break;
            if (cells[mx])
                row[x] = cell;
        }
    }
}

} // namespace

LivePreview::LivePreview(std::function<std::unique_ptr<AnimationRenderer>()> source,
                         QWidget* parent)
    : QLabel(parent), m_source(std::move(source)) {
    setObjectName(QStringLiteral("livePreview"));
    setFixedSize(kMaxWidth + 4, kMaxHeight + 4);
    setAlignment(Qt::AlignCenter);
    setWordWrap(true);
    setFrameShape(QFrame::StyledPanel);
    QFont small = font();
    small.setPointSizeF(std::max(6.0, small.pointSizeF() * 0.85));
    setFont(small);
    setToolTip(tr("Preview of the current settings, reduced; the save draws them in full"));
    m_settleTimer.setSingleShot(true);
    m_settleTimer.setInterval(kSettleMs);
    connect(&m_settleTimer, &QTimer::timeout, this, &LivePreview::StartDrawing);
    m_playTimer.setSingleShot(true);
    connect(&m_playTimer, &QTimer::timeout, this, [this] {
        if (!m_frames.images.isEmpty())
            ShowFrame((m_nShown + 1) % int(m_frames.images.size()));
    });
}

LivePreview::~LivePreview() {
    m_settleTimer.stop();
    m_playTimer.stop();
    if (m_pRunning) {
        m_pCancel->store(true);
        m_pRunning->disconnect(this);
        // The cancel flag ends the drawing within a frame.
        m_pRunning->waitForFinished();
    }
}

void LivePreview::Changed() {
    m_settleTimer.start();
    // A drawing of the old values is not worth finishing.
    if (m_pRunning)
        m_pCancel->store(true);
}

void LivePreview::StartDrawing() {
    if (m_pRunning) {
        // One drawing at a time; the newest values follow when it ends.
        m_bPending = true;
        m_pCancel->store(true);
        return;
    }
    m_bPending = false;
    std::shared_ptr<AnimationRenderer> clone;
    try {
        clone = m_source ? std::shared_ptr<AnimationRenderer>(m_source()) : nullptr;
    } catch (const std::bad_alloc&) {
        setText(tr("Not enough memory for the preview"));
        return;
    }
    if (!clone)
        return;
    // Random types draw with the seed the next save will take (see
    // ChooseSeed), so what the preview shows is what is saved.
    // The copy draws but never saves.
    clone->SetAnimationGifPath(QString());
    clone->SetCellGifPath(QString());
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    m_pCancel = cancel;
    m_pRunning = new QFutureWatcher<Frames>(this);
    connect(m_pRunning, &QFutureWatcher<Frames>::finished, this, &LivePreview::DrawingFinished);
    m_pRunning->setFuture(
        QtConcurrent::run([clone, cancel] { return Draw(clone.get(), cancel.get()); }));
}

void LivePreview::DrawingFinished() {
    QFutureWatcher<Frames>* watcher = m_pRunning;
    m_pRunning = nullptr;
    const bool cancelled = m_pCancel->load();
    Frames frames = watcher->result();
    watcher->deleteLater();
    if (m_bPending) {
        // Newer values arrived while this drawing ran.
        StartDrawing();
        return;
    }
    if (cancelled)
        return; // the settle timer brings the newer drawing
    ++m_nGeneration;
    m_playTimer.stop();
    m_frames = std::move(frames);
    m_nShown = -1;
    if (m_frames.images.isEmpty()) {
        setPixmap(QPixmap());
        setText(m_frames.message);
        return;
    }
    ShowFrame(0);
}

void LivePreview::ShowFrame(int index) {
    m_nShown = index;
    setPixmap(QPixmap::fromImage(m_frames.images[index]));
    if (m_frames.images.size() > 1)
        m_playTimer.start(m_frames.delaysMs[index]);
}

LivePreview::Frames LivePreview::Draw(AnimationRenderer* r, const std::atomic<bool>* cancel) {
    Frames out;
    try {
        r->SetCancelFlag(cancel);
        const QSize full(r->GetFrameWidth(), r->GetFrameHeight());
        const QSize reduced = FitInto(full, kMaxWidth, kMaxHeight);
        r->SetFrameWidth(reduced.width());
        r->SetFrameHeight(reduced.height());
        r->PrepareSave();
        // Types that assemble the whole table draw it at full size.
        const bool scaled = r->OutputSize() == reduced;
        const double scaleX = scaled ? double(reduced.width()) / full.width() : 1.0;
        const double scaleY = scaled ? double(reduced.height()) / full.height() : 1.0;
        const CellMask* mask = r->ActiveMask();
        const COLORREF cellColor = r->GetCellColor();
        const QRgb cell = qRgb(RedOf(cellColor), GreenOf(cellColor), BlueOf(cellColor));
        Status ok = r->CheckSave();
        if (ok)
            ok = r->CheckPreparedSave();
        if (!ok) {
            out.message = ok.message();
            return out;
        }
        const int count = r->FrameCount();
        const QSize size = r->OutputSize();
        if (count <= 0 || size.isEmpty()) {
            out.message = tr("Nothing to show");
            return out;
        }
        const std::int64_t area = std::int64_t(size.width()) * size.height();
        int drawn = int(std::min<std::int64_t>(
            {std::int64_t(count), kMaxFrames, std::max<std::int64_t>(1, kPixelBudget / area)}));
        // Long loops are sampled evenly so the preview still shows the whole
        // cycle; renderers that draw in order show their first frames.
        std::int64_t step = 1;
        if (!r->IsSequential() && count > drawn)
            step = (std::int64_t(count) + drawn - 1) / drawn;
        r->Restart();
        for (int k = 0; k < drawn; ++k) {
            const std::int64_t index = std::int64_t(k) * step;
            if (index >= count)
                break;
            if (cancel && cancel->load())
                return {};
            QImage frame(size, QImage::Format_RGB32);
            if (frame.isNull())
                throw std::bad_alloc();
            r->DrawFrame(int(index), &frame);
            if (cancel && cancel->load())
                return {};
            if (mask)
                CutByMask(&frame, *mask, scaleX, scaleY, cell);
            if (frame.width() > kMaxWidth || frame.height() > kMaxHeight) {
                frame = frame.scaled(FitInto(frame.size(), kMaxWidth, kMaxHeight),
                                     Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            }
            const std::int64_t ms = std::int64_t(r->FrameDelay(int(index))) * 10 * step;
            out.images << frame;
            out.delaysMs << int(std::clamp<std::int64_t>(ms, kMinDelayMs, kLongestDelayMs));
        }
    } catch (const std::bad_alloc&) {
        out = Frames();
        out.message = tr("Not enough memory for the preview");
    } catch (const std::exception& e) {
        out = Frames();
        out.message = QString::fromLocal8Bit(e.what());
    }
    return out;
}
