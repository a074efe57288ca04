#include "engine/parallel.h"
#include "engine/plain_lines.h"
#include "engine/reader.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <regex>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

// Rows compare and print whole.
namespace mergon {
static bool operator==(const Row &a, const Row &b) { return a.x == b.x && a.y == b.y; }
static void PrintTo(const Row &r, std::ostream *out) { *out << '(' << r.x << ' ' << r.y << ')'; }
} // namespace mergon

using namespace mergon;

namespace {

std::string data(const std::string &name) { return std::string(MERGON_TEST_DATA) + "/" + name; }

// Settings for one of the test data files.
CurveSettings curve(const std::string &file, int skip, int lines, int perLine, int xColumn,
                    int yColumn, float xFactor = 1, float yFactor = 1, float weight = 1) {
    return {data(file), skip, lines, perLine, xColumn, yColumn, xFactor, yFactor, weight};
}

// Row 0, then the fifth and sixth numbers of each line of three_header_four_rows.txt.
const Rows kStartRows{{0, 0}, {29.4, -0.7868}, {29.86, -0.8005}, {30.41, -0.8155}, {30.93, -0.831}};

// Runs `check` once in each lane that takes plain lines, the field-by-field reading included,
// from the last lane to the first, so that the best one is left in use.
template <class Check> void inEveryLane(Check check) {
    for (int lane = 3; lane >= 0; --lane) {
        SCOPED_TRACE((std::array{"best word scan", "baseline word scan", "bytewise word scan",
                                 "field by field"}[lane]));
        useScanLane(static_cast<ScanLane>(lane));
        check();
    }
}

// Every row delivered; on success the rows, too. Failures deliver the rows before the fault.
TEST(ReadCurve, EdgeCasesAndFailures) {
    const std::string start = "three_header_four_rows.txt", across = "rows_across_lines.txt";
    // clang-format off
    const struct { const char *name; CurveSettings settings; Rows rows; int code = 0; }
        cases[] = {
        {"start settings", curve(start, 3, 4, 6, 5, 6), kStartRows},
        {"rows across line breaks", curve(across, 0, 2, 4, 1, 4), {{}, {1, 2}, {20, 30}}},
        {"negative skip", curve(across, -2, 2, 4, 1, 4), {{}, {1, 2}, {20, 30}}},
        {"x column beyond the row", curve(start, 3, 4, 6, 7, 6),
         {{}, {0, -0.7868}, {0, -0.8005}, {0, -0.8155}, {0, -0.831}}},
        {"x column 0, y column negative", curve(start, 3, 4, 6, 0, -1), {{}, {}, {}, {}, {}}},
        {"shared column, weight 2", curve(start, 3, 4, 6, 5, 5, 1, 1, 2),
         {{}, {29.4, 58.8}, {29.86, 59.72}, {30.41, 60.82}, {30.93, 61.86}}},
        // Factors that are powers of two scale exactly, so the values compare exactly.
        {"x coefficient -0.5, y coefficient 2, weight 4", curve(start, 3, 4, 6, 5, 6, -0.5f, 2, 4),
         {{}, {-14.7, -6.2944}, {-14.93, -6.404}, {-15.205, -6.524}, {-15.465, -6.648}}},
        {"empty x or y leaves its row out", curve("empty_fields.txt", 0, 3, 3, 1, 2), {{}, {7, 8}}},
        {"comments, gaps and NA", curve("comments_and_gaps.txt", 0, 5, 3, 1, 2), {{}, {1, 10}, {5, 50}}},
        {"empty elsewhere is harmless", curve("empty_fields.txt", 0, 3, 3, 2, 2), {{}, {5, 5}, {8, 8}}},
        {"text elsewhere", curve("text_column.txt", 0, 2, 4, 3, 4), {{}, {1.5, 2.5}, {2.5, 3.5}}},
        {"7 fields, rows of 4", curve("uneven_fields.txt", 0, 2, 4, 1, 2), {{}, {1, 2}}, kPastEnd},
        {"trailing blank lines", curve("trailing_blank_line.txt", 3, 5, 6, 5, 6), kStartRows,
         kPastEnd},
        {"blank line inside is a field", curve("mid_blank_line.txt", 0, 3, 2, 1, 2),
         {{}, {1, 2}, {0, 3}}, kPastEnd},
        {"non-numeric y", curve("non_numeric_y.txt", 0, 3, 2, 1, 2), {{}, {1, 2}}, kNonNumeric},
        {"too large y", curve("too_large_y.txt", 0, 3, 2, 1, 2), {{}, {1, 2}}, kTooLarge},
    };
    // clang-format on
    // A tiny buffer puts items across refills; the default one holds whole lines.
    inEveryLane([&] {
        for (const auto &c : cases)
            for (std::size_t bufferSize : {std::size_t{3}, TextFile::kDefaultBufferSize}) {
                SCOPED_TRACE(std::string(c.name) + ", buffer " + std::to_string(bufferSize));
                TextFile file(bufferSize);
                Rows rows{{9, 9}}, delivered{{0, 0}};
                const Status status = readCurve(file, c.settings, rows, [&](int i, const Row &row) {
                    EXPECT_EQ(i, static_cast<int>(delivered.size()));
                    delivered.push_back(row);
                    return Status::success();
                });
                // On a failure the rows are not checked, only that they are not left empty.
                EXPECT_EQ(std::tuple(status.code(), status.message().empty(), file.isOpen(),
                                     rows.empty(), delivered, status.ok() ? rows : c.rows),
                          std::tuple(c.code, c.code == 0, false, false, c.rows, c.rows))
                    << status.message();
            }
    });
}

std::tuple<int, int, std::int64_t> counts(const FileMeasure &m) {
    return {m.lineCount, m.fieldsPerLine, m.fieldCount};
}

// `times` copies of `piece`.
std::string repeat(const std::string &piece, int times) {
    return std::regex_replace(std::string(times, '.'), std::regex("."), piece);
}

// text is the file content, or "@name" for a data file.
// clang-format off
const struct { const char *name; std::string text; int skip, code; FileMeasure want; } kCases[] = {
    {"12 fields on 3 lines", "1 2 3 4\n5 6 7 8\n9 10 11 12\n", 0, 0, {3, 4, 12}},
    {"7 on 3 rounds down", "1 2 3\n4 5\n6 7\n", 0, 0, {3, 2, 7}},
    {"5 on 2: half to even, down", "1 2 3\n4 5\n", 0, 0, {2, 2, 5}},
    {"7 on 2: half to even, up", "1 2 3 4\n5 6 7\n", 0, 0, {2, 4, 7}},
    {"LF, none after the last line", "h\n1 2\n3 4", 1, 0, {2, 2, 4}},
    {"CR after each line", "h\r1 2\r3 4\r", 1, 0, {2, 2, 4}},
    {"CR LF, none after the last line", "h\r\n1 2\r\n3 4", 1, 0, {2, 2, 4}},
    {"comma at the very end", "1,2,", 0, 0, {1, 3, 3}},
    {"trailing blank lines", "@trailing_blank_line.txt", 3, 0, {4, 6, 24}},
    {"blank line inside", "@mid_blank_line.txt", 0, 0, {3, 2, 5}},
    {"comment lines are no data lines", "@comments_and_gaps.txt", 0, 0, {5, 3, 15}},
    {"only comment lines after the header", "h\r\n# a\r\n\r\n  # b", 1, kPastEnd, {}},
    {"Shift-JIS header", "@shift_jis_header.txt", 2, 0, {2, 2, 4}},
    {"only blank lines after the header", "@blank_after_header.txt", 3, kPastEnd, {}},
    {"only a byte-order mark and blanks", "\xEF\xBB\xBF \r\n", 0, kPastEnd, {}},
    {"32767 lines, trailing blank lines", repeat("1\n", 32767) + "\n \n", 0, 0, {32767, 1, 32767}},
    {"32768 lines", repeat("1\r\n", 32768), 0, kTooLarge, {}},
    {"32768 fields on one line", repeat("1,", 32767) + "1", 0, kTooLarge, {1, 0, 32768}},
    // Lines of plain numbers are counted whole; anything else on a line is read field by field.
    {"plain numbers in every form", "1e5 2D3 +4\t-.5 5.  6E-2\r\n 7 8 9 10 11 12\r\n", 0, 0,
     {2, 6, 12}},
    {"lines that only look plain", "1-2 3\r\n1e 2\r\n. 4\r\n5 6,\r\n", 0, 0, {4, 2, 6}},
};
// clang-format on

// Each case with a buffer of one byte, which puts every item across refills, with the default
// one and read whole, in every lane. The fuzzer holds every file against the passes as separate
// reads.
TEST(MeasureFile, CountsAndFailuresInEveryLane) {
    TempDir dir;
    inEveryLane([&] {
        for (const auto &c : kCases) {
            SCOPED_TRACE(c.name);
            const std::string path =
                c.text.starts_with("@") ? data(c.text.substr(1)) : dir.write(c.name, c.text);
            TextFile tiny(1), normal, whole(TextFile::Reading::Whole);
            for (const auto &[file, how] :
                 {std::pair{&tiny, "tiny buffer"}, {&normal, "normal"}, {&whole, "whole"}}) {
                FileMeasure m;
                const Status status = measureFile(*file, path, c.skip, m);
                EXPECT_EQ(std::tuple(status.code(), file->isOpen(), counts(m)),
                          std::tuple(c.code, false, counts(c.want)))
                    << how << ": " << status.message();
            }
        }
    });
}

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
