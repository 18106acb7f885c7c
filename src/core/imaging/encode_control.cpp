#include "core/imaging/encode_control.h"

QString OutOfMemoryMessage(const QString& what) {
    return QStringLiteral("Not enough memory for %1").arg(what);
}

EncodeControl::EncodeControl(ProgressSink* sink, int total)
    : m_pSink(sink), m_nTotal(total),
      m_outOfMemory(Status::Error(OutOfMemoryMessage(QStringLiteral("the save")))) {}

void EncodeControl::Fail(Status status) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_failure)
            m_failure = std::move(status);
        m_bAbort.store(true, std::memory_order_release);
    }
    m_cv.notify_all();
}

void EncodeControl::FailOutOfMemory(const QString& what) noexcept {
    // The message is new memory, which may be what ran out; the one made
    // beforehand is shared, not copied.
    Status status = m_outOfMemory;
    try {
        status = Status::Error(OutOfMemoryMessage(what));
    } catch (const std::bad_alloc&) {
    }
    Fail(std::move(status));
}

std::optional<Status> EncodeControl::Failure() const {
    std::lock_guard lock(m_mutex);
    return m_failure;
}

bool EncodeControl::CheckFrame(const QImage& frame, QSize size, int index) {
    if (frame.isNull()) {
        FailOutOfMemory(QStringLiteral("a %1 x %2 frame").arg(size.width()).arg(size.height()));
        return false;
    }
    if (frame.size() != size) {
        Fail(Status::Error(QStringLiteral("Frame %1 was drawn at %2 x %3 pixels instead of %4 x %5")
                               .arg(index + 1)
                               .arg(frame.width())
                               .arg(frame.height())
                               .arg(size.width())
                               .arg(size.height())));
        return false;
    }
    return true;
}

void EncodeControl::Step() {
    const int done = ++m_nDone;
    if (!m_pSink)
        return;
    std::lock_guard lock(m_sinkMutex);
    if (!Aborted() && !m_pSink->Progress(done, m_nTotal))
        Fail(Status::Error(CancelledMessage()));
}

void EncodeControl::AddTime(Stage stage, double seconds) {
    std::lock_guard lock(m_timeMutex);
    m_seconds[int(stage)] += seconds;
}

void EncodeControl::CopyTimes(EncodeStats* stats) const {
    std::lock_guard lock(m_timeMutex);
    stats->drawSeconds = m_seconds[int(Stage::Draw)];
    stats->paletteSeconds = m_seconds[int(Stage::Palette)];
    stats->remapSeconds = m_seconds[int(Stage::Remap)];
    stats->writeSeconds = m_seconds[int(Stage::Write)];
}
