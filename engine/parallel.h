#pragma once
// A plain pool for work that splits into numbered items: each thread takes the next item as it
// finishes one. What an item computes must not depend on which thread runs it, so that the
// results are the same for every thread count.

#include <cstddef>
#include <functional>

namespace mergon {

// The threads a front end uses when it is not told: one per core, at least one.
int defaultJobs();

// Calls work(item, worker) for every item in [0, count) on up to `jobs` threads, the calling
// thread being worker 0; worker numbers run from 0 to the threads used - 1, so that each
// thread can keep its own tools. Returns when every item is done.
void forEachItem(std::size_t count, int jobs,
                 const std::function<void(std::size_t item, int worker)> &work);

// How many threads forEachItem uses for `count` items and `jobs`.
int workersFor(std::size_t count, int jobs);

} // namespace mergon
