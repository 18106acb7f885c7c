#include "core/base/worker_threads.h"

#include <QSemaphore>
#include <QThreadPool>

#include <atomic>
#include <exception>
#include <memory>
#include <mutex>

JoinOnExit::~JoinOnExit() {
    for (auto& t : m_pool)
        if (t.joinable())
            t.join();
}

void RunOnThreads(int shares, const std::function<void(int)>& body) {
    // An exception leaving a thread's function ends the process; each
    // share's is caught where it ran and the first of them is thrown again
    // here once every thread is done.
    std::exception_ptr first;
    std::mutex firstMutex;
    const auto run = [&](int share) {
        try {
            body(share);
        } catch (...) {
            std::lock_guard lock(firstMutex);
            if (!first)
                first = std::current_exception();
        }
    };
    {
        std::vector<std::thread> pool;
        JoinOnExit joiner(pool);
        int started = 1;
        if (shares > 1) {
            pool.reserve(std::size_t(shares - 1));
            while (started < shares && TryStartThread(pool, [&run, s = started] { run(s); }))
                ++started;
        }
        run(0);
        for (int s = started; s < shares; ++s)
            run(s);
    }
    if (first)
        std::rethrow_exception(first);
}

namespace {

// Qt says a thread could not be started only in a warning.
std::atomic<bool> g_bPoolThreadRefused{false};
QtMessageHandler g_previousHandler = nullptr;

void NoteRefusedThreads(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.startsWith(QLatin1String("QThread::start: Thread creation error"))) {
        g_bPoolThreadRefused = true;
        return;
    }
    if (g_previousHandler)
        g_previousHandler(type, context, text);
}

// A conversion's part needs a few kilobytes of stack; the default of 8 MB
// is address space, which a limit on it may not have to spare.
constexpr uint kPoolStackBytes = 1u << 20;

} // namespace

bool StartPoolThreadsNow() {
    QThreadPool* pool = QThreadPool::globalInstance();
    if (!pool)
        return true;
    pool->setStackSize(kPoolStackBytes);
    pool->setExpiryTimeout(-1);
    const int threads = pool->maxThreadCount();
    // Each waits until all are started, so that none is handed the next.
    // And each has set itself up (which Qt does not survive without the
    // memory) before the caller goes on to the work that may use it up.
    auto running = std::make_shared<QSemaphore>();
    auto gate = std::make_shared<QSemaphore>();
    g_bPoolThreadRefused = false;
    g_previousHandler = qInstallMessageHandler(NoteRefusedThreads);
    for (int t = 0; t < threads; ++t)
        pool->start([running, gate] {
            running->release();
            gate->acquire();
        });
    qInstallMessageHandler(g_previousHandler);
    const bool started = !g_bPoolThreadRefused;
    if (started)
        running->acquire(threads);
    gate->release(threads);
    return started;
}
