#include "engine/text_file.h"

#include <gtest/gtest.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace mergon;

namespace {

using Kind = Field::Kind;

// The default buffer, and a tiny one that puts items, CR LF pairs and marks across refills.
const std::size_t kBufferSizes[] = {2, TextFile::kDefaultBufferSize};

struct TempDir {
    static inline int next = 0;
    fs::path root = fs::temp_directory_path() / ("mergon_text_file_" + std::to_string(::getpid()) +
                                                 "_" + std::to_string(next++));
    TempDir() { fs::create_directories(root); }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    std::string write(const std::string &name, const std::string &bytes) const {
        std::ofstream(root / name, std::ios::binary) << bytes;
        return path(name);
    }
    std::string path(const std::string &name) const { return (root / name).string(); }
};

// Every field up to the end of the data, blank-separated: E for empty, T for text, H for too
// large, else the value in its shortest exact form. The read after the last field must fail
// past the end.
std::string readAllFields(const std::string &path, std::size_t bufferSize, bool convert) {
    TextFile file(bufferSize);
    std::string out;
    Status status = file.openForReading(path);
    EXPECT_TRUE(status.ok()) << status.message();
    for (int n = 0; !file.atEnd() && n < 100000; ++n) {
        Field field;
        status = file.readField(field, convert);
        EXPECT_TRUE(status.ok()) << status.message();
        if (!status.ok())
            break;
        char text[32] = "E";
        if (field.kind == Kind::NonNumeric || field.kind == Kind::TooLarge)
            text[0] = field.kind == Kind::TooLarge ? 'H' : 'T';
        else if (field.kind == Kind::Number)
            *std::to_chars(text, text + sizeof text - 1, field.value).ptr = '\0';
        out += (out.empty() ? "" : " ") + std::string(text);
    }
    Field extra;
    EXPECT_EQ(file.readField(extra).code(), kPastEnd);
    EXPECT_TRUE(file.close().ok());
    return out;
}

// Exactly halfway between 1 and the next double: ties to even give 1.
const std::string kHalfway = "1.00000000000000011102230246251565404236316680908203125";
const std::string kZeros(3000, '0');

const struct FieldCase {
    const char *name;
    std::string text;
    const char *fields;
} kFieldCases[] = {
    {"empty file", "", ""},
    {"blanks and commas", "1 2,3 , 4", "1 2 3 4"},
    {"tabs", "\t1\t2\t,\t3\t", "1 2 3"},
    {"empty between commas", "1,,2, ,3", "1 E 2 E 3"},
    {"commas at line start and end", ",1 ,\r\n,2,\n3", "E 1 E E 2 E 3"},
    {"comma at the very end", "1,2,", "1 2 E"},
    {"comma before trailing blank lines", "1,2, \n\n  \n", "1 2 E"},
    {"blank lines inside are empty fields", "\n1\n\n2\r\n \t \r\n3", "E 1 E 2 E 3"},
    {"CR LF, CR, LF; CR CR and LF CR are two", "1\r\n2\r3\n4\r\r5\n\r6", "1 2 3 4 E 5 E 6"},
    {"trailing blank lines", "1 2\r\n\r\n \t\r\n\n\r", "1 2"},
    {"trailing blanks without line end", "1 2   ", "1 2"},
    {"exponent letters", "1e3 1E3 1d3 1D-3 2.5e+2 2.5D+2", "1000 1000 1000 0.001 250 250"},
    {"signs and points", "+2 -.5 5. .5 -0.25 +.5e1 5.e1 007", "2 -0.5 5 0.5 -0.25 5 50 7"},
    {"not numbers", ".\n+\n-\ne5\n1e\n1e+\n1.2.3\n--1\n0x10\nnan\ninf\nInfinity\n1,5",
     "T T T T T T T T T T T T 1 5"},
    {"text runs to a comma or the line end", "abc def,2\nabc 1 2\n1abc 2,3\n1e 5,4\na  ,  5",
     "T 2 T T 3 T 4 T 5"},
    {"quoted numbers", "\"1.5\",\"-2e1\" \"3\"  ,  4", "1.5 -20 3 4"},
    {"quoted text", "\"abc\",\"1,5\",\" 1\",\"\",1", "T T T T 1"},
    {"quotes among text", "\"1.5\"x,2\nab\"c,d\",4\n\"1.5 2\n3", "T 2 T T 4 T 3"},
    {"too large", "1e999,-1e999,1.8e308 1.7976931348623157e308", "H H H 1.7976931348623157e+308"},
    {"underflow", "1e-999 -1e-999 1e-99999999999999999999 4.9406564584124654e-324",
     "0 -0 0 5e-324"},
    {"huge exponent on zero", "0e99999999999 0.000e999", "0 0"},
    {"many digits", "1" + kZeros + "e-3000 0." + kZeros + "5e3001 " + kZeros + "12.5", "1 5 12.5"},
    {"halfway ties to even", kHalfway + " " + kHalfway + kZeros + " " + kHalfway + kZeros + "1",
     "1 1 1.0000000000000002"},
    {"byte-order mark only at the start",
     "\xEF\xBB\xBF"
     "1 \xEF\xBB\xBF"
     "2",
     "1 T"},
    {"control characters are text", std::string("1 \x01\x7f,\0,2", 8), "1 T T 2"},
};

TEST(TextFileFields, Grammar) {
    TempDir dir;
    for (const FieldCase &c : kFieldCases) {
        const std::string path = dir.write("case.txt", c.text);
        // Without conversion a number is only classified: numbers of any size, no value.
        std::string classified;
        std::istringstream in(c.fields);
        for (std::string token; in >> token;)
            classified +=
                (classified.empty() ? "" : " ") + (token == "E" || token == "T" ? token : "0");
        for (std::size_t size : kBufferSizes) {
            SCOPED_TRACE(std::string(c.name) + ", buffer " + std::to_string(size));
            EXPECT_EQ(readAllFields(path, size, true), c.fields);
            EXPECT_EQ(readAllFields(path, size, false), classified);
        }
    }
}

TEST(TextFileLines, LineEndsAndTheLastLine) {
    const struct {
        const char *name;
        std::string text;
        std::vector<std::string> lines;
    } cases[] = {
        {"CR LF, CR and LF; blanks kept", "  a \t\r\nb\rc\nd", {"  a \t", "b", "c", "d"}},
        {"terminator after the last line", "a\r\n", {"a"}},
        {"an empty last line", "a\n\n", {"a", ""}},
        {"empty file", "", {}},
        {"only a line end", "\r\n", {""}},
        {"byte-order mark skipped", "\xEF\xBB\xBFx\ny", {"x", "y"}},
        {"part of a mark is text", "\xEF\xBBx", {"\xEF\xBBx"}},
        {"Shift-JIS bytes", "\x95\x5c\x83\x5c,\"\r\n1", {"\x95\x5c\x83\x5c,\"", "1"}},
    };
    TempDir dir;
    for (const auto &c : cases) {
        const std::string path = dir.write("lines.txt", c.text);
        for (std::size_t size : kBufferSizes) {
            SCOPED_TRACE(std::string(c.name) + ", buffer " + std::to_string(size));
            TextFile file(size);
            ASSERT_TRUE(file.openForReading(path).ok());
            std::vector<std::string> lines;
            std::string line;
            Status status;
            while ((status = file.readLine(line)).ok() && lines.size() < 10)
                lines.push_back(line);
            EXPECT_EQ(status.code(), kPastEnd);
            EXPECT_EQ(lines, c.lines);
        }
    }
}

TEST(TextFileReading, FailureCodes) {
    TempDir dir;
    TextFile file;
    Status status = file.openForReading(dir.path("missing.txt"));
    EXPECT_EQ(status.code(), kFileNotFound);
    EXPECT_NE(status.message().find("missing.txt"), std::string::npos);
    EXPECT_FALSE(file.isOpen());
    status = file.openForReading(dir.path(""));
    EXPECT_EQ(status.code(), kFileNotFound);
    EXPECT_NE(status.message().find("folder"), std::string::npos);

    Field field;
    std::string line;
    EXPECT_EQ(file.readField(field).code(), kPastEnd) << "nothing open";
    EXPECT_EQ(file.readLine(line).code(), kPastEnd) << "nothing open";
    EXPECT_TRUE(file.atEnd());
    EXPECT_TRUE(file.close().ok()) << "closing nothing";
}

TEST(TextFileWriting, LinesEndInCrLfAndTheFileIsEmptiedFirst) {
    TempDir dir;
    const std::string path = dir.write("out.mrg", "old content that is longer\r\n");
    TextFile file;
    ASSERT_TRUE(file.openForWriting(path).ok());
    ASSERT_TRUE(file.writeLine(" Number        X-axis").ok());
    ASSERT_TRUE(file.writeLine("").ok());
    ASSERT_TRUE(file.writeLine(std::string_view("a\0b", 3)).ok());
    ASSERT_TRUE(file.close().ok());
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
              " Number        X-axis\r\n\r\n" + std::string("a\0b", 3) + "\r\n");

