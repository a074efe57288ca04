#include "engine/averaging.h"
#include "engine/baseline_mean.h"
#include "engine/number_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace mergon {
namespace {

namespace fs = std::filesystem;

class TempDir {
  public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "mergon-mean-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(path_, ignored);
    }
    std::string file(const std::string &name) const { return (path_ / name).string(); }

  private:
    fs::path path_;
};

std::string readBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeBytes(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string shortest(double v) {
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, result.ptr);
}

// One input curve as the data file holds it, with the settings it is added with.
struct Curve {
    std::vector<Row> rows; // field values, before coefficients
    int skipLines = 3;
    float xCoefficient = 1, yCoefficient = 1, yWeight = 1;
    bool commas = false;
};

// Header lines, then rows of six fields with x in field 5 and y in field 6.
void writeCurve(const std::string &path, const Curve &c) {
    std::string text;
    for (int i = 0; i < c.skipLines; ++i)
        text += "header line " + std::to_string(i + 1) + "\r\n";
    const char *sep = c.commas ? "," : " ";
    for (size_t i = 0; i < c.rows.size(); ++i)
        text += std::to_string(i) + sep + "0" + sep + "-1" + sep + "7.5" + sep +
                shortest(c.rows[i].x) + sep + shortest(c.rows[i].y) + "\r\n";
    writeBytes(path, text);
}

// Writes the curve and puts it into the next slot, measured as "Data File Open" does.
void addCurve(Session &s, const std::string &path, const Curve &c) {
    writeCurve(path, c);
    const int k = ++s.fileCount;
    s.fileNames[k] = path;
    s.xColumn[k] = 5;
    s.yColumn[k] = 6;
    s.skipLines[k] = static_cast<int16_t>(c.skipLines);
    s.lineCount[k] = static_cast<int16_t>(c.rows.size());
    s.fieldsPerLine[k] = 6;
    s.xCoefficient[k] = c.xCoefficient;
    s.yCoefficient[k] = c.yCoefficient;
    s.yWeight[k] = c.yWeight;
    for (const Row &r : c.rows) {
        float x = static_cast<float>(r.x * static_cast<double>(c.xCoefficient));
        s.fileXMin[k] = std::min(s.fileXMin[k], x);
        s.fileXMax[k] = std::max(s.fileXMax[k], x);
    }
}

Curve rowsOf(std::initializer_list<Row> rows) {
    Curve c;
    c.rows = rows;
    return c;
}

using MeanFunction = Status (*)(TextFile &, Session &, MeanCurve &);

// The steps of "Write to File" after the output name is taken, without drawing.
Status writeMean(Session &s, const std::string &divisions, const std::string &output,
                 MeanCurve &curve, MeanFunction mean = computeMeanCurve) {
    TextFile file;
    s.outputFileName = output;
    Status status = probeOutput(file, output);
    if (!status.ok())
        return status;
    narrowCommonRange(s);
    status = prepareGrid(s, divisions);
    if (!status.ok())
        return status;
    status = mean(file, s, curve);
    if (!status.ok())
        return status;
    EXPECT_FALSE(file.isOpen());
    return writeOutputFile(file, output, curve);
}

std::vector<std::string> linesOf(const std::string &bytes) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(bytes.substr(start, end - start));
    EXPECT_EQ(start, bytes.size()) << "the last line must end with CR LF";
    return lines;
}

// ---- the sweep over one file's rows ----------------------------------------------------

struct SweepCase {
    const char *name;
    std::vector<Row> rows; // rows[0] is entry 0
    std::vector<float> gridX;
    std::vector<double> startY; // sums before this file
    std::vector<double> expected;
};

