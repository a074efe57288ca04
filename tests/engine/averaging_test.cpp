#include "engine/averaging.h"
#include "engine/baseline_mean.h"
#include "engine/input_files.h"
#include "engine/number_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace mergon {
namespace {

namespace fs = std::filesystem;

struct TempDir {
    fs::path path = [] {
        std::string pattern = (fs::temp_directory_path() / "mergon-mean-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        return fs::path(pattern);
    }();
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    std::string file(const std::string &name) const { return (path / name).string(); }
};

std::string readBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeBytes(const std::string &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string shortest(double v) {
    char buffer[32];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, v).ptr);
}

// One input curve as the data file holds it, with the settings it is loaded with.
struct Curve {
    std::vector<Row> rows = {}; // field values, before coefficients
    SettingTexts settings = {}; // x in field 5, y in field 6, after 3 header lines
    bool commas = false;
};

// Writes the header lines, then rows of six fields, and loads the file into the next slot as
// "Data File Open" does.
void addCurve(Session &s, const std::string &path, const Curve &c) {
    std::string text;
    for (int i = std::stoi(c.settings.skipLines); i > 0; --i)
        text += "header line\r\n";
    const std::string sep = c.commas ? "," : " ";
    for (const Row &r : c.rows)
        text += "1" + sep + "0" + sep + "-1" + sep + "7.5" + sep + shortest(r.x) + sep +
                shortest(r.y) + "\r\n";
    writeBytes(path, text);
    const int k = ++s.fileCount;
    s.fileNames[k] = path;
    TextFile file;
    std::vector<Row> rows;
    ASSERT_TRUE(storeSettings(s, k, c.settings).ok()) << path;
    ASSERT_TRUE(measureAndRead(s, file, k, rows).ok()) << path;
}

using MeanFunction = Status (*)(TextFile &, Session &, MeanCurve &);

// The steps of "Write to File" after the output name is taken, without drawing.
Status writeMean(Session &s, const std::string &divisions, const std::string &output,
                 MeanCurve &curve, MeanFunction mean = computeMeanCurve) {
    TextFile file;
    Status status = probeOutput(file, output);
    if (status.ok()) {
        narrowCommonRange(s);
        status = prepareGrid(s, divisions);
    }
    if (status.ok())
        status = mean(file, s, curve);
    EXPECT_FALSE(file.isOpen());
    return status.ok() ? writeOutputFile(file, output, curve) : status;
}

TEST(AddCurveToGrid, ExactRowsInterpolationAndEnds) {
    const struct {
        const char *name;
        std::vector<Row> rows; // rows[0] is entry 0
        std::vector<float> gridX;
        std::vector<double> expected, startY = {}; // sums after this file, and before it
    } cases[] = {
        // clang-format off
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
        {"the float just above 0.7 beyond the last row 0.7",
         {{}, {0.1, 1}, {0.7, 7}}, {0x1.666668p-1f}, {7}},
        {"sum, then the slope term, then the y before: (1e16 + 1) + 1 stays 1e16",
         {{}, {0, 1}, {2, 3}}, {1}, {1e16}, {1e16}},
        {"a file with no data row adds nothing", {{}}, {0, 1}, {4, 5}, {4, 5}},
        // clang-format on
    };
    for (const auto &c : cases) {
        std::vector<double> gridY = c.startY;
        gridY.resize(c.gridX.size(), 0.0);
        addCurveToGrid(c.rows, c.gridX, gridY);
        EXPECT_EQ(gridY, c.expected) << c.name;
    }
}

TEST(PrepareGrid, DivisionCountTextAndCommonRange) {
    const struct {
        const char *text;
        int divisions; // when `code` is 0
        int code;
    } cases[] = {
        // clang-format off
        {"2.5", 2, 0}, {"3.5", 4, 0}, {"  7 divisions", 7, 0}, {"1", 1, 0}, {"32767", 32767, 0},
        {"0", 0, kInvalidArgument}, {"-3", 0, kInvalidArgument}, {"abc", 0, kInvalidArgument},
        {"40000", 0, kTooLarge}, {"32767.5", 0, kTooLarge}, {"-40000", 0, kTooLarge},
        {"1e99", 0, kTooLarge},
        // clang-format on
    };
    for (const auto &c : cases) {
        Session s;
        s.commonXMin = 0;
        s.commonXMax = 10;
        s.divisionCount = 9;
        s.xStep = 0.25f;
        Status status = prepareGrid(s, c.text);
        EXPECT_EQ(status.code(), c.code) << "'" << c.text << "': " << status.message();
        EXPECT_TRUE(status.ok() || !status.message().empty()) << c.text;
        // Nothing is set on a failure.
        EXPECT_EQ(s.divisionCount, status.ok() ? c.divisions : 9) << c.text;
        EXPECT_EQ(s.xStep, status.ok() ? static_cast<float>(10.0 / c.divisions) : 0.25f) << c.text;
    }
    Session s; // no x in common, then one x in common: every grid point on it
    s.commonXMin = 2;
    s.commonXMax = 1.9999999f;
    EXPECT_EQ(prepareGrid(s, "100").code(), kInvalidArgument) << "x 2 to 1.9999999";
    s.commonXMax = 2;
    ASSERT_TRUE(prepareGrid(s, "3").ok());
    EXPECT_EQ(makeGridX(s.commonXMin, s.xStep, s.divisionCount), std::vector<float>(4, 2.0f));
}

TEST(NarrowCommonRange, StopsAtTheStartValuesAndOnlyShrinks) {
    Session s;
    s.fileCount = 2;
    const float limits[][4] = {{-2e6f, 2e6f, -3e6f, 3e6f}, {0, 10, 2, 8}, {0, 10, -20, 20}};
    const float expected[][2] = {{-999999, 999999}, {2, 8}, {2, 8}};
    for (int i = 0; i < 3; ++i) {
        s.fileXMin[1] = limits[i][0];
        s.fileXMax[1] = limits[i][1];
        s.fileXMin[2] = limits[i][2];
        s.fileXMax[2] = limits[i][3];
        narrowCommonRange(s);
        EXPECT_EQ(s.commonXMin, expected[i][0]) << "step " << i;
        EXPECT_EQ(s.commonXMax, expected[i][1]) << "step " << i;
    }
}

TEST(MakeGridX, ProductRoundedThenSumRounded) {
    // Rounding 2 + 0.06f * 11 once would give 0x1.547ae2p+1.
    EXPECT_EQ(makeGridX(2, 0.06f, 100).at(11), 0x1.547aep+1f);
    EXPECT_EQ(makeGridX(0.1f, 0.1f, 6).at(6), 0x1.666668p-1f); // 0.70000005, beyond 0.7
}

TEST(OutputFile, OpenFailuresGiveTheirCodesAndNameTheFile) {
    TempDir dir;
    fs::create_directory(dir.file("a folder"));
    const MeanCurve curve{{0, 1}, {2, 3}};
    const struct {
        std::string path;
        int code;
    } cases[] = {{dir.file("no such folder/out.txt"), kPathNotFound},
                 {dir.file("a folder"), kOutputFailed}};
    for (const auto &c : cases) {
        TextFile file;
        EXPECT_EQ(probeOutput(file, c.path).code(), c.code) << c.path;
        EXPECT_FALSE(file.isOpen()) << c.path;
        Status status = writeOutputFile(file, c.path, curve);
        EXPECT_EQ(status.code(), c.code) << c.path;
        EXPECT_NE(status.message().find(c.path), std::string::npos) << status.message();
        EXPECT_FALSE(file.isOpen()) << c.path;
    }
}

// The weighted file's y counts twice, and the sum is divided by the file count, not the weights.
TEST(WriteMean, HundredDivisionsOverTheCommonRangeTwice) {
    TempDir dir;
    Session s;
    Curve wide{.settings = {.xCoefficient = "2", .yCoefficient = "2"}};
    Curve narrow{.settings = {.yWeight = "2"}};
    for (int k = 0; k <= 5; ++k)
        wide.rows.push_back({1.0 * k, 4.0 * k}); // x 0 to 10, y2 = 4x
    for (int x = 2; x <= 8; ++x)
        narrow.rows.push_back({1.0 * x, 1.0 * x}); // y1 = x
    addCurve(s, dir.file("wide.txt"), wide);
    addCurve(s, dir.file("narrow.txt"), narrow);
    MeanCurve curve;
    const std::string out = dir.file("out.txt");
    ASSERT_TRUE(writeMean(s, "100", out, curve).ok());
    EXPECT_EQ(s.xStep, 0.06f);
    EXPECT_EQ(s.chosenFileName, dir.file("narrow.txt"));
    for (size_t j = 0; j < curve.x.size(); ++j)
        EXPECT_NEAR(curve.y[j], 3.0 * curve.x[j], 1e-12) << "x " << curve.x[j]; // (2y1 + y2) / 2
    const std::string bytes = readBytes(out);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 102); // the header and 101 lines
    EXPECT_EQ(bytes.find("\r\n 1             2             6 \r\n"), kOutputHeader.size());
    EXPECT_TRUE(bytes.ends_with("\r\n 101           8             24 \r\n")) << bytes;
    ASSERT_TRUE(writeMean(s, "100", out, curve).ok());
    EXPECT_EQ(readBytes(out), bytes) << "a second run over the same files";
}