    // Opening another file closes (and so flushes) the written one: one handle only.
    ASSERT_TRUE(file.openForWriting(path).ok());
    ASSERT_TRUE(file.writeLine("1 2").ok());
    ASSERT_TRUE(file.openForReading(path).ok());
    Field field;
    ASSERT_TRUE(file.readField(field).ok());
    EXPECT_EQ(field.value, 1);
    EXPECT_EQ(file.writeLine("x").code(), kOutputFailed) << "open for reading";
    file.closeAll();
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(file.writeLine("x").code(), kOutputFailed) << "nothing open";
}

TEST(TextFileWriting, FailureCodes) {
    TempDir dir;
    const fs::path locked = dir.path("locked");
    fs::create_directory(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    const struct {
        const char *name;
        std::string path;
        int code;
    } cases[] = {
        {"missing folder", dir.path("no_such_folder/out.mrg"), kPathNotFound},
        {"a file used as folder", dir.write("plain.txt", "x") + "/out.mrg", kPathNotFound},
        {"empty name", "", kPathNotFound},
        {"a folder as the file", dir.path(""), kOutputFailed},
        {"read-only folder", (locked / "out.mrg").string(), kPermissionDenied},
    };
    for (const auto &c : cases) {
        TextFile file;
        const Status status = file.openForWriting(c.path);
        if (status.ok() && c.code == kPermissionDenied && ::geteuid() == 0)
            continue; // root may write into a read-only folder
        EXPECT_EQ(status.code(), c.code) << c.name << ": " << status.message();
        EXPECT_FALSE(status.message().empty()) << c.name;
        EXPECT_FALSE(file.isOpen()) << c.name;
    }
}

TEST(TextFileWriting, FullDeviceFailsOnWriteOrClose) {
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    TextFile file;
    ASSERT_TRUE(file.openForWriting("/dev/full").ok());
    // A line bigger than any stream buffer fails at once; a short one at the latest on close.
    const Status big = file.writeLine(std::string(1 << 20, 'x'));
    EXPECT_EQ(big.code(), kOutputFailed) << big.message();
    ASSERT_TRUE(file.openForWriting("/dev/full").ok());
    const Status small = file.writeLine("1");
    const Status closed = file.close();
    EXPECT_EQ(small.ok() ? closed.code() : small.code(), kOutputFailed);
    EXPECT_FALSE(file.isOpen());
}

} // namespace
