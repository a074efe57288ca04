#include "engine/parallel.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace mergon {

int defaultJobs() { return std::max(1, static_cast<int>(std::thread::hardware_concurrency())); }

int workersFor(std::size_t count, int jobs) {
    return static_cast<int>(
        std::min<std::size_t>(count, static_cast<std::size_t>(std::max(jobs, 1))));
}

void forEachItem(std::size_t count, int jobs,
                 const std::function<void(std::size_t item, int worker)> &work) {
    std::atomic<std::size_t> next{0};
    const auto run = [&](int worker) {
        for (std::size_t item; (item = next.fetch_add(1, std::memory_order_relaxed)) < count;)
            work(item, worker);
    };
    const int workers = workersFor(count, jobs);
    {
        std::vector<std::jthread> helpers;
        for (int worker = 1; worker < workers; ++worker)
            helpers.emplace_back(run, worker);
        run(0);
    } // the helpers are joined here
}

} // namespace mergon