TEST(AddCurveToGrid, ExactRowsInterpolationAndEnds) {
    const SweepCase cases[] = {
        {"rows on and between grid points",
         {{}, {0, 0}, {1, 10}, {2, 40}, {3, 90}},
         {0, 0.5f, 1, 1.5f, 2, 2.5f, 3},
         {},
         {0, 5, 10, 25, 40, 65, 90}},
        {"repeated x: the first row on the point, the last one before it",
         {{}, {1, 5}, {2, 6}, {2, 7}, {3, 8}},
         {1, 1.5f, 2, 2.5f, 3},
         {},
         {5, 5.5, 6, 7.5, 8}},
        {"rows out of order: the first row at or beyond decides",
         {{}, {1, 10}, {3, 30}, {2, 20}},
         {1, 2, 2.5f, 3},
         {},
         {10, 20, 25, 30}},
        {"grid x before row 1 takes row 1's y, not a line from (0, 0)",
         {{}, {0.7, 5}, {1, 6}},
         {0.5f, 0.7f},
         {},
         {5, 5}},
        {"grid x beyond every row takes the largest x, the last one on ties",
         {{}, {1, 10}, {3, 30}, {3, 31}, {2, 20}},
         {3, 4},
         {},
         {30, 31}},
        {"the float just above 0.7 beyond the last row 0.7",
         {{}, {0.1, 1}, {0.7, 7}},
         {0x1.666668p-1f},
         {},
         {7}},
        {"sum, then the slope term, then the y before: (1e16 + 1) + 1 stays 1e16",
         {{}, {0, 1}, {2, 3}},
         {1},
         {1e16},
         {1e16}},
        {"a file with no data row adds nothing", {{}}, {0, 1}, {4, 5}, {4, 5}},
        {"a grid that steps back is searched again from row 1",
         {{}, {0, 0}, {1, 10}, {2, 20}},
         {1.5f, 0.5f},
         {},
         {15, 5}},
    };
    for (const SweepCase &c : cases) {
        std::vector<double> gridY = c.startY;
        gridY.resize(c.gridX.size(), 0.0);
        addCurveToGrid(c.rows, c.gridX, gridY);
        ASSERT_EQ(gridY.size(), c.expected.size()) << c.name;
        for (size_t j = 0; j < gridY.size(); ++j)
            EXPECT_EQ(gridY[j], c.expected[j]) << c.name << ", grid x " << c.gridX[j];
    }
}

TEST(AddCurveToGrid, GridXNotEqualToADecimalRowIsInterpolatedToNearlyItsY) {
    std::vector<Row> rows = {{}, {0.0, 0.0}, {0.1, 1.0}, {0.2, 2.0}};
    std::vector<double> gridY(1, 0.0);
    addCurveToGrid(rows, {0.1f}, gridY);
    EXPECT_NE(gridY[0], 1.0);
    EXPECT_NEAR(gridY[0], 1.0, 1e-6);
}

// ---- division count, common range and grid --------------------------------------------

TEST(PrepareGrid, DivisionCountText) {
    const struct {
        const char *text;
        int divisions; // 0: must fail
        int code;
    } cases[] = {
        {"100", 100, 0},
        {"2.5", 2, 0},
        {"3.5", 4, 0},
        {"  7 divisions", 7, 0},
        {"32767", 32767, 0},
        {"1", 1, 0},
        {"0", 0, kInvalidArgument},
        {"0.4", 0, kInvalidArgument},
        {"-3", 0, kInvalidArgument},
        {"", 0, kInvalidArgument},
        {"abc", 0, kInvalidArgument},
        {"40000", 0, kTooLarge},
        {"32767.5", 0, kTooLarge},
        {"-40000", 0, kTooLarge},
        {"1e99", 0, kTooLarge},
    };
    for (const auto &c : cases) {
        Session s;
        s.commonXMin = 0;
        s.commonXMax = 10;
        s.divisionCount = 9;
        s.xStep = 0.25f;
        Status status = prepareGrid(s, c.text);
        if (c.divisions > 0) {
            ASSERT_TRUE(status.ok()) << "'" << c.text << "': " << status.message();
            EXPECT_EQ(s.divisionCount, c.divisions) << c.text;
            EXPECT_EQ(s.xStep, static_cast<float>(10.0 / c.divisions)) << c.text;
        } else {
            EXPECT_EQ(status.code(), c.code) << "'" << c.text << "'";
            EXPECT_FALSE(status.message().empty()) << c.text;
            EXPECT_EQ(s.divisionCount, 9) << "nothing set for '" << c.text << "'";
            EXPECT_EQ(s.xStep, 0.25f) << "nothing set for '" << c.text << "'";
        }
    }
}

TEST(PrepareGrid, CommonRange) {
    const struct {
        float min, max;
        bool valid;
        float step;
    } cases[] = {
        {2, 8, true, 0.06f}, // 100 divisions
        {2, 2, true, 0},     // one x in common: every grid point on it
        {-1, 4, true, 0.05f},
        {2, 1.9999999f, false, 0}, // no x in common
        {-999999, 999999, true, 19999.98f},
    };
    for (const auto &c : cases) {
        Session s;
        s.commonXMin = c.min;
        s.commonXMax = c.max;
        Status status = prepareGrid(s, "100");
        EXPECT_EQ(status.ok(), c.valid) << c.min << ".." << c.max << ": " << status.message();
        if (c.valid)
            EXPECT_EQ(s.xStep, c.step) << c.min << ".." << c.max;
        else
            EXPECT_EQ(status.code(), kInvalidArgument);
    }
}

