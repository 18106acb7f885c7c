// Threads for work that may be split any way: a thread the system refuses
// (its stack is new address space, which a limit on it or a full machine
// denies) is not an error; the work it would have done runs elsewhere, and
// since a split never changes a result, the result is the same.
#pragma once

#include <functional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

// Runs body(share) for every share in [0, shares), the caller's thread
// among those doing it: shares whose thread could not be started run on
// the caller, after its own. Every share runs and every thread is joined
// before it returns; then the first exception a share threw, on whichever
// thread, is thrown again.
void RunOnThreads(int shares, const std::function<void(int)>& body);

// Starts a thread running f and appends it to pool; false when the system
// could not start one (pool unchanged).
template <class F> bool TryStartThread(std::vector<std::thread>& pool, F&& f) {
    try {
        pool.emplace_back(std::forward<F>(f));
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

// Joins every joinable thread of the pool when it goes, so that a pool
// left by an exception ends its threads instead of the process.
class JoinOnExit {
public:
    explicit JoinOnExit(std::vector<std::thread>& pool) : m_pool(pool) {}
    ~JoinOnExit();
    JoinOnExit(const JoinOnExit&) = delete;
    JoinOnExit& operator=(const JoinOnExit&) = delete;

private:
    std::vector<std::thread>& m_pool;
};

// Qt's image conversions and scaling split a large image over the global
// thread pool and wait for every part; a part handed to a pool thread the
// system refused to start is never done, and the conversion waits for
// ever. This starts the pool's threads up front, keeps them, and gives them
// small stacks, so that no thread is started later; false when one could
// not be (the pool is then unusable, and the process should end without
// waiting for it).
bool StartPoolThreadsNow();
