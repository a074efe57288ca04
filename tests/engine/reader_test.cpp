#include "engine/reader.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using mergon::CurveSettings;
using mergon::Field;
using mergon::FileMeasure;
using mergon::Row;
using mergon::Status;
using mergon::TextFile;

namespace {

class TempDir {
public:
    TempDir() {
        path_ = fs::temp_directory_path() /
                ("mergon_reader_" + std::to_string(::getpid()) + "_" + std::to_string(next_++));
        fs::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string write(const std::string &name, const std::string &bytes) const {
        const fs::path file = path_ / name;
        std::ofstream(file, std::ios::binary) << bytes;
        return file.string();
    }
    std::string path(const std::string &name) const { return (path_ / name).string(); }

private:
    static inline int next_ = 0;
    fs::path path_;
};

std::string dataFile(const std::string &name) { return std::string(MERGON_TEST_DATA) + "/" + name; }

CurveSettings curve(const std::string &path, int skip, int lines, int perLine, int xColumn,
                    int yColumn, float xCoefficient = 1, float yCoefficient = 1,
                    float yWeight = 1) {
    CurveSettings s;
    s.path = path;
    s.skipLines = skip;
    s.lineCount = lines;
    s.fieldsPerLine = perLine;
    s.xColumn = xColumn;
    s.yColumn = yColumn;
    s.xCoefficient = xCoefficient;
    s.yCoefficient = yCoefficient;
    s.yWeight = yWeight;
    return s;
}

// The fifth and sixth numbers of each line of three_header_four_rows.txt and its variants.
const std::vector<Row> kStartRows = {
    {29.4, -0.7868}, {29.86, -0.8005}, {30.41, -0.8155}, {30.93, -0.831}};

// The start rows with x and y scaled; y may be taken from the x column.
std::vector<Row> startRows(double xFactor, double yFactor, bool yFromX = false) {
    std::vector<Row> out;
    for (const Row &r : kStartRows)
        out.push_back({r.x * xFactor, (yFromX ? r.x : r.y) * yFactor});
    return out;
}

struct CurveCase {
    const char *name;
    CurveSettings settings;
    std::vector<Row> rows; // rows 1..lineCount
};

std::vector<CurveCase> curveCases() {
    const std::string start = dataFile("three_header_four_rows.txt");
    const std::string across = dataFile("rows_across_lines.txt");
    const double tenthAsFloat = 0.1f;
    return {
        {"start settings", curve(start, 3, 4, 6, 5, 6), kStartRows},
        {"commas", curve(dataFile("comma_separated.txt"), 3, 4, 6, 5, 6), kStartRows},
        {"tabs", curve(dataFile("tab_separated.txt"), 3, 4, 6, 5, 6), kStartRows},
        {"trailing blank lines", curve(dataFile("trailing_blank_line.txt"), 3, 4, 6, 5, 6),
         kStartRows},
        {"fewer rows than lines", curve(start, 3, 2, 6, 5, 6), {kStartRows[0], kStartRows[1]}},
        {"rows across line breaks", curve(across, 0, 2, 4, 1, 4), {{1, 2}, {20, 30}}},
        {"negative skip", curve(across, -2, 2, 4, 1, 4), {{1, 2}, {20, 30}}},
        {"x column beyond the row", curve(start, 3, 4, 6, 7, 6), startRows(0, 1)},
        {"x column 0, y column negative", curve(start, 3, 4, 6, 0, -1),
         std::vector<Row>(4, Row{0, 0})},
        {"shared column, weight 2", curve(start, 3, 4, 6, 5, 5, 1, 1, 2), startRows(1, 2, true)},
        {"y coefficient 2, weight 3", curve(start, 3, 4, 6, 5, 6, 1, 2, 3), startRows(1, 6)},
        // The factor is the float 0.1 widened, not the decimal 0.1.
        {"x coefficient widened from float",
         curve(start, 3, 4, 6, 5, 6, 0.1f),
         {{29.4 * tenthAsFloat, -0.7868},
          {29.86 * tenthAsFloat, -0.8005},
          {30.41 * tenthAsFloat, -0.8155},
          {30.93 * tenthAsFloat, -0.831}}},
        // Scaled first, then weighted: the other order gives -1.4713160731592188.
        {"y scaled then weighted",
         curve(start, 3, 1, 6, 5, 6, 1, 1.1f, 1.7f),
         {{29.4, -1.471316073159219}}},
        {"no fields per line", curve(start, 3, 4, 0, 5, 6), std::vector<Row>(4, Row{0, 0})},
        {"no rows", curve(start, 3, 0, 6, 5, 6), {}},
        {"byte-order mark", curve(dataFile("bom.txt"), 0, 2, 2, 1, 2), {{1.5, -0.25}, {2.5, -0.5}}},
        {"byte-order mark before a header",
         curve(dataFile("bom_header.txt"), 1, 2, 2, 1, 2),
         {{1.5, -0.25}, {2.5, -0.5}}},
        {"Shift-JIS header",
         curve(dataFile("shift_jis_header.txt"), 2, 2, 2, 1, 2),
         {{1.5, -0.25}, {2.5, -0.5}}},
        {"quoted fields",
         curve(dataFile("quoted_fields.txt"), 1, 3, 3, 2, 3),
         {{0.5, 2.5}, {1.5, 3.5}, {2.5, 4.5}}},
        {"empty fields are 0",
         curve(dataFile("empty_fields.txt"), 0, 3, 3, 1, 2),
         {{1, 0}, {0, 5}, {7, 8}}},
        {"comma before the line end",
         curve(dataFile("empty_fields.txt"), 0, 3, 3, 2, 3),
         {{0, 3}, {5, 6}, {8, 0}}},
        {"exponent with D",
         curve(dataFile("exponent_d.txt"), 0, 3, 3, 2, 3),
         {{100, 0.25}, {-3, 12.5}, {0.04, 5}}},
        {"text in another column",
         curve(dataFile("text_column.txt"), 0, 2, 4, 3, 4),
         {{1.5, 2.5}, {2.5, 3.5}}},
        {"text in the column after y",
         curve(dataFile("non_numeric_y.txt"), 0, 3, 2, 1, 1),
         {{1, 1}, {3, 3}, {5, 5}}},
        {"1e999 in another column",
         curve(dataFile("too_large_y.txt"), 0, 3, 2, 1, 1),
         {{1, 1}, {3, 3}, {5, 5}}},
    };
}

TEST(ReadCurve, EdgeCases) {
    for (const CurveCase &c : curveCases()) {
        for (std::size_t size : {std::size_t{3}, TextFile::kDefaultBufferSize}) {
            SCOPED_TRACE(std::string(c.name) + ", buffer " + std::to_string(size));
            TextFile file(size);
            std::vector<Row> rows{{9, 9}};
            std::vector<int> seen;
            const Status status =
                mergon::readCurve(file, c.settings, rows, [&](int i, const Row &row) {
                    seen.push_back(i);
                    EXPECT_EQ(row.x, rows[i].x);
                    EXPECT_EQ(row.y, rows[i].y);
                });
            ASSERT_TRUE(status.ok()) << status.message();
            EXPECT_FALSE(file.isOpen());
            ASSERT_EQ(rows.size(), c.rows.size() + 1);
            EXPECT_EQ(rows[0].x, 0);
            EXPECT_EQ(rows[0].y, 0);
            for (std::size_t i = 0; i < c.rows.size(); ++i) {
                EXPECT_EQ(rows[i + 1].x, c.rows[i].x) << "row " << i + 1;
                EXPECT_EQ(rows[i + 1].y, c.rows[i].y) << "row " << i + 1;
            }
            ASSERT_EQ(seen.size(), c.rows.size());
            for (std::size_t i = 0; i < seen.size(); ++i)
                EXPECT_EQ(seen[i], static_cast<int>(i) + 1);
        }
    }
}

TEST(ReadCurve, LineEndVariantsGiveTheSameRows) {
    std::string lf;
    {
        std::ifstream in(dataFile("three_header_four_rows.txt"), std::ios::binary);
        for (std::string line; std::getline(in, line);)
            lf += line.substr(0, line.size() - 1) + "\n"; // drop the CR
    }
    TempDir dir;
    for (const char *end : {"\n", "\r", "\r\n"}) {
        std::string text;
        for (char ch : lf)
            text += ch == '\n' ? std::string(end) : std::string(1, ch);
        for (const std::string &variant : {text, text.substr(0, text.size() - 1)}) {
            const std::string path = dir.write("variant.txt", variant);
            SCOPED_TRACE("line end " + std::to_string(end[0] + 0) +
                         (variant.size() < text.size() ? ", none after the last line" : ""));
            TextFile file;
            FileMeasure m;
            ASSERT_TRUE(mergon::measureFile(file, path, 3, m).ok());
            EXPECT_EQ(m.lineCount, 4);
            EXPECT_EQ(m.fieldsPerLine, 6);
            std::vector<Row> rows;
            ASSERT_TRUE(mergon::readCurve(file, curve(path, 3, 4, 6, 5, 6), rows).ok());
            for (std::size_t i = 0; i < kStartRows.size(); ++i) {
                EXPECT_EQ(rows[i + 1].x, kStartRows[i].x);
                EXPECT_EQ(rows[i + 1].y, kStartRows[i].y);
            }
        }
    }
}

TEST(ReadCurve, Failures) {
    const struct {
        const char *name;
        CurveSettings settings;
        int code;
        int rowsDelivered;
    } cases[] = {
        {"missing file", curve(dataFile("no_such_file.txt"), 0, 1, 1, 1, 1), mergon::kFileNotFound,
         0},
        {"fewer header lines than skipped", curve(dataFile("header_only.txt"), 4, 1, 1, 1, 1),
         mergon::kPastEnd, 0},
        {"7 fields read as 2 rows of 4", curve(dataFile("uneven_fields.txt"), 0, 2, 4, 1, 2),
         mergon::kPastEnd, 1},
        {"trailing blank lines give no fields",
         curve(dataFile("trailing_blank_line.txt"), 3, 5, 6, 5, 6), mergon::kPastEnd, 4},
        {"blank line inside shifts the rows", curve(dataFile("mid_blank_line.txt"), 0, 3, 2, 1, 2),
         mergon::kPastEnd, 2},
        {"non-numeric y", curve(dataFile("non_numeric_y.txt"), 0, 3, 2, 1, 2), mergon::kNonNumeric,
         1},
        {"non-numeric x", curve(dataFile("non_numeric_y.txt"), 0, 3, 2, 2, 1), mergon::kNonNumeric,
         1},
        {"text column as x", curve(dataFile("text_column.txt"), 0, 2, 4, 2, 3), mergon::kNonNumeric,
         0},
        {"too large y", curve(dataFile("too_large_y.txt"), 0, 3, 2, 1, 2), mergon::kTooLarge, 1},
        {"too large x", curve(dataFile("too_large_y.txt"), 0, 3, 2, 2, 2), mergon::kTooLarge, 1},
        {"line count beyond 16 bits", curve(dataFile("bom.txt"), 0, 32768, 2, 1, 2),
         mergon::kTooLarge, 0},
    };
    for (const auto &c : cases) {
        TextFile file(2);
        std::vector<Row> rows;
        int delivered = 0;
        const Status status =
            mergon::readCurve(file, c.settings, rows, [&](int, const Row &) { ++delivered; });
        EXPECT_EQ(status.code(), c.code) << c.name << ": " << status.message();
        EXPECT_FALSE(status.message().empty()) << c.name;
        EXPECT_EQ(delivered, c.rowsDelivered) << c.name;
        EXPECT_FALSE(rows.empty()) << c.name;
        file.closeAll();
    }
}

struct MeasureCase {
    const char *name;
    std::string text; // file content, or "@name" for a data file
    int skip;
    int code;
    int lines, perLine;
    std::int64_t fields;
};

const MeasureCase kMeasureCases[] = {
    {"12 fields on 3 lines", "1 2 3 4\n5 6 7 8\n9 10 11 12\n", 0, 0, 3, 4, 12},
    {"7 on 3 rounds down", "1 2 3\n4 5\n6 7\n", 0, 0, 3, 2, 7},
    {"5 on 2: half to even, down", "1 2 3\n4 5\n", 0, 0, 2, 2, 5},
    {"7 on 2: half to even, up", "1 2 3 4\n5 6 7\n", 0, 0, 2, 4, 7},
    {"header skipped", "h 1 2\nh,3\n1 2\n", 2, 0, 1, 2, 2},
    {"negative skip", "1 2\n", -1, 0, 1, 2, 2},
    {"no line end after the last line", "1 2\r\n3 4", 0, 0, 2, 2, 4},
    {"CR line ends", "1 2\r3 4\r", 0, 0, 2, 2, 4},
    {"comma before the last line end", "1,2,\r\n", 0, 0, 1, 3, 3},
    {"comma at the very end", "1,2,", 0, 0, 1, 3, 3},
    {"only a comma", ",", 0, 0, 1, 2, 2},
    {"header then blanks then data", "h\n\n  \n1 2\n", 1, 0, 3, 1, 4},
    {"start file", "@three_header_four_rows.txt", 3, 0, 4, 6, 24},
    {"trailing blank lines", "@trailing_blank_line.txt", 3, 0, 4, 6, 24},
    {"blank line inside", "@mid_blank_line.txt", 0, 0, 3, 2, 5},
    {"rows across line breaks", "@rows_across_lines.txt", 0, 0, 3, 3, 8},
    {"Shift-JIS header", "@shift_jis_header.txt", 2, 0, 2, 2, 4},
    {"byte-order mark", "@bom.txt", 0, 0, 2, 2, 4},
    {"quoted fields", "@quoted_fields.txt", 1, 0, 3, 3, 9},
    {"text column", "@text_column.txt", 0, 0, 2, 4, 8},
    {"missing file", "@no_such_file.txt", 0, mergon::kFileNotFound, 0, 0, 0},
    {"header only", "@header_only.txt", 3, mergon::kPastEnd, 0, 0, 0},
    {"only blank lines after the header", "@blank_after_header.txt", 3, mergon::kPastEnd, 0, 0, 0},
    {"fewer header lines than skipped", "@header_only.txt", 4, mergon::kPastEnd, 0, 0, 0},
    {"empty file", "", 0, mergon::kPastEnd, 0, 0, 0},
    {"only a byte-order mark and blanks", "\xEF\xBB\xBF \r\n", 0, mergon::kPastEnd, 0, 0, 0},
};

std::string casePath(const TempDir &dir, const std::string &text) {
    return text.starts_with("@") ? dataFile(text.substr(1)) : dir.write("measure.txt", text);
}

TEST(MeasureFile, CountsAndFailures) {
    TempDir dir;
    for (const MeasureCase &c : kMeasureCases) {
        for (std::size_t size : {std::size_t{1}, TextFile::kDefaultBufferSize}) {
            SCOPED_TRACE(std::string(c.name) + ", buffer " + std::to_string(size));
            TextFile file(size);
            FileMeasure m;
            const Status status = mergon::measureFile(file, casePath(dir, c.text), c.skip, m);
            EXPECT_EQ(status.code(), c.code) << status.message();
            EXPECT_FALSE(file.isOpen());
            if (c.code != 0)
                continue;
            EXPECT_EQ(m.lineCount, c.lines);
            EXPECT_EQ(m.fieldsPerLine, c.perLine);
            EXPECT_EQ(m.fieldCount, c.fields);
        }
    }
}

std::string repeat(const std::string &piece, int times) {
    std::string out;
    out.reserve(piece.size() * static_cast<std::size_t>(times));
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

TEST(MeasureFile, SixteenBitLimits) {
    const struct {
        const char *name;
        std::string text;
        int code;
        int lines, perLine;
        std::int64_t fields;
    } cases[] = {
        {"32767 lines", repeat("1\r\n", 32767), 0, 32767, 1, 32767},
        {"32768 lines", repeat("1\r\n", 32768), mergon::kTooLarge, 0, 0, 0},
        {"32768 lines and trailing blank lines", repeat("1\n", 32768) + "\n\n", mergon::kTooLarge,
         0, 0, 0},
        {"32767 lines and trailing blank lines", repeat("1\n", 32767) + "\n \n", 0, 32767, 1,
         32767},
        {"32768 blank lines before one number", repeat("\n", 32768) + "1", mergon::kTooLarge, 0, 0,
         0},
        {"32767 fields on one line", repeat("1 ", 32767), 0, 1, 32767, 32767},
        {"32768 fields on one line", repeat("1,", 32767) + "1", mergon::kTooLarge, 1, 0, 32768},
        {"65533 on 2 lines rounds to 32766", repeat("1 ", 32767) + "\n" + repeat("1 ", 32766), 0, 2,
         32766, 65533},
        {"65534 on 2 lines", repeat("1 ", 32767) + "\n" + repeat("1 ", 32767), 0, 2, 32767, 65534},
        {"65535 on 2 lines rounds to 32768", repeat("1 ", 32768) + "\n" + repeat("1 ", 32767),
         mergon::kTooLarge, 2, 0, 65535},
    };
    TempDir dir;
    for (const auto &c : cases) {
        TextFile file;
        FileMeasure m;
        const Status status = mergon::measureFile(file, dir.write("big.txt", c.text), 0, m);
        EXPECT_EQ(status.code(), c.code) << c.name << ": " << status.message();
        EXPECT_EQ(m.lineCount, c.lines) << c.name;
        EXPECT_EQ(m.fieldsPerLine, c.perLine) << c.name;
        EXPECT_EQ(m.fieldCount, c.fields) << c.name;
    }
}

// The counting passes as "Data File Open" states them: lines, then fields, each read until
// the end test says so, then the division rounded half to even.
std::optional<FileMeasure> twoPasses(const std::string &path, int skip, std::size_t bufferSize,
                                     int &code) {
    TextFile file(bufferSize);
    code = file.openForReading(path).code();
    if (code != 0)
        return std::nullopt;
    for (int i = 0; i < skip && code == 0; ++i)
        code = file.skipLine().code();
    if (code != 0)
        return std::nullopt;
    if (file.atEnd()) { // the first line read would already be past the end
        code = mergon::kPastEnd;
        return std::nullopt;
    }
    std::int64_t lines = 0;
    do {
        if (++lines > 32767) {
            code = mergon::kTooLarge;
            return std::nullopt;
        }
        code = file.skipLine().code();
    } while (code == 0 && !file.atEnd());
    if (code != 0)
        return std::nullopt;

    code = file.openForReading(path).code();
    for (int i = 0; i < skip && code == 0; ++i)
        code = file.skipLine().code();
    std::int64_t fields = 0;
    Field field;
    do {
        ++fields;
        if (code == 0)
            code = file.readField(field, false).code();
    } while (code == 0 && !file.atEnd());
    file.closeAll();
    if (code != 0)
        return std::nullopt;
    std::fesetround(FE_TONEAREST);
    const double perLine = std::nearbyint(static_cast<double>(fields) / static_cast<double>(lines));
    if (perLine > 32767) {
        code = mergon::kTooLarge;
        return std::nullopt;
    }
    FileMeasure m;
    m.lineCount = static_cast<std::int16_t>(lines);
    m.fieldsPerLine = static_cast<std::int16_t>(perLine);
    m.fieldCount = fields;
    return m;
}

TEST(MeasureFile, OnePassEqualsTheTwoPasses) {
    std::vector<std::string> paths;
    for (const char *folder : {MERGON_TEST_DATA, MERGON_EXAMPLES})
        if (fs::is_directory(folder))
            for (const auto &entry : fs::directory_iterator(folder))
                if (entry.is_regular_file())
                    paths.push_back(entry.path().string());
    TempDir dir;
    for (const MeasureCase &c : kMeasureCases)
        if (!c.text.starts_with("@"))
            paths.push_back(dir.write(std::to_string(paths.size()) + ".txt", c.text));
    ASSERT_GT(paths.size(), 20u);
    for (const std::string &path : paths) {
        for (int skip = -1; skip <= 4; ++skip) {
            for (std::size_t size :
                 {std::size_t{1}, std::size_t{4}, TextFile::kDefaultBufferSize}) {
                SCOPED_TRACE(path + ", skip " + std::to_string(skip) + ", buffer " +
                             std::to_string(size));
                int expectedCode = 0;
                const std::optional<FileMeasure> expected =
                    twoPasses(path, skip, size, expectedCode);
                TextFile file(size);
                FileMeasure m;
                const Status status = mergon::measureFile(file, path, skip, m);
                ASSERT_EQ(status.code(), expectedCode) << status.message();
                if (!expected)
                    continue;
                EXPECT_EQ(m.lineCount, expected->lineCount);
                EXPECT_EQ(m.fieldsPerLine, expected->fieldsPerLine);
                EXPECT_EQ(m.fieldCount, expected->fieldCount);
            }
        }
    }
}

// Every sample file reads with the start settings into the rows its own lines hold.
TEST(ReadCurve, SampleFilesWithStartSettings) {
    int files = 0;
    if (fs::is_directory(MERGON_EXAMPLES)) {
        for (const auto &entry : fs::directory_iterator(MERGON_EXAMPLES)) {
            if (entry.path().extension() != ".txt")
                continue;
            ++files;
            const std::string path = entry.path().string();
            TextFile file;
            FileMeasure m;
            ASSERT_TRUE(mergon::measureFile(file, path, 3, m).ok()) << path;
            EXPECT_EQ(m.fieldsPerLine, 6) << path;
            std::vector<Row> rows;
            ASSERT_TRUE(mergon::readCurve(file, curve(path, 3, m.lineCount, 6, 5, 6), rows).ok());
            // Compare with the lines parsed on their own.
            std::ifstream in(path);
            std::string line;
            for (int i = 0; i < 3; ++i)
                std::getline(in, line);
            for (int i = 1; i <= m.lineCount; ++i) {
                ASSERT_TRUE(std::getline(in, line));
                double v[6] = {};
                ASSERT_EQ(std::sscanf(line.c_str(), "%lf %lf %lf %lf %lf %lf", &v[0], &v[1], &v[2],
                                      &v[3], &v[4], &v[5]),
                          6);
                EXPECT_EQ(rows[i].x, v[4]) << path << " row " << i;
                EXPECT_EQ(rows[i].y, v[5]) << path << " row " << i;
            }
        }
    }
    if (files == 0)
        GTEST_SKIP() << "no sample files yet";
}

long peakKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("VmHWM:"))
            return std::stol(line.substr(6));
    return -1;
}

long currentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("VmRSS:"))
            return std::stol(line.substr(6));
    return -1;
}