// A read failure or an overflowing mean leaves the output file holding only the test line.
TEST(WriteMean, FailuresAfterTheProbe) {
    const struct {
        const char *name;
        double y;          // every y of the second file
        const char *bytes; // written over it after it is measured
        int code;
    } cases[] = {{"input file shrunk", 1, "1 2 3 4 0 6\r\n", kPastEnd},
                 {"mean beyond the double range", 1e308, nullptr, kTooLarge}};
    for (const auto &c : cases) {
        TempDir dir;
        Session s;
        const std::string second = dir.file("b.txt"), out = dir.file("out.txt");
        addCurve(s, dir.file("a.txt"), {.rows = {{0, 1e308}, {1, 1e308}, {2, 1e308}}});
        addCurve(s, second,
                 {.rows = {{0, c.y}, {1, c.y}, {2, c.y}}, .settings = {.skipLines = "0"}});
        if (c.bytes)
            writeBytes(second, c.bytes);
        writeBytes(out, "old content that is longer than the test line\r\n");
        MeanCurve curve;
        Status status = writeMean(s, "4", out, curve);
        EXPECT_EQ(status.code(), c.code) << c.name << ": " << status.message();
        EXPECT_FALSE(status.message().empty()) << c.name;
        if (c.bytes) {
            EXPECT_NE(status.message().find(second), std::string::npos) << status.message();
        }
        EXPECT_EQ(readBytes(out), "Test output\r\n") << c.name;
    }
}

