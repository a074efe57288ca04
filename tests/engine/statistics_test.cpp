// The spread at each grid point with its confidence interval, the union and the chosen range
// and the statistics table, through the two commands as every front end runs them.
#include "engine/commands.h"
#include "engine/messages.h"
#include "engine/number_text.h"
#include "engine/student_t.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

namespace mergon {
namespace {

using Curve = Rows;

// Writes each curve in the start settings' shape (three header lines, x in field 5, y in
// field 6) and adds it as "Data File Open" does; then, with the files' rows replaced by
// `changed` where it has some, "write the mean" with `options`.
Status averageCurves(const TempDir &dir, const std::vector<Curve> &curves, const char *divisions,
                     const MeanOptions &options, MeanCurve &mean,
                     const std::vector<Curve> &changed = {}) {
    Session s;
    TextFile file;
    Rows rows;
    const auto write = [&dir](size_t i, const Curve &curve) {
        return dir.writeCurve("in" + std::to_string(i + 1) + ".txt", curve);
    };
    for (size_t i = 0; i < curves.size(); ++i) {
        takeNextSlot(s);
        if (Status status = addInputFile(s, file, write(i, curves[i]), {}, rows); !status.ok())
            return status;
    }
    for (size_t i = 0; i < changed.size(); ++i)
        write(i, changed[i]);
    return writeMean(s, file, dir.file("out.mrg"), divisions, mean, {}, options);
}

// Grid 0, 0.5, 1, 1.5, 2 over A, B and C; C stops at x 1 in the second case.
const Curve kA{{0, 1}, {1, 2}, {2, 3}}, kB{{0, 2}, {1, 4}, {2, 0}}, kC{{0, 3}, {1, 3}, {2, 6}},
    kShortC{{0, 3}, {1, 3}};

// Over the common, the union and a chosen range. The 95 % interval is t * se, t for n - 1
// degrees of freedom: cot(pi (1 - L) / 2) for one and L sqrt(2 / (1 - L^2)) for two, L the
// double nearest 0.95.
TEST(Statistics, WorkedOutByHand) {
    const double t[] = {NAN, NAN, 12.706204736174694, 4.302652729749463};
    const auto over = [](GridRange range, float from = 0, float to = 0) {
        return MeanOptions{range, true, {}, from, to, 0.95};
    };
    // At each grid x: x, mean, sd, se, n, min, max.
    using Points = std::vector<std::array<double, 7>>;
    const std::array<double, 7> at0{0, 2, 1, 0.5773502692, 3, 1, 3},
        at05{0.5, 2.5, 0.8660254038, 0.5, 3, 1.5, 3}, at1{1, 3, 1, 0.5773502692, 3, 2, 4},
        at15WithoutC{1.5, 2.25, 0.3535533906, 0.25, 2, 2, 2.5};
    // clang-format off
    const struct { const char *what; std::vector<Curve> curves; MeanOptions options;
                   const char *divisions; Points points; } cases[] = {
        {"three curves; x 0.5 and 1.5 interpolated", {kA, kB, kC}, over(GridRange::kCommon),
         "4", {at0, at05, at1, {1.5, 3, 1.3228756555, 0.7637626158, 3, 2, 4.5},
               {2, 3, 3, 1.7320508076, 3, 0, 6}}},
        {"C stops at x 1: beyond it two curves, divided by two", {kA, kB, kShortC},
         over(GridRange::kUnion), "4",
         {at0, at05, at1, at15WithoutC, {2, 1.5, 2.1213203436, 1.5, 2, 0, 3}}},
        {"a range across C's end", {kA, kB, kShortC}, over(GridRange::kChosen, 0.5f, 1.5f), "2",
         {at05, at1, at15WithoutC}},
        {"a range across a start and an end", {{{1, 5}, {2, 7}}, kB, kShortC},
         over(GridRange::kChosen, 0, 2), "2", {{0, 2.5, 0.7071067812, 0.5, 2, 2, 3},
          {1, 4, 1, 0.5773502692, 3, 3, 5}, {2, 3.5, 4.9497474683, 3.5, 2, 0, 7}}},
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        MeanCurve mean;
        ASSERT_TRUE(averageCurves(dir, c.curves, c.divisions, c.options, mean).ok());
        ASSERT_EQ(mean.statistics.size(), c.points.size());
        for (size_t j = 0; j < c.points.size(); ++j) {
            const auto &[x, y, sd, se, n, min, max] = c.points[j];
            const PointStatistics &p = mean.statistics[j];
            EXPECT_EQ(std::tuple(mean.x[j], mean.y[j], p.n, p.min, p.max),
                      std::tuple(static_cast<float>(x), y, static_cast<int>(n), min, max));
            // sd, se and the interval: within 1e-9 in all.
            EXPECT_LT(std::abs(p.sd - sd) + std::abs(p.se - se) + std::abs(p.ci - t[p.n] * se),
                      1e-9)
                << "x " << x << ": sd " << p.sd << ", se " << p.se << ", ci " << p.ci;
        }
    }
}

// Two-sided quantiles as statistics tables print them (3 decimals); 1e7 degrees of freedom
// stand for the table's infinity row.
TEST(Statistics, StudentTQuantilesMatchPublishedTables) {
    // clang-format off
    const struct { double level, degreesOfFreedom, t; } table[] = {
        {0.95, 1, 12.706}, {0.95, 2, 4.303}, {0.95, 4, 2.776}, {0.95, 10, 2.228}, {0.95, 30, 2.042},
        {0.95, 1e7, 1.960}, {0.99, 1, 63.657}, {0.99, 4, 4.604}, {0.99, 1e7, 2.576},
        {0.90, 1, 6.314}, {0.90, 4, 2.132}, {0.5, 1, 1.000}};
    // clang-format on
    for (const auto &row : table)
        EXPECT_NEAR(twoSidedStudentT(row.level, row.degreesOfFreedom), row.t, 5e-4)
            << row.level << " with " << row.degreesOfFreedom;
    for (const auto &[level, degreesOfFreedom] : {std::pair(0.0, 4.0), {1.0, 4.0}, {0.95, 0.0}})
        EXPECT_TRUE(std::isnan(twoSidedStudentT(level, degreesOfFreedom))) << level;
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

// Where two curves contribute, se is 1 and the interval mean -+ t for one degree of freedom:
// cot(pi (1 - L) / 2) = 12.706204736174694 for L the double nearest 0.95, just below it.
TEST(Statistics, TableBytesWithEmptySpreadWhereOneCurveContributes) {
    const std::string withInterval =
        "number,x,mean,sd,se,n,min,max,ci_low,ci_high\r\n"
        "1,0,2,1.4142135623730951,1,2,1,3,-10.706204736174694,14.706204736174694\r\n"
        "2,0.5,3,1.4142135623730951,1,2,2,4,-9.706204736174694,15.706204736174694\r\n"
        "3,1,4,1.4142135623730951,1,2,3,5,-8.706204736174694,16.706204736174694\r\n"
        "4,1.5,4,,,1,4,4,,\r\n"
        "5,2,5,,,1,5,5,,\r\n";
    for (const bool interval : {false, true}) {
        TempDir dir;
        MeanCurve mean;
        const MeanOptions options{GridRange::kUnion, false, dir.file("stats.csv"), 0, 0, 0.95,
                                  interval};
        ASSERT_TRUE(
            averageCurves(dir, {{{0, 1}, {1, 3}, {2, 5}}, {{0, 3}, {1, 5}}}, "4", options, mean)
                .ok());
        // Without the interval, each line loses its last two fields.
        EXPECT_EQ(readBytes(dir.file("stats.csv")),
                  interval
                      ? withInterval
                      : std::regex_replace(withInterval, std::regex(",[^,]*,[^,]*\r\n"), "\r\n"));
    }
}

// Rows 0.1 to 0.7 put the last grid x of 100 divisions just above 0.7, over the union and
// over the same range chosen, which writes the same output and table.
TEST(Statistics, TheLastPointCountsForEveryCurveReachingTheRangesEnd) {
    std::string written[2];
    for (const bool chosen : {false, true}) {
        TempDir dir;
        MeanCurve mean;
        const MeanOptions options{chosen ? GridRange::kChosen : GridRange::kUnion, true,
                                  dir.file("stats.csv"), 0.1f, 0.7f};
        ASSERT_TRUE(
            averageCurves(dir, {{{0.1, 1}, {0.7, 7}}, {{0.1, 2}, {0.4, 2}}}, "100", options, mean)
                .ok());
        ASSERT_GT(mean.x.back(), 0.7f);
        EXPECT_EQ(std::tuple(mean.statistics.back().n, mean.y.back()), std::tuple(1, 7.0));
        EXPECT_TRUE(std::isnan(mean.statistics.back().sd));
        written[chosen] = readBytes(dir.file("out.mrg")) + readBytes(dir.file("stats.csv"));
    }
    EXPECT_EQ(written[0], written[1]);
}

// Refusals, points no file covers, and values that fit a float when added but not when the mean
// is written: files that changed in between, to sums of 2e308 and spreads of 2.4e308.
TEST(Statistics, RefusalsAndFailuresLeaveNoTable) {
    TempDir dir;
    const std::string table = dir.file("stats.csv"), refused = statisticsOverwriteText(75);
    auto writingTo = [](const std::string &path, GridRange range = GridRange::kUnion) {
        return MeanOptions{range, false, path};
    };
    const Curve ones{{0, 1}, {0.75, 1}, {1, 1}};
    // The options, the curves, the failure's code and part of its message, and the files'
    // rows when the mean is written; 4 divisions. No output is written either.
    // clang-format off
    const struct { MeanOptions options; std::vector<Curve> curves; int code; std::string message;
                   std::vector<Curve> changed = {}; } cases[] = {
        {writingTo(dir.file("in2.txt")), {kA, kB}, kOutputFailed, refused},
        {writingTo(dir.file("./out.mrg")), {kA, kB}, kOutputFailed, refused},
        {writingTo(table), {kShortC, {{1.75, 0}, {2, 1}}}, kInvalidArgument,
         "No input file covers x = 1.5, so there is nothing to average there. (5)"},
        {{GridRange::kChosen, false, table, -1, 2}, {kA, kB}, kInvalidArgument,
         "No input file covers x = -1, so"},
        {{GridRange::kChosen, false, table, 0, 4}, {kA, kB}, kInvalidArgument,
         "No input file covers x = 3, so"},
        {writingTo(table, GridRange::kCommon), {ones, ones}, kTooLarge,
         "The mean at x = 0 is too large to be computed. (6)",
         {{{0, 1e308}, {0.75, 1}, {1, 1}}, {{0, 1e308}, {0.75, 1}, {1, 1}}}},
        {writingTo(table, GridRange::kCommon), {ones, ones}, kTooLarge,
         "The standard deviation at x = 1 is too large to be computed. (6)",
         {{{0, 1}, {0.75, 1}, {1, 1.7e308}}, {{0, 1}, {0.75, 1}, {1, -1.7e308}}}},
    };
    // clang-format on
    for (const auto &[options, curves, code, message, changed] : cases) {
        SCOPED_TRACE(options.statisticsPath + " " + message);
        MeanCurve mean;
        const Status status = averageCurves(dir, curves, "4", options, mean, changed);
        EXPECT_EQ(status.code(), code);
        EXPECT_NE(status.message().find(message), std::string::npos) << status.message();
        EXPECT_FALSE(std::filesystem::exists(table));
        EXPECT_FALSE(std::filesystem::exists(dir.file("out.mrg")));
    }
}

} // namespace
} // namespace mergon