// A file of long items: a 48 MB header line, a 48 MB text item, a number written with 48 MB
// of digits, and 48 MB of trailing blank lines. Memory must not grow with any of them.
TEST(ReadCurve, MemoryStaysFlatOnHugeItems) {
    if (peakKiB() < 0)
        GTEST_SKIP() << "no /proc/self/status";
    TempDir dir;
    const std::string path = dir.path("huge.txt");
    const std::size_t kPiece = 48u << 20;
    {
        std::ofstream out(path, std::ios::binary);
        const std::string chunk(1 << 20, 'H');
        const auto repeatChunk = [&](char ch) {
            const std::string c(chunk.size(), ch);
            for (std::size_t n = 0; n < kPiece; n += c.size())
                out << c;
        };
        repeatChunk('H');
        out << "\r\n";
        repeatChunk('T');
        out << ",1.5,2.5\r\n3.5,0.";
        repeatChunk('0');
        out << "1,4.5\r\n";
        const std::string blankLine = std::string(1023, ' ') + "\n";
        for (std::size_t n = 0; n < kPiece; n += blankLine.size())
            out << blankLine;
        ASSERT_TRUE(out.good());
    }

    // Reset the peak so that it covers this test only, where the kernel allows it.
    { std::ofstream("/proc/self/clear_refs") << "5"; }
    const long before = std::max(currentKiB(), 0L);
    TextFile file;
    FileMeasure m;
    ASSERT_TRUE(mergon::measureFile(file, path, 1, m).ok());
    EXPECT_EQ(m.lineCount, 2);
    EXPECT_EQ(m.fieldsPerLine, 3);
    std::vector<Row> rows;
    ASSERT_TRUE(mergon::readCurve(file, curve(path, 1, 2, 3, 2, 3), rows).ok());
    EXPECT_EQ(rows[1].x, 1.5);
    EXPECT_EQ(rows[1].y, 2.5);
    EXPECT_EQ(rows[2].x, 0); // 1e-50331649 underflows to 0
    EXPECT_EQ(rows[2].y, 4.5);
    const long growth = peakKiB() - before;
    std::printf("peak memory growth over a %zu MB file: %ld KiB\n",
                static_cast<std::size_t>(fs::file_size(path) >> 20), growth);
    EXPECT_LT(growth, 4 * 1024);
}

} // namespace