TEST(NarrowCommonRange, TakesTheInnermostLimitsAndOnlyShrinks) {
    Session s;
    s.fileCount = 3;
    const float mins[] = {0, 0, 2, -5}, maxs[] = {0, 10, 8, 9};
    for (int i = 1; i <= 3; ++i) {
        s.fileXMin[i] = mins[i];
        s.fileXMax[i] = maxs[i];
    }
    narrowCommonRange(s);
    EXPECT_EQ(s.commonXMin, 2.0f);
    EXPECT_EQ(s.commonXMax, 8.0f);
    narrowCommonRange(s); // a second run over the same files
    EXPECT_EQ(s.commonXMin, 2.0f);
    EXPECT_EQ(s.commonXMax, 8.0f);
    s.fileXMin[3] = -20; // a wider file does not widen the range again
    s.fileXMax[3] = 20;
    narrowCommonRange(s);
    EXPECT_EQ(s.commonXMin, 2.0f);
    EXPECT_EQ(s.commonXMax, 8.0f);
}

TEST(NarrowCommonRange, XBeyondTheStartValuesStopsAtThem) {
    Session s;
    s.fileCount = 2;
    s.fileXMin[1] = -2e6f;
    s.fileXMax[1] = 2e6f;
    s.fileXMin[2] = -3e6f;
    s.fileXMax[2] = 3e6f;
    narrowCommonRange(s);
    EXPECT_EQ(s.commonXMin, -999999.0f);
    EXPECT_EQ(s.commonXMax, 999999.0f);
}

TEST(MakeGridX, ProductRoundedThenSumRounded) {
    std::vector<float> x = makeGridX(2, 0.06f, 100);
    ASSERT_EQ(x.size(), 101u);
    EXPECT_EQ(x[0], 2.0f);
    // Rounding 2 + 0.06f * 11 once would give 0x1.547ae2p+1.
    EXPECT_EQ(x[11], 0x1.547aep+1f);
    EXPECT_EQ(x[100], 8.0f);
    EXPECT_EQ(makeGridX(0.1f, 0.1f, 6)[6], 0x1.666668p-1f); // 0.70000005, beyond 0.7
    EXPECT_EQ(makeGridX(5, 0, 3), std::vector<float>(4, 5.0f));
    EXPECT_TRUE(makeGridX(5, 1, -1).empty());
}

// ---- the probe of the output file -------------------------------------------------------

TEST(ProbeOutput, WritesTheTestLineOverAnyOldContent) {
    TempDir dir;
    std::string path = dir.file("out.txt");
    writeBytes(path, "old content that is longer than the test line\r\n");
    TextFile file;
    Status status = probeOutput(file, path);
    ASSERT_TRUE(status.ok()) << status.message();
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(readBytes(path), "Test output\r\n");
}

TEST(ProbeOutput, FailuresGiveTheirCodes) {
    TempDir dir;
    fs::create_directory(dir.file("a folder"));
    const struct {
        std::string path;
        int code;
    } cases[] = {
        {dir.file("no such folder/out.txt"), kPathNotFound},
        {dir.file("a folder"), kOutputFailed},
    };
    for (const auto &c : cases) {
        TextFile file;
        EXPECT_EQ(probeOutput(file, c.path).code(), c.code) << c.path;
        EXPECT_FALSE(file.isOpen()) << c.path;
    }
}

TEST(ProbeOutput, ReadOnlyFileIsPermissionDenied) {
    if (geteuid() == 0)
        GTEST_SKIP() << "permission checks do not apply to root";
    TempDir dir;
    std::string path = dir.file("locked.txt");
    writeBytes(path, "kept\r\n");
    chmod(path.c_str(), 0444);
    TextFile file;
    EXPECT_EQ(probeOutput(file, path).code(), kPermissionDenied);
    EXPECT_EQ(readBytes(path), "kept\r\n");
}

// ---- whole runs -------------------------------------------------------------------------

