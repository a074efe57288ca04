// The spread at each grid point, the union range and the statistics table, through the two
// commands as every front end runs them.
#include "engine/commands.h"
#include "engine/messages.h"
#include "engine/number_text.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace mergon {
namespace {

std::string readBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

using Curve = std::vector<Row>;

// Writes each curve in the start settings' shape (three header lines, x in field 5, y in
// field 6) and adds it as "Data File Open" does; then "write the mean" with `options`.
Status averageCurves(const TempDir &dir, const std::vector<Curve> &curves, const char *divisions,
                     const MeanOptions &options, MeanCurve &mean) {
    Session s;
    TextFile file;
    std::vector<Row> rows;
    for (size_t i = 0; i < curves.size(); ++i) {
        std::ostringstream text;
        text.precision(17);
        text << "h\r\nh\r\nh\r\n";
        for (const Row &row : curves[i])
            text << "1 0 0 0 " << row.x << ' ' << row.y << "\r\n";
        const std::string path = dir.write("in" + std::to_string(i + 1) + ".txt", text.str());
        takeNextSlot(s);
        if (Status status = addInputFile(s, file, path, {}, rows); !status.ok())
            return status;
    }
    return writeMean(s, file, dir.file("out.mrg"), divisions, mean, {}, options);
}

// Grid 0, 0.5, 1, 1.5, 2 over A, B and C; C stops at x 1 in the second case.
const Curve kA{{0, 1}, {1, 2}, {2, 3}}, kB{{0, 2}, {1, 4}, {2, 0}}, kC{{0, 3}, {1, 3}, {2, 6}},
    kShortC{{0, 3}, {1, 3}};

TEST(Statistics, WorkedOutByHandOverTheCommonAndTheUnionRange) {
    // At x 0, 0.5, 1, 1.5, 2: mean, sd, se, n, min, max; both cases share the first three.
    using Points = std::vector<std::array<double, 6>>;
    // clang-format off
    const Points head{{2, 1, 0.5773502692, 3, 1, 3}, {2.5, 0.8660254038, 0.5, 3, 1.5, 3},
                      {3, 1, 0.5773502692, 3, 2, 4}};
    const struct { const char *what; std::vector<Curve> curves; GridRange range; Points tail; }
        cases[] = {
        {"three curves; x 0.5 and 1.5 interpolated", {kA, kB, kC}, GridRange::kCommon,
         {{3, 1.3228756555, 0.7637626158, 3, 2, 4.5}, {3, 3, 1.7320508076, 3, 0, 6}}},
        {"C stops at x 1: beyond it two curves, divided by two", {kA, kB, kShortC},
         GridRange::kUnion, {{2.25, 0.3535533906, 0.25, 2, 2, 2.5}, {1.5, 2.1213203436, 1.5, 2, 0, 3}}},
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        MeanCurve mean;
        ASSERT_TRUE(averageCurves(dir, c.curves, "4", {c.range, true, {}}, mean).ok());
        ASSERT_EQ(mean.statistics.size(), 5u);
        for (size_t j = 0; j < 5; ++j) {
            const auto &want = j < 3 ? head[j] : c.tail[j - 3];
            const PointStatistics &got = mean.statistics[j];
            SCOPED_TRACE("x " + std::to_string(mean.x[j]));
            EXPECT_EQ(std::tuple(mean.x[j], mean.y[j], got.n, got.min, got.max),
                      std::tuple(0.5f * static_cast<float>(j), want[0], static_cast<int>(want[3]),
                                 want[4], want[5]));
            EXPECT_NEAR(got.sd, want[1], 1e-9);
            EXPECT_NEAR(got.se, want[2], 1e-9);
        }
    }
}

// Ten values 1e8 + k / 1024, exact in double: a sum of squares near 1e17 has no digit left of
// their spread of about 1e-3.
TEST(Statistics, StableForCloseValuesFarFromZero) {
    RunningStatistics running;
    for (int k = 0; k < 10; ++k)
        running.add(1e8 + k * 0x1p-10);
    const PointStatistics point = running.result();
    EXPECT_NEAR(point.sd, 0x1p-10 * std::sqrt(82.5 / 9), 1e-15); // sample variance of 0..9
    EXPECT_EQ(std::tuple(point.n, point.min, point.max), std::tuple(10, 1e8, 1e8 + 9 * 0x1p-10));
}

TEST(Statistics, TableBytesWithEmptySpreadWhereOneCurveContributes) {
    TempDir dir;
    MeanCurve mean;
    const MeanOptions options{GridRange::kUnion, false, dir.file("stats.csv")};
    ASSERT_TRUE(
        averageCurves(dir, {{{0, 1}, {1, 3}, {2, 5}}, {{0, 3}, {1, 5}}}, "4", options, mean).ok());
    EXPECT_EQ(readBytes(dir.file("stats.csv")), "number,x,mean,sd,se,n,min,max\r\n"
                                                "1,0,2,1.4142135623730951,1,2,1,3\r\n"
                                                "2,0.5,3,1.4142135623730951,1,2,2,4\r\n"
                                                "3,1,4,1.4142135623730951,1,2,3,5\r\n"
                                                "4,1.5,4,,,1,4,4\r\n"
                                                "5,2,5,,,1,5,5\r\n");
}

// Rows 0.1 to 0.7 put the last grid x of 100 divisions just above 0.7.
TEST(Statistics, TheUnionsLastPointCountsForEveryCurveEndingThere) {
    TempDir dir;
    MeanCurve mean;
    ASSERT_TRUE(averageCurves(dir, {{{0.1, 1}, {0.7, 7}}, {{0.1, 2}, {0.4, 2}}}, "100",
                              {GridRange::kUnion, true, {}}, mean)
                    .ok());
    ASSERT_GT(mean.x.back(), 0.7f);
    EXPECT_EQ(std::tuple(mean.statistics.back().n, mean.y.back()), std::tuple(1, 7.0));
    EXPECT_TRUE(std::isnan(mean.statistics.back().sd));
}

TEST(Statistics, RefusalsAndFailuresLeaveNoTable) {
    TempDir dir;
    const std::string table = dir.file("stats.csv"), refused = statisticsOverwriteText(75);
    // The statistics path, the curves, the failure's code and part of its message, and
    // whether the output file was written.
    // clang-format off
    const std::tuple<std::string, std::vector<Curve>, int, std::string, bool> cases[] = {
        {dir.file("in2.txt"), {kA, kB}, kOutputFailed, refused, false},
        {dir.file("./out.mrg"), {kA, kB}, kOutputFailed, refused, false},
        {table, {kShortC, {{1.75, 0}, {2, 1}}}, kInvalidArgument,
         "No input file covers x = 1.5, so there is nothing to average there. (5)", false},
        {dir.file("none/stats.csv"), {kA, kB}, kPathNotFound, "none/stats.csv", true},
    };
    // clang-format on
    for (const auto &[path, curves, code, message, outputWritten] : cases) {
        SCOPED_TRACE(path);
        std::filesystem::remove(dir.file("out.mrg"));
        MeanCurve mean;
        const Status status =
            averageCurves(dir, curves, "4", {GridRange::kUnion, false, path}, mean);
        EXPECT_EQ(status.code(), code);
        EXPECT_NE(status.message().find(message), std::string::npos) << status.message();
        EXPECT_FALSE(std::filesystem::exists(table));
        EXPECT_EQ(readBytes(dir.file("out.mrg")).starts_with(kOutputHeader), outputWritten);
    }
}

// What a file adds to the sum, taken alone: the same rows, the same ends, on random curves.
TEST(Statistics, EachValueIsWhatTheCurveAddsToTheMean) {
    std::mt19937 random(1405);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    for (int run = 0; run < 200; ++run) {
        Curve rows(1); // entry 0
        for (int k = pick(1, 12); k > 0; --k)
            rows.push_back(
                {pick(-20, 20) * 0.25, std::uniform_real_distribution(-1e3, 1e3)(random)});
        std::vector<float> gridX;
        for (float x = -6; x <= 6; x += 0.375f * static_cast<float>(pick(1, 3)))
            gridX.push_back(x);
        std::vector<double> sum(gridX.size(), 0.0);
        addCurveToGrid(rows, gridX, sum);
        EXPECT_EQ(curveValuesOnGrid(rows, gridX), sum) << "run " << run;
    }
}

} // namespace
} // namespace mergon