TEST(WriteMean, MatchesTheGoldenFile) {
    TempDir dir;
    Session s;
    // Dyadic values, so that every mean is exact and can be checked by hand.
    addCurve(s, dir.file("a.txt"),
             {.rows = {{-1, 2}, {0, -0.5}, {1, -0.5}, {2, 0x1p-15}, {3, 0x1p70}, {4, 1}}});
    addCurve(s, dir.file("b.txt"),
             {.rows = {{-2, 4}, {-1, 1}, {0, 0}, {1, 1}, {2, 0}, {3, 9}, {4, 16}, {5, 25}},
              .settings = {.skipLines = "0"},
              .commas = true});
    MeanCurve curve;
    ASSERT_TRUE(writeMean(s, "10", dir.file("out.txt"), curve).ok());
    const std::string golden = std::string(MERGON_TEST_DATA) + "/golden/mean_of_two_curves.txt";
    EXPECT_EQ(readBytes(dir.file("out.txt")), readBytes(golden)) << "compared with " << golden;
}

TEST(MeanCurveEquivalence, FastWayEqualsTheReferenceWayOnRandomInputs) {
    std::mt19937 random(20240607);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    auto real = [&](double hi) { return std::uniform_real_distribution<double>(-hi, hi)(random); };
    const char *coefficients[] = {"1", "1", "2", "0.5", "0.1", "-1", "3.7"};
    for (int run = 0; run < 200; ++run) {
        TempDir dir;
        Session s;
        const int files = pick(2, 5);
        for (int i = 1; i <= files; ++i) {
            Curve c{.settings = {.skipLines = std::to_string(pick(0, 3))},
                    .commas = pick(0, 1) == 1};
            for (std::string *setting :
                 {&c.settings.xCoefficient, &c.settings.yCoefficient, &c.settings.yWeight})
                *setting = coefficients[pick(0, 6)];
            // Every file covers x -0.3 to 0.3 before its coefficient, so all runs share a range.
            // Ascending by 0.1, 0.25 or random steps, with some repeated x.
            const int style = pick(0, 2);
            double x = -pick(3, 10) * 0.1;
            while (c.rows.size() < 2 || c.rows.back().x <= 0.3 ||
                   (pick(0, 3) != 0 && c.rows.size() < 40)) {
                c.rows.push_back({x, pick(0, 5) == 0 ? pick(-3, 3) : real(100)});
                if (pick(0, 6) != 0)
                    x += style == 0 ? 0.1 : style == 1 ? 0.25 : std::abs(real(0.5));
            }
            // Some files out of order: a few swapped rows.
            const int last = static_cast<int>(c.rows.size()) - 1;
            for (int swaps = pick(0, 2) == 0 ? pick(1, 4) : 0; swaps > 0; --swaps)
                std::swap(c.rows[static_cast<size_t>(pick(0, last))],
                          c.rows[static_cast<size_t>(pick(0, last))]);
            addCurve(s, dir.file("in" + std::to_string(i) + ".txt"), c);
        }
        const std::string divisions = std::to_string(pick(1, 40));
        const std::string context = "run " + std::to_string(run) + ", " + divisions + " divisions";
        Session reference = s;
        MeanCurve fast, slow;
        Status fastStatus = writeMean(s, divisions, dir.file("fast.txt"), fast);
        Status slowStatus =
            writeMean(reference, divisions, dir.file("slow.txt"), slow, baselineMeanCurve);
        ASSERT_TRUE(fastStatus.ok() && slowStatus.ok())
            << context << ": " << fastStatus.message() << slowStatus.message();
        ASSERT_EQ(readBytes(dir.file("fast.txt")), readBytes(dir.file("slow.txt"))) << context;
        ASSERT_EQ(fast.y, slow.y) << context;
        EXPECT_EQ(s.chosenFileName, reference.chosenFileName) << context;
    }
}

} // namespace
} // namespace mergon
