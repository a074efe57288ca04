#include "engine/parallel_additions.h"

#include "engine/commands.h"
#include "engine/parallel.h"

#include <algorithm>
#include <atomic>
#include <memory>

namespace mergon {

namespace {

struct Addition {
    Session alone; // the session of this file only: its curve and its plot range
    Rows rows;
    Status status;
};

// Joins a file's scratch session to the session, as its addition there would have left it.
void join(Session &s, Addition &added) {
    Session &alone = added.alone;
    s.chosenFileName = alone.chosenFileName;
    if (s.curves.empty())
        s.outputFileName = alone.outputFileName;
    s.curves.push_back(alone.curves.front());
    if (s.plotXMax <= alone.plotXMax)
        s.plotXMax = alone.plotXMax;
    if (s.plotYMax <= alone.plotYMax)
        s.plotYMax = alone.plotYMax;
    if (s.plotXMin >= alone.plotXMin)
        s.plotXMin = alone.plotXMin;
    if (s.plotYMin >= alone.plotYMin)
        s.plotYMin = alone.plotYMin;
}

} // namespace

Status addInputFiles(Session &s, const std::vector<InputFile> &inputs, const Limits &limits,
                     int jobs, RowsBySlot &kept, const std::function<void(std::size_t)> &afterEach,
                     PageArena *rowMemory) {
    // Files beyond the limit on their number are refused as addInputFile refuses them.
    const auto most = static_cast<std::size_t>(std::max(limits.maxFiles, 0));
    const std::size_t room = most - std::min(s.curves.size(), most);
    const std::size_t count = std::min(inputs.size(), room);
    std::vector<Addition> additions;
    additions.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        additions.push_back({{}, Rows(ArenaAllocator<Row>(rowMemory)), {}});
    std::vector<std::unique_ptr<TextFile>> files(static_cast<std::size_t>(workersFor(count, jobs)));
    std::atomic<std::size_t> firstFailure{count}; // files after it need not be read
    forEachItem(count, jobs, [&](std::size_t i, int worker) {
        if (i > firstFailure.load(std::memory_order_relaxed))
            return;
        std::unique_ptr<TextFile> &file = files[static_cast<std::size_t>(worker)];
        if (!file)
            file = std::make_unique<TextFile>(TextFile::Reading::Whole);
        Addition &added = additions[i];
        takeNextSlot(added.alone);
        added.status = addInputFile(added.alone, *file, inputs[i].path, inputs[i].settings,
                                    added.rows, limits);
        if (!added.status.ok()) {
            std::size_t seen = firstFailure.load(std::memory_order_relaxed);
            while (i < seen && !firstFailure.compare_exchange_weak(seen, i))
                ;
        }
    });

    for (std::size_t i = 0; i < count; ++i) {
        Addition &added = additions[i];
        join(s, added);
        kept.push_back(std::move(added.rows));
        if (!added.status.ok())
            return added.status;
        if (afterEach)
            afterEach(i);
    }
    if (count < inputs.size()) {
        TextFile file;
        Rows rows;
        takeNextSlot(s);
        return addInputFile(s, file, inputs[count].path, inputs[count].settings, rows, limits);
    }
    return Status::success();
}

} // namespace mergon
