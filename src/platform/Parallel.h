#pragma once

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>
#include <vector>

// The threads a job may use: as many as the machine has cores, at most Most.
// The count is asked once: the C library reads it from a file each time, and
// some callers ask for every change delivered.
inline int UsableThreads(int Most)
{
    static const int cores = int(std::thread::hardware_concurrency());
    return std::clamp(cores, 1, std::max(1, Most));
}

// Runs Work(i) for every i in [0, Count) on up to Threads threads, the
// caller's among them (or the caller alone when no thread can be had); each
// thread takes the next index not yet taken. After a failure no further
// index is started, and the failure of the lowest index that failed is
// raised once all threads have ended, so that no thread outlives the call.
// Thread is std::thread but for tests of threads that cannot be started.
template <class Thread = std::thread, class F>
void ParallelFor(int Count, int Threads, const F& Work)
{
    if (Count <= 0)
        return;
    std::vector<std::exception_ptr> failures(static_cast<size_t>(Count));
    std::atomic<int> next{0};
    std::atomic<bool> failed{false};
    const auto run = [&] {
        for (int i = next++; i < Count && !failed; i = next++) {
            try {
                Work(i);
            } catch (...) {
                failures[size_t(i)] = std::current_exception();
                failed = true;
            }
        }
    };
    const int helpers = std::max(0, std::min(Threads, Count) - 1);
    std::vector<Thread> workers;
    try {
        workers.reserve(static_cast<size_t>(helpers));
        while (int(workers.size()) < helpers)
            workers.emplace_back(run);
    } catch (...) {
        // Whatever kept a thread from starting (no thread, no memory for
        // one): those running take the indexes left.
    }
    run();
    for (Thread& worker : workers)
        worker.join();
    for (const std::exception_ptr& failure : failures)
        if (failure)
            std::rethrow_exception(failure);
}