TEST(WriteMean, RowsOnAndBetweenGridPointsNumberedFromOne) {
    TempDir dir;
    Session s;
    Curve c = rowsOf({{0, 0}, {1, 10}, {2, 40}, {3, 90}});
    addCurve(s, dir.file("a.txt"), c);
    addCurve(s, dir.file("b.txt"), c);
    MeanCurve curve;
    Status status = writeMean(s, "6", dir.file("out.txt"), curve);
    ASSERT_TRUE(status.ok()) << status.message();
    EXPECT_EQ(curve.y, (std::vector<double>{0, 5, 10, 25, 40, 65, 90}));
    std::vector<std::string> lines = linesOf(readBytes(dir.file("out.txt")));
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0], kOutputHeader);
    for (size_t j = 0; j < curve.x.size(); ++j)
        EXPECT_EQ(lines[j + 1], outputLine(static_cast<int64_t>(j) + 1, curve.x[j], curve.y[j]));
    EXPECT_EQ(lines[4], " 4             1.5           25 ");
    EXPECT_EQ(s.chosenFileName, dir.file("b.txt"));
}

TEST(WriteMean, DividesByTheFileCountNotTheWeights) {
    TempDir dir;
    Session s;
    Curve a = rowsOf({{0, 1}, {1, 2}, {2, 3}});
    a.yWeight = 2;
    addCurve(s, dir.file("a.txt"), a);
    addCurve(s, dir.file("b.txt"), rowsOf({{0, 10}, {1, 20}, {2, 30}}));
    MeanCurve curve;
    ASSERT_TRUE(writeMean(s, "4", dir.file("out.txt"), curve).ok());
    ASSERT_EQ(curve.x.size(), 5u);
    for (size_t j = 0; j < 5; ++j) {
        double x = curve.x[j], y1 = 1 + x, y2 = 10 + 10 * x;
        EXPECT_EQ(curve.y[j], (2 * y1 + y2) / 2) << "x " << x;
    }
}

TEST(WriteMean, CoefficientsScaleXAndY) {
    TempDir dir;
    Session s;
    Curve a = rowsOf({{0, 1}, {1, 2}, {2, 3}});
    a.xCoefficient = 2; // x 0..4
    a.yCoefficient = 2;
    a.yWeight = 3; // y = 6 * field
    a.skipLines = 0;
    a.commas = true;
    addCurve(s, dir.file("a.txt"), a);
    addCurve(s, dir.file("b.txt"), rowsOf({{0, 0}, {4, 0}}));
    MeanCurve curve;
    ASSERT_TRUE(writeMean(s, "2", dir.file("out.txt"), curve).ok());
    EXPECT_EQ(curve.x, (std::vector<float>{0, 2, 4}));
    EXPECT_EQ(curve.y, (std::vector<double>{3, 6, 9}));
}

TEST(WriteMean, HundredDivisionsOverTheCommonRange) {
    TempDir dir;
    Session s;
    Curve wide, narrow;
    for (int x = 0; x <= 10; ++x)
        wide.rows.push_back({static_cast<double>(x), 2.0 * x});
    for (int x = 2; x <= 8; ++x)
        narrow.rows.push_back({static_cast<double>(x), 2.0 * x});
    addCurve(s, dir.file("wide.txt"), wide);
    addCurve(s, dir.file("narrow.txt"), narrow);
    MeanCurve curve;
    ASSERT_TRUE(writeMean(s, "100", dir.file("out.txt"), curve).ok());
    EXPECT_EQ(s.commonXMin, 2.0f);
    EXPECT_EQ(s.commonXMax, 8.0f);
    EXPECT_EQ(s.divisionCount, 100);
    EXPECT_EQ(s.xStep, 0.06f);
    ASSERT_EQ(curve.x.size(), 101u);
    EXPECT_EQ(curve.x.front(), 2.0f);
    for (size_t j = 0; j < curve.x.size(); ++j)
        EXPECT_NEAR(curve.y[j], 2.0 * curve.x[j], 1e-12) << j;
    std::vector<std::string> lines = linesOf(readBytes(dir.file("out.txt")));
    ASSERT_EQ(lines.size(), 102u);
    EXPECT_EQ(lines[1], " 1             2             4 ");
    EXPECT_EQ(lines[101].substr(0, 6), " 101  ");
}

TEST(WriteMean, SecondRunGivesTheSameFile) {
    TempDir dir;
    Session s;
    addCurve(s, dir.file("a.txt"), rowsOf({{0.1, 1}, {0.4, 3}, {0.7, 2}}));
    addCurve(s, dir.file("b.txt"), rowsOf({{0.1, 2}, {0.5, -1}, {0.7, 5}}));
    MeanCurve first, second;
    ASSERT_TRUE(writeMean(s, "100", dir.file("out.txt"), first).ok());
    std::string firstBytes = readBytes(dir.file("out.txt"));
    ASSERT_TRUE(writeMean(s, "100", dir.file("out.txt"), second).ok());
    EXPECT_EQ(readBytes(dir.file("out.txt")), firstBytes);
    // Both ends lie just outside the rows; the last mean is the rows' own, not 0.
    EXPECT_GT(first.x.back(), 0.7f);
    EXPECT_EQ(first.y.back(), 3.5);
}

