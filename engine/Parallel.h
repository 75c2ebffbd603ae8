#pragma once
// Work spread over threads, for the search and the plot file.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace velda {

// The threads a run uses: the environment variable DIZIROVI_THREADS (1 to 256) when set, else the
// number of cores. Results do not depend on it.
unsigned searchThreads();

// f(i, worker) for every i below n on `threads` threads; each i is done once, by one thread, and
// `worker` (below `threads`) names that thread, so each may keep buffers of its own.
template <class F> void parallelForWorkers(size_t n, unsigned threads, const F& f) {
    threads = static_cast<unsigned>(std::min<size_t>(threads, n));
    if (threads <= 1) {
        for (size_t i = 0; i < n; ++i) f(i, 0u);
        return;
    }
    std::atomic<size_t> next{0};
    std::exception_ptr failure;
    std::mutex failureLock;
    auto work = [&](unsigned worker) {
        try {
            for (size_t begin; (begin = next.fetch_add(16)) < n;)
                for (size_t i = begin; i < std::min(n, begin + 16); ++i) f(i, worker);
        } catch (...) {
            std::lock_guard lock(failureLock);
            if (!failure) failure = std::current_exception();
            next = n;
        }
    };
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads; ++t) pool.emplace_back(work, t);
    work(0);
    for (std::thread& t : pool) t.join();
    if (failure) std::rethrow_exception(failure);
}

// f(i) for every i below n on `threads` threads; each i is done once, by one thread.
template <class F> void parallelFor(size_t n, unsigned threads, const F& f) {
    parallelForWorkers(n, threads, [&f](size_t i, unsigned) { f(i); });
}

} // namespace velda
