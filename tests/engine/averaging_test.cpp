// The grid, the mean and the output file, through the commands every front end runs.
#include "engine/commands.h"
#include "engine/number_text.h"
#include "reference/baseline_mean.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>

#include <algorithm>
#include <array>
#include <cfloat>
#include <filesystem>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace mergon {
namespace {

// Writes the rows (field values, before coefficients) after the header lines and adds the file
// as "Data File Open" does.
void addCurve(Session &s, const TempDir &dir, const std::string &name, const Rows &rows,
              const SettingTexts &settings = {}) {
    TextFile file;
    Rows read;
    takeNextSlot(s);
    const std::string path = dir.writeCurve(name, rows, std::stoi(settings.skipLines));
    ASSERT_TRUE(addInputFile(s, file, path, settings, read).ok()) << path;
}

TEST(AddCurveToGrid, ExactRowsInterpolationAndEnds) {
    // Each case: name, rows (rows[0] is entry 0), grid x, and the sums after this file.
    // clang-format off
    const std::tuple<const char *, Rows, std::vector<float>, std::vector<double>>
        cases[] = {
        {"rows on and between grid points", {{}, {0, 0}, {1, 10}, {2, 40}, {3, 90}},
         {0, 0.5f, 1, 1.5f, 2, 2.5f, 3}, {0, 5, 10, 25, 40, 65, 90}},
        {"repeated x: the first row on the point, the last one before it",
         {{}, {1, 5}, {2, 6}, {2, 7}, {3, 8}}, {1, 1.5f, 2, 2.5f, 3}, {5, 5.5, 6, 7.5, 8}},
        {"rows out of order: the first row at or beyond decides",
         {{}, {1, 10}, {3, 30}, {2, 20}}, {1, 2, 2.5f, 3}, {10, 20, 25, 30}},
        {"grid x before row 1 takes row 1's y, not a line from (0, 0)",
         {{}, {0.7, 5}, {1, 6}}, {0.5f, 0.7f}, {5, 5}},
        {"grid x beyond every row takes the largest x, the last one on ties",
         {{}, {1, 10}, {3, 30}, {3, 31}, {2, 20}}, {3, 4}, {30, 31}},
    };
    // clang-format on
    for (const auto &[name, rows, gridX, expected] : cases) {
        std::vector<double> gridY(gridX.size(), 0.0);
        addCurveToGrid(rows, gridX, gridY);
        EXPECT_EQ(gridY, expected) << name;
    }
}

// The failures' texts and codes are in the table of bad inputs; here, what is set.
TEST(PrepareGrid, DivisionCountTextAndCommonRange) {
    // divisions and step are set when `code` is 0; the step is the range over the count, as a
    // float: 10 / 7 is 1.42857142..., 10 / 32767 is 0.000305185...
    // clang-format off
    const struct { const char *text; int divisions; float step; int code;
                   float commonXMin = 0, commonXMax = 10; } cases[] = {
        {"2.5", 2, 5, 0}, {"3.5", 4, 2.5f, 0}, {"  7 divisions", 7, 0x1.6db6dcp+0f, 0},
        {"32767", 32767, 0x1.40028p-12f, 0}, {"0", 0, 0, kInvalidArgument},
        {"40000", 0, 0, kTooLarge}, {"1", 1, 0, 0, 0, 0},
        {"100", 0, 0, kInvalidArgument, 0, -0x1p-149f}, // no x in common
        // The whole float range in one step; in two, whose last grid x is beyond it.
        {"1", 1, FLT_MAX, 0, -FLT_MAX, 0}, {"1", 0, 0, kTooLarge, -FLT_MAX, FLT_MAX},
        {"2", 0, 0, kTooLarge, -FLT_MAX, FLT_MAX},
    };
    // clang-format on
    for (const auto &c : cases) {
        Session s;
        s.curves.resize(2);
        std::tie(s.commonXMin, s.commonXMax, s.divisionCount, s.xStep) =
            std::tuple(c.commonXMin, c.commonXMax, int32_t{9}, 0.25f);
        const Status status = prepareGrid(s, c.text);
        // Nothing is set on a failure, and a failure says why.
        const bool ok = c.code == 0;
        EXPECT_EQ(std::tuple(status.code(), status.message().empty(), s.divisionCount, s.xStep),
                  std::tuple(c.code, ok, ok ? c.divisions : 9, ok ? c.step : 0.25f))
            << "'" << c.text << "' over " << c.commonXMin << " to " << c.commonXMax << ": "
            << status.message();
    }
}

// The weighted file's y counts twice, and the sum is divided by the file count, not the weights.
TEST(WriteMean, HundredDivisionsOverTheCommonRangeTwice) {
    TempDir dir;
    Session s;
    // x 0 to 10 with y2 = 4x; x 2 to 8 with y1 = x.
    addCurve(s, dir, "wide.txt", {{0, 0}, {1, 4}, {2, 8}, {3, 12}, {4, 16}, {5, 20}},
             {.xCoefficient = "2", .yCoefficient = "2"});
    addCurve(s, dir, "narrow.txt", {{2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}, {7, 7}, {8, 8}},
             {.yWeight = "2"});
    TextFile file;
    MeanCurve curve;
    const std::string out = dir.file("out.txt");
    ASSERT_TRUE(writeMean(s, file, out, "100", curve).ok());
    // Product rounded, then sum rounded: 2 + 0.06f * 11 rounded once gives 0x1.547ae2p+1.
    EXPECT_EQ(std::tuple(s.xStep, curve.x.at(11), s.chosenFileName),
              std::tuple(0.06f, 0x1.547aep+1f, dir.file("narrow.txt")));
    for (size_t j = 0; j < curve.x.size(); ++j)
        EXPECT_NEAR(curve.y[j], 3.0 * curve.x[j], 1e-12) << "x " << curve.x[j]; // (2y1 + y2) / 2
    const std::string bytes = readBytes(out);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 102); // the header and 101 lines
    EXPECT_EQ(bytes.find("\r\n 1             2             6 \r\n"), kOutputHeader.size());
    EXPECT_TRUE(bytes.ends_with("\r\n 101           8             24 \r\n")) << bytes;
    ASSERT_TRUE(writeMean(s, file, out, "100", curve).ok());
    EXPECT_EQ(readBytes(out), bytes) << "a second run over the same files";
    // A read failure leaves the output file as it was.
    dir.write("narrow.txt", "1 2 3 4 0 6\r\n"); // shrunk after it was measured
    EXPECT_EQ(writeMean(s, file, out, "100", curve).code(), kPastEnd);
    EXPECT_EQ(readBytes(out), bytes);
}