TEST(WriteMean, EqualLimitsGiveOnePointRepeated) {
    TempDir dir;
    Session s;
    addCurve(s, dir.file("a.txt"), rowsOf({{0, 1}, {2, 3}}));
    addCurve(s, dir.file("b.txt"), rowsOf({{2, 5}, {4, 9}}));
    MeanCurve curve;
    ASSERT_TRUE(writeMean(s, "3", dir.file("out.txt"), curve).ok());
    EXPECT_EQ(curve.x, std::vector<float>(4, 2.0f));
    EXPECT_EQ(curve.y, std::vector<double>(4, 4.0));
}

// A failure after the probe leaves the output file holding only the test line.
TEST(WriteMean, FailuresAfterTheProbe) {
    const struct {
        const char *name;
        void (*spoil)(const std::string &secondFile, Session &s);
        int code;
        bool namesFile;
    } cases[] = {
        {"no common range",
         [](const std::string &, Session &s) {
             s.fileXMin[2] = 20;
             s.fileXMax[2] = 30;
         },
         kInvalidArgument, false},
        {"input file removed", [](const std::string &f, Session &) { fs::remove(f); },
         kFileNotFound, true},
        {"input file shrunk",
         [](const std::string &f, Session &) { writeBytes(f, "h\r\nh\r\nh\r\n1 2 3 4 5 6\r\n"); },
         kPastEnd, true},
        {"non-numeric y",
         [](const std::string &f, Session &) {
             writeBytes(f, "h\r\nh\r\nh\r\n1 2 3 4 0 six\r\n1 2 3 4 1 6\r\n1 2 3 4 2 6\r\n");
         },
         kNonNumeric, true},
        {"mean beyond the double range",
         [](const std::string &f, Session &) {
             writeBytes(f,
                        "h\r\nh\r\nh\r\n1 2 3 4 0 1e308\r\n1 2 3 4 1 1e308\r\n1 2 3 4 2 1e308\r\n");
         },
         kTooLarge, false},
    };
    for (const auto &c : cases) {
        TempDir dir;
        Session s;
        addCurve(s, dir.file("a.txt"), rowsOf({{0, 1e308}, {1, 1e308}, {2, 1e308}}));
        addCurve(s, dir.file("b.txt"), rowsOf({{0, 1}, {1, 1}, {2, 1}}));
        c.spoil(dir.file("b.txt"), s);
        MeanCurve curve;
        Status status = writeMean(s, "4", dir.file("out.txt"), curve);
        EXPECT_EQ(status.code(), c.code) << c.name << ": " << status.message();
        EXPECT_FALSE(status.message().empty()) << c.name;
        if (c.namesFile) {
            EXPECT_NE(status.message().find(dir.file("b.txt")), std::string::npos)
                << c.name << ": " << status.message();
        }
        EXPECT_EQ(readBytes(dir.file("out.txt")), "Test output\r\n") << c.name;
    }
}

TEST(WriteOutputFile, FailureNamesTheFile) {
    TempDir dir;
    MeanCurve curve{{0, 1}, {2, 3}};
    TextFile file;
    std::string path = dir.file("gone/out.txt");
    Status status = writeOutputFile(file, path, curve);
    EXPECT_EQ(status.code(), kPathNotFound);
    EXPECT_NE(status.message().find(path), std::string::npos) << status.message();
    EXPECT_FALSE(file.isOpen());
}

// ---- byte-for-byte output --------------------------------------------------------------

// Prints the lines that differ, with their line ends made visible.
std::string lineDiff(const std::string &expected, const std::string &actual) {
    auto split = [](const std::string &s) {
        std::vector<std::string> lines;
        std::string line;
        for (char ch : s) {
            if (ch == '\r')
                line += "\\r";
            else if (ch == '\n') {
                lines.push_back(line + "\\n");
                line.clear();
            } else
                line += ch;
        }
        if (!line.empty())
            lines.push_back(line);
        return lines;
    };
    std::vector<std::string> e = split(expected), a = split(actual);
    std::string out;
    for (size_t i = 0; i < std::max(e.size(), a.size()); ++i) {
        std::string el = i < e.size() ? e[i] : "<none>", al = i < a.size() ? a[i] : "<none>";
        if (el != al)
            out += "line " + std::to_string(i + 1) + "\n- " + el + "\n+ " + al + "\n";
    }
    return out;
}

