#include "engine/mapped_pages.h"
#include "engine/parallel.h"
#include "engine/reader.h"

#include <gtest/gtest.h>

namespace mergon {
namespace {

// Rows of several files filled at once from the arena, growing past their first blocks, one of
// them beyond a whole region: no block overlaps another, none loses a row when it moves.
TEST(PageArena, RowsFilledOnManyThreadsKeepEveryValue) {
    PageArena arena;
    std::vector<Rows> kept(9);
    const auto rowsIn = [](std::size_t file) { return file == 8 ? 2'200'000 : 3000 + 7919 * file; };
    forEachItem(kept.size(), 3, [&](std::size_t file, int) {
        Rows rows{ArenaAllocator<Row>(&arena)};
        if (file % 2 == 1)
            rows.reserve(rowsIn(file) / 3);
        for (std::size_t n = 0; n < rowsIn(file); ++n)
            rows.push_back({static_cast<double>(file), static_cast<double>(n)});
        kept[file] = std::move(rows);
    });
    for (std::size_t file = 0; file < kept.size(); ++file) {
        ASSERT_EQ(kept[file].size(), rowsIn(file));
        for (std::size_t n = 0; n < kept[file].size(); ++n)
            ASSERT_TRUE(kept[file][n].x == static_cast<double>(file) &&
                        kept[file][n].y == static_cast<double>(n))
                << file << " " << n;
    }
}

} // namespace
} // namespace mergon