TEST(WriteMean, MatchesTheGoldenFile) {
    TempDir dir;
    Session s;
    // Dyadic values, so that every mean is exact and can be checked by hand.
    addCurve(s, dir, "a", {{-1, 2}, {0, -0.5}, {1, -0.5}, {2, 0x1p-15}, {3, 0x1p70}, {4, 1}});
    addCurve(s, dir, "b", {{-2, 4}, {-1, 1}, {0, 0}, {1, 1}, {2, 0}, {3, 9}, {4, 16}, {5, 25}},
             {.skipLines = "0"});
    TextFile file;
    MeanCurve curve;
    ASSERT_TRUE(writeMean(s, file, dir.file("out.txt"), "10", curve).ok());
    // gtest shows the difference line by line.
    EXPECT_EQ(readBytes(dir.file("out.txt")),
              readBytes(std::string(MERGON_TEST_DATA) + "/golden/mean_of_two_curves.txt"));
}

// The table cannot be written whole (a file size limit stands in for a full disk): the command
// fails with its code and the output's name, the earlier output stays and no new file is left.
TEST(WriteMean, ATableThatCannotBeWrittenWholeChangesNoFile) {
    TempDir dir;
    Session s;
    addCurve(s, dir, "a", {{0, 0}, {1, 1}});
    addCurve(s, dir, "b", {{0, 1}, {1, 2}});
    const std::string out = dir.write("out.mrg", "an earlier result\r\n");
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto savedSignal = std::signal(SIGXFSZ, SIG_IGN); // the write fails instead
    const rlimit limited{64 * 1024, saved.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    TextFile file;
    MeanCurve curve;
    const Status status = writeMean(s, file, out, "32767", curve); // about 1.5 MB
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedSignal);
    EXPECT_EQ(
        std::tuple(status.code(), status.message(), status.subject(), file.isOpen()),
        std::tuple(kOutputFailed, "Cannot write " + out + ": File too large (75)", out, false));
    EXPECT_EQ(readBytes(out), "an earlier result\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.root), {}), 3);
}

TEST(MeanCurveEquivalence, FastWayEqualsTheReferenceWayOnRandomInputs) {
    std::mt19937 random(20240607);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    auto real = [&](double hi) { return std::uniform_real_distribution<double>(-hi, hi)(random); };
    auto factor = [&] { return std::array{"1", "1", "2", "0.5", "0.1", "-1", "3.7"}[pick(0, 6)]; };
    for (int run = 0; run < 60; ++run) {
        TempDir dir;
        Session s;
        for (int i = 1, files = pick(2, 5); i <= files; ++i) {
            // clang-format off
            const SettingTexts settings{.xCoefficient = factor(), .yCoefficient = factor(),
                .yWeight = factor(), .skipLines = std::to_string(pick(0, 3))};
            // clang-format on
            Rows rows;
            // Every file covers x -0.3 to 0.3 before its coefficient, so all runs share a range.
            // Ascending by 0.1, 0.25 or random steps, with some repeated x.
            const double step = std::array{0.1, 0.25, 0.0}[pick(0, 2)];
            double x = -pick(3, 10) * 0.1;
            while (rows.size() < 2 || rows.back().x <= 0.3 ||
                   (pick(0, 3) != 0 && rows.size() < 40)) {
                rows.push_back({x, pick(0, 5) == 0 ? pick(-3, 3) : real(100)});
                x += pick(0, 6) == 0 ? 0 : step > 0 ? step : std::abs(real(0.5));
            }
            // Some files out of order: a few swapped rows.
            const int last = static_cast<int>(rows.size()) - 1;
            for (int swaps = pick(0, 2) == 0 ? pick(1, 4) : 0; swaps > 0; --swaps)
                std::iter_swap(rows.begin() + pick(0, last), rows.begin() + pick(0, last));
            addCurve(s, dir, "in" + std::to_string(i) + ".txt", rows, settings);
        }
        const std::string divisions = std::to_string(pick(1, 40));
        SCOPED_TRACE("run " + std::to_string(run) + ", " + divisions + " divisions");
        TextFile file;
        MeanCurve fast, slow;
        Session base = s;
        ASSERT_TRUE(writeMean(s, file, dir.file("fast.txt"), divisions, fast).ok());
        ASSERT_TRUE(writeMean(base, file, dir.file("slow.txt"), divisions, slow, {}, {},
                              {nullptr, baselineMeanCurve})
                        .ok());
        ASSERT_EQ(std::tuple(fast.x, fast.y, s.chosenFileName),
                  std::tuple(slow.x, slow.y, base.chosenFileName));
    }
}

} // namespace
} // namespace mergon
