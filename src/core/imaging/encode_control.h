// What the stages of a save share: the failure that ends it (an error, a
// cancel from the progress sink, or memory running out), progress counting,
// the time each stage takes, and the one lock and wake-up every stage waits
// on, so that an abort anywhere ends every wait at once.
#pragma once

#include "core/base/status.h"
#include "core/imaging/frame_encoder.h"

#include <atomic>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <new>
#include <optional>

class EncodeControl {
public:
    enum class Stage { Draw, Palette, Remap, Write };

    // total: the progress steps of the whole save.
    EncodeControl(ProgressSink* sink, int total);
    EncodeControl(const EncodeControl&) = delete;
    EncodeControl& operator=(const EncodeControl&) = delete;

    bool Aborted() const { return m_bAbort.load(std::memory_order_acquire); }
    // The first failure wins; every waiting stage wakes up.
    void Fail(Status status);
    // Never throws, so a worker's last resort may call it.
    void FailOutOfMemory(const QString& what) noexcept;
    std::optional<Status> Failure() const;
    // A frame as the source drew it: a null image is memory that ran out, a
    // frame of another size a source fault. False (and the save ends)
    // unless it is sound.
    bool CheckFrame(const QImage& frame, QSize size, int index);

    // One step done; the sink may cancel. Calls to the sink never overlap.
    void Step();
    int StepsDone() const { return m_nDone.load(); }

    // Runs body(); a std::bad_alloc from it ends the save with "Not enough
    // memory for <what>". Returns false when it threw.
    template <typename Body> bool Guard(const QString& what, Body&& body) {
        try {
            body();
            return true;
        } catch (const std::bad_alloc&) {
            FailOutOfMemory(what);
            return false;
        }
    }

    // The lock every stage's shared state lives under, and the wait on it
    // that also ends when the save is aborted. Returns false on abort.
    std::unique_lock<std::mutex> Lock() { return std::unique_lock<std::mutex>(m_mutex); }
    template <typename Ready> bool Wait(std::unique_lock<std::mutex>& lock, Ready ready) {
        m_cv.wait(lock, [&] { return Aborted() || ready(); });
        return !Aborted();
    }
    void WakeAll() { m_cv.notify_all(); }

    // Seconds of thread CPU time, summed per stage.
    void AddTime(Stage stage, double seconds);
    void CopyTimes(EncodeStats* stats) const;

    // Adds the CPU time its thread spends from its construction to its
    // destruction to a stage: a worker waiting for the frame before it, or
    // for a core, adds nothing, so the figures do not grow with the threads.
    class Timer {
    public:
        Timer(EncodeControl& control, Stage stage)
            : m_control(control), m_stage(stage), m_dStart(ThreadSeconds()) {}
        ~Timer() { m_control.AddTime(m_stage, ThreadSeconds() - m_dStart); }
        Timer(const Timer&) = delete;
        Timer& operator=(const Timer&) = delete;

    private:
        static double ThreadSeconds() {
            timespec t{};
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
            return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
        }
        EncodeControl& m_control;
        Stage m_stage;
        double m_dStart;
    };

private:
    ProgressSink* m_pSink;
    const int m_nTotal;
    std::atomic<bool> m_bAbort{false};
    std::atomic<int> m_nDone{0};

    mutable std::mutex m_mutex; // stage state, the failure
    std::condition_variable m_cv;
    std::optional<Status> m_failure;
    Status m_outOfMemory; // made while there was memory

    std::mutex m_sinkMutex;
    mutable std::mutex m_timeMutex;
    double m_seconds[4] = {0, 0, 0, 0};
};

// The message of a save that ran out of memory.
QString OutOfMemoryMessage(const QString& what);