TEST(WriteMean, MatchesTheGoldenFile) {
    TempDir dir;
    Session s;
    // Dyadic values, so that every mean is exact and can be checked by hand.
    addCurve(s, dir.file("a.txt"),
             rowsOf({{-1, 2}, {0, -0.5}, {1, -0.5}, {2, 0x1p-15}, {3, 0x1p70}, {4, 1}}));
    Curve b = rowsOf({{-2, 4}, {-1, 1}, {0, 0}, {1, 1}, {2, 0}, {3, 9}, {4, 16}, {5, 25}});
    b.skipLines = 0;
    b.commas = true;
    addCurve(s, dir.file("b.txt"), b);
    MeanCurve curve;
    std::string output = dir.file("out.txt");
    ASSERT_TRUE(writeMean(s, "10", output, curve).ok());

    const std::string golden = std::string(MERGON_TEST_DATA) + "/golden/mean_of_two_curves.txt";
    std::string expected = readBytes(golden), actual = readBytes(output);
    if (actual != expected) {
        writeBytes(golden + ".actual", actual);
        ADD_FAILURE() << "output differs from " << golden << " (written to .actual):\n"
                      << lineDiff(expected, actual);
    }
}

// ---- the fast way against the reference way ---------------------------------------------

TEST(MeanCurveEquivalence, FastWayEqualsTheReferenceWayOnRandomInputs) {
    std::mt19937 random(20240607);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    const float coefficients[] = {1, 1, 2, 0.5f, 0.1f, -1, 3.7f};
    for (int run = 0; run < 200; ++run) {
        TempDir dir;
        Session s;
        const int files = pick(2, 5);
        for (int i = 1; i <= files; ++i) {
            Curve c;
            c.skipLines = pick(0, 3);
            c.commas = pick(0, 1) == 1;
            c.xCoefficient = coefficients[pick(0, 6)];
            c.yCoefficient = coefficients[pick(0, 6)];
            c.yWeight = coefficients[pick(0, 6)];
            // Every file covers x -0.3 to 0.3 before its coefficient, so all runs share a range.
            const int style = pick(0, 2);
            double x = -pick(3, 10) * 0.1, top = x;
            while (c.rows.size() < 2 || top <= 0.3 || (pick(0, 3) != 0 && c.rows.size() < 40)) {
                double y = std::uniform_real_distribution<double>(-100, 100)(random);
                if (pick(0, 5) == 0)
                    y = pick(-3, 3); // some plain values
                c.rows.push_back({x, y});
                top = std::max(top, x);
                // Ascending with steps of 0.1, 0.25 or random, with some repeats.
                double step = style == 0   ? 0.1
                              : style == 1 ? 0.25
                                           : std::uniform_real_distribution<double>(0, 0.5)(random);
                if (pick(0, 6) != 0)
                    x += step;
            }
            const int rowCount = static_cast<int>(c.rows.size());
            // Some files out of order: a few swapped rows.
            if (pick(0, 2) == 0)
                for (int swaps = pick(1, 4); swaps > 0; --swaps)
                    std::swap(c.rows[static_cast<size_t>(pick(0, rowCount - 1))],
                              c.rows[static_cast<size_t>(pick(0, rowCount - 1))]);
            addCurve(s, dir.file("in" + std::to_string(i) + ".txt"), c);
        }
        const std::string divisions = std::to_string(pick(1, 40));
        Session reference = s;
        MeanCurve fast, slow;
        Status fastStatus = writeMean(s, divisions, dir.file("fast.txt"), fast);
        Status slowStatus =
            writeMean(reference, divisions, dir.file("slow.txt"), slow, baselineMeanCurve);
        ASSERT_TRUE(fastStatus.ok()) << "run " << run << ": " << fastStatus.message();
        ASSERT_TRUE(slowStatus.ok()) << "run " << run << ": " << slowStatus.message();
        ASSERT_EQ(readBytes(dir.file("fast.txt")), readBytes(dir.file("slow.txt")))
            << "run " << run << ", " << files << " files, " << divisions << " divisions";
        ASSERT_EQ(fast.y, slow.y) << "run " << run;
        EXPECT_EQ(s.chosenFileName, reference.chosenFileName);
    }
}

} // namespace
} // namespace mergon
