#include "engine/text_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using mergon::Field;
using mergon::Status;
using mergon::TextFile;

namespace {

using Kind = Field::Kind;

// Read buffer sizes: tiny ones put every item across refills.
const std::size_t kBufferSizes[] = {1, 2, 3, 7, 64, TextFile::kDefaultBufferSize};

class TempDir {
public:
    TempDir() {
        path_ = fs::temp_directory_path() /
                ("mergon_text_file_" + std::to_string(::getpid()) + "_" + std::to_string(next_++));
        fs::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
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

std::string readBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Expected {
    Kind kind;
    double value = 0;
};
Expected num(double v) { return {Kind::Number, v}; }
const Expected kEmpty{Kind::Empty};
const Expected kText{Kind::NonNumeric};
const Expected kHuge{Kind::TooLarge};

const char *kindName(Kind kind) {
    switch (kind) {
    case Kind::Number:
        return "Number";
    case Kind::Empty:
        return "Empty";
    case Kind::NonNumeric:
        return "NonNumeric";
    case Kind::TooLarge:
        return "TooLarge";
    }
    return "?";
}

// Every field up to the end of the data; the read after the last one must fail past the end.
std::vector<Field> readAllFields(const std::string &path, std::size_t bufferSize,
                                 bool convert = true) {
    TextFile file(bufferSize);
    std::vector<Field> fields;
    Status status = file.openForReading(path);
    EXPECT_TRUE(status.ok()) << status.message();
    while (!file.atEnd()) {
        Field field;
        status = file.readField(field, convert);
        EXPECT_TRUE(status.ok()) << status.message();
        if (!status.ok() || fields.size() > 100000)
            break;
        fields.push_back(field);
    }
    Field extra;
    EXPECT_EQ(file.readField(extra).code(), mergon::kPastEnd);
    EXPECT_TRUE(file.close().ok());
    return fields;
}

struct FieldCase {
    const char *name;
    std::string text;
    std::vector<Expected> fields;
};

std::string longDigits(const std::string &head, int zeros, const std::string &tail) {
    return head + std::string(static_cast<std::size_t>(zeros), '0') + tail;
}

// Exactly halfway between 1 and the next double: ties to even give 1.
const std::string kHalfway = "1.00000000000000011102230246251565404236316680908203125";

const FieldCase kFieldCases[] = {
    {"blanks", "1 2 3", {num(1), num(2), num(3)}},
    {"commas", "1,2,3", {num(1), num(2), num(3)}},
    {"blanks around comma", "1 , 2", {num(1), num(2)}},
    {"tabs", "\t1\t2\t,\t3\t", {num(1), num(2), num(3)}},
    {"two commas", "1,,2", {num(1), kEmpty, num(2)}},
    {"comma before line end", "1,2,\r\n3", {num(1), num(2), kEmpty, num(3)}},
    {"comma at the very end", "1,2,", {num(1), num(2), kEmpty}},
    {"comma before trailing blank lines", "1,2, \n\n  \n", {num(1), num(2), kEmpty}},
    {"blank between commas", "1, ,2", {num(1), kEmpty, num(2)}},
    {"comma at line start", ",1\n,2", {kEmpty, num(1), kEmpty, num(2)}},
    {"commas only", ",,", {kEmpty, kEmpty, kEmpty}},
    {"blank and comma", "1 ,\n2", {num(1), kEmpty, num(2)}},
    {"empty line inside", "1\n\n2", {num(1), kEmpty, num(2)}},
    {"blank line inside", "1\r\n \t \r\n2", {num(1), kEmpty, num(2)}},
    {"empty first line", "\n1", {kEmpty, num(1)}},
    {"mixed line ends", "1\r\n2\r3\n4", {num(1), num(2), num(3), num(4)}},
    {"CR CR is two line ends", "1\r\r2", {num(1), kEmpty, num(2)}},
    {"LF CR is two line ends", "1\n\r2", {num(1), kEmpty, num(2)}},
    {"trailing blank lines", "1 2\r\n\r\n \t\r\n\n\r", {num(1), num(2)}},
    {"trailing blanks without line end", "1 2   ", {num(1), num(2)}},
    {"exponent letters",
     "1e3 1E3 1d3 1D-3 2.5e+2 2.5D+2",
     {num(1000), num(1000), num(1000), num(0.001), num(250), num(250)}},
    {"signs and points",
     "+2 -.5 5. .5 -0.25 +.5e1 5.e1 007",
     {num(2), num(-0.5), num(5), num(0.5), num(-0.25), num(5), num(50), num(7)}},
    {"not numbers",
     ".\n+\n-\ne5\n1e\n1e+\n1.2.3\n--1\n0x10\nnan\ninf\nInfinity\n1,5",
     {kText, kText, kText, kText, kText, kText, kText, kText, kText, kText, kText, kText, num(1),
      num(5)}},
    {"text runs to the comma", "abc def,2", {kText, num(2)}},
    {"text runs to the line end", "abc 1 2\n3", {kText, num(3)}},
    {"number followed by letters", "1abc 2,3", {kText, num(3)}},
    {"incomplete exponent then blank", "1e 5,2", {kText, num(2)}},
    {"text then blanks then comma", "a  ,  2", {kText, num(2)}},
    {"quoted numbers", "\"1.5\",\"-2e1\" \"3\"", {num(1.5), num(-20), num(3)}},
    {"quoted text", "\"abc\",\"1,5\",\" 1\",\"\",1", {kText, kText, kText, kText, num(1)}},
    {"quoted then blanks", "\"2\"  ,  3", {num(2), num(3)}},
    {"quoted then letters", "\"1.5\"x,2", {kText, num(2)}},
    {"unterminated quote", "\"1.5 2\n3", {kText, num(3)}},
    {"quote inside text", "ab\"c,d\",4", {kText, kText, num(4)}},
    {"too large", "1e999,-1e999,1.8e308", {kHuge, kHuge, kHuge}},
    {"largest double", "1.7976931348623157e308", {num(1.7976931348623157e308)}},
    {"underflow", "1e-999 -1e-999 1e-99999999999999999999", {num(0), num(-0.0), num(0)}},
    {"denormal", "4.9406564584124654e-324", {num(4.9406564584124654e-324)}},
    {"huge exponent on zero", "0e99999999999 0.000e999", {num(0), num(0)}},
    {"many digits",
     longDigits("1", 2000, "e-2000") + " " + longDigits("0.", 500, "5e501"),
     {num(1), num(5)}},
    {"long leading zeros", longDigits("", 3000, "12.5"), {num(12.5)}},
    {"halfway ties to even", kHalfway, {num(1)}},
    {"halfway plus a far digit",
     kHalfway + std::string(1000, '0') + "1",
     {num(std::nextafter(1.0, 2.0))}},
    {"halfway plus far zeros", kHalfway + std::string(1000, '0'), {num(1)}},
    {"byte-order mark",
     "\xEF\xBB\xBF"
     "1 2",
     {num(1), num(2)}},
    {"byte-order mark not at the start",
     "1 \xEF\xBB\xBF"
     "2",
     {num(1), kText}},
    {"control characters are text",
     std::string("1 \x01\x7f,\0,2", 8),
     {num(1), kText, kText, num(2)}},
};

TEST(TextFileFields, GrammarAtEveryBufferSize) {
    TempDir dir;
    for (const FieldCase &c : kFieldCases) {
        const std::string path = dir.write("case.txt", c.text);
        for (std::size_t size : kBufferSizes) {
            const std::vector<Field> fields = readAllFields(path, size);
            SCOPED_TRACE(std::string(c.name) + ", buffer " + std::to_string(size));
            ASSERT_EQ(fields.size(), c.fields.size());
            for (std::size_t i = 0; i < fields.size(); ++i) {
                EXPECT_EQ(kindName(fields[i].kind), kindName(c.fields[i].kind)) << "field " << i;
                if (c.fields[i].kind == Kind::Number) {
                    EXPECT_EQ(fields[i].value, c.fields[i].value) << "field " << i;
                    EXPECT_EQ(std::signbit(fields[i].value), std::signbit(c.fields[i].value))
                        << "field " << i;
                }
            }
        }
    }
}

// Without conversion a number is only classified: the same kinds, numbers of any size.
TEST(TextFileFields, ClassifyingOnlyKeepsTheFieldCount) {
    TempDir dir;
    for (const FieldCase &c : kFieldCases) {
        const std::string path = dir.write("case.txt", c.text);
        const std::vector<Field> fields = readAllFields(path, 3, false);
        ASSERT_EQ(fields.size(), c.fields.size()) << c.name;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const Kind expected =
                c.fields[i].kind == Kind::TooLarge ? Kind::Number : c.fields[i].kind;
            EXPECT_EQ(kindName(fields[i].kind), kindName(expected)) << c.name << ", field " << i;
            EXPECT_EQ(fields[i].value, 0) << c.name;
        }
    }
}

TEST(TextFileLines, LineEndsAndTheLastLine) {
    struct Case {
        const char *name;
        std::string text;
        std::vector<std::string> lines;
    } cases[] = {
        {"CR LF, CR and LF", "a\r\nb\rc\nd", {"a", "b", "c", "d"}},
        {"terminator after the last line", "a\r\n", {"a"}},
        {"an empty last line", "a\n\n", {"a", ""}},
        {"CR LF split by the buffer", "ab\r\ncd\r\n", {"ab", "cd"}},
        {"empty file", "", {}},
        {"only a line end", "\r\n", {""}},
        {"blanks kept", "  a \t\r\n", {"  a \t"}},
        {"byte-order mark skipped", "\xEF\xBB\xBFx\ny", {"x", "y"}},
        {"part of a mark is text", "\xEF\xBBx", {"\xEF\xBBx"}},
        {"Shift-JIS bytes", "\x95\x5c\x83\x5c,\"\r\n1", {"\x95\x5c\x83\x5c,\"", "1"}},
    };
    TempDir dir;
    for (const Case &c : cases) {
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
            EXPECT_EQ(status.code(), mergon::kPastEnd);
            EXPECT_EQ(lines, c.lines);
            // skipLine sees the same lines.
            ASSERT_TRUE(file.openForReading(path).ok());
            for (std::size_t i = 0; i < c.lines.size(); ++i)
                EXPECT_TRUE(file.skipLine().ok());
            EXPECT_EQ(file.skipLine().code(), mergon::kPastEnd);
        }
    }
}

// atEnd must look past long blank runs without consuming them, whatever the buffer size.
TEST(TextFileLines, LongBlankRunsAheadOfData) {
    std::string blankLines;
    for (int i = 0; i < 300; ++i)
        blankLines += " \t \r\n";
    TempDir dir;
    const std::string inner = dir.write("inner.txt", "1\r\n" + blankLines + "2");
    const std::string trailing = dir.write("trailing.txt", "1\r\n" + blankLines);
    for (std::size_t size : kBufferSizes) {
        SCOPED_TRACE("buffer " + std::to_string(size));
        std::vector<Field> fields = readAllFields(inner, size);
        ASSERT_EQ(fields.size(), 302u);
        EXPECT_EQ(fields.front().value, 1);
        EXPECT_EQ(fields.back().value, 2);
        for (std::size_t i = 1; i + 1 < fields.size(); ++i)
            ASSERT_EQ(fields[i].kind, Kind::Empty) << i;
        EXPECT_EQ(readAllFields(trailing, size).size(), 1u);

        // After atEnd said yes, the blank lines are still there to be read as lines.
        TextFile file(size);
        ASSERT_TRUE(file.openForReading(trailing).ok());
        ASSERT_TRUE(file.skipLine().ok());
        EXPECT_TRUE(file.atEnd());
        std::string line;
        for (int i = 0; i < 300; ++i) {
            ASSERT_TRUE(file.readLine(line).ok()) << i;
            ASSERT_EQ(line, " \t ") << i;
        }
        EXPECT_EQ(file.readLine(line).code(), mergon::kPastEnd);
        EXPECT_EQ(file.lineEndsRead(), 301);
    }
}

TEST(TextFileReading, FailureCodes) {
    TempDir dir;
    TextFile file;
    Status status = file.openForReading(dir.path("missing.txt"));
    EXPECT_EQ(status.code(), mergon::kFileNotFound);
    EXPECT_NE(status.message().find("missing.txt"), std::string::npos);
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(file.openForReading(dir.path("no_folder/a.txt")).code(), mergon::kFileNotFound);
    EXPECT_EQ(file.openForReading("").code(), mergon::kFileNotFound);
    status = file.openForReading(dir.path(""));
    EXPECT_EQ(status.code(), mergon::kFileNotFound);
    EXPECT_NE(status.message().find("folder"), std::string::npos);

    Field field;
    std::string line;
    EXPECT_EQ(file.readField(field).code(), mergon::kPastEnd) << "nothing open";
    EXPECT_EQ(file.readLine(line).code(), mergon::kPastEnd) << "nothing open";
    EXPECT_TRUE(file.atEnd());

    ASSERT_TRUE(file.openForReading(dir.write("empty.txt", "")).ok());
    EXPECT_TRUE(file.atEnd());
    EXPECT_EQ(file.readField(field).code(), mergon::kPastEnd);
    EXPECT_EQ(file.skipLine().code(), mergon::kPastEnd);
    EXPECT_TRUE(file.close().ok());
    EXPECT_FALSE(file.isOpen());
    EXPECT_TRUE(file.close().ok()) << "closing nothing";
}

TEST(TextFileReading, LineCountFollowsFields) {
    TempDir dir;
    const std::string path = dir.write("f.txt", "1 2\r\n\r\n3,\n4");
    TextFile file(2);
    ASSERT_TRUE(file.openForReading(path).ok());
    Field field;
    const std::pair<std::int64_t, bool> after[] = {{0, false}, {1, true}, {2, true},
                                                   {2, false}, {3, true}, {3, false}};
    for (const auto &[lineEnds, lineStart] : after) {
        ASSERT_TRUE(file.readField(field).ok());
        EXPECT_EQ(file.lineEndsRead(), lineEnds);
        EXPECT_EQ(file.atLineStart(), lineStart);
    }
    EXPECT_TRUE(file.atEnd());
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
    EXPECT_EQ(readBytes(path), " Number        X-axis\r\n\r\n" + std::string("a\0b", 3) + "\r\n");

    // Opening another file closes (and so flushes) the written one: one handle only.
    ASSERT_TRUE(file.openForWriting(path).ok());
    ASSERT_TRUE(file.writeLine("1 2").ok());
    ASSERT_TRUE(file.openForReading(path).ok());
    Field field;
    ASSERT_TRUE(file.readField(field).ok());
    EXPECT_EQ(field.value, 1);
    EXPECT_EQ(file.writeLine("x").code(), mergon::kOutputFailed) << "open for reading";
    file.closeAll();
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(file.writeLine("x").code(), mergon::kOutputFailed) << "nothing open";
}

TEST(TextFileWriting, FailureCodes) {
    TempDir dir;
    const std::string plainFile = dir.write("plain.txt", "x");
    struct Case {
        const char *name;
        std::string path;
        int code;
    } cases[] = {
        {"missing folder", dir.path("no_such_folder/out.mrg"), mergon::kPathNotFound},
        {"a file used as folder", plainFile + "/out.mrg", mergon::kPathNotFound},
        {"empty name", "", mergon::kPathNotFound},
        {"a folder as the file", dir.path(""), mergon::kOutputFailed},
    };
    for (const Case &c : cases) {
        TextFile file;
        const Status status = file.openForWriting(c.path);
        EXPECT_EQ(status.code(), c.code) << c.name << ": " << status.message();
        EXPECT_FALSE(status.message().empty()) << c.name;
        EXPECT_FALSE(file.isOpen()) << c.name;
    }
}

TEST(TextFileWriting, ReadOnlyFolderIsPermissionDenied) {
    TempDir dir;
    const fs::path folder = dir.path("locked");
    fs::create_directory(folder);
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    TextFile file;
    const Status status = file.openForWriting((folder / "out.mrg").string());
    if (status.ok() && ::geteuid() == 0)
        GTEST_SKIP() << "root may write into a read-only folder";
    EXPECT_EQ(status.code(), mergon::kPermissionDenied) << status.message();
}

TEST(TextFileWriting, FullDeviceFailsOnWriteOrClose) {
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    TextFile file;
    ASSERT_TRUE(file.openForWriting("/dev/full").ok());
    // A line bigger than any stream buffer fails at once; a short one at the latest on close.
    const Status big = file.writeLine(std::string(1 << 20, 'x'));
    EXPECT_EQ(big.code(), mergon::kOutputFailed) << big.message();
    ASSERT_TRUE(file.openForWriting("/dev/full").ok());
    const Status small = file.writeLine("1");
    const Status closed = file.close();
    EXPECT_EQ(small.ok() ? closed.code() : small.code(), mergon::kOutputFailed);
    EXPECT_FALSE(file.isOpen());
}

// The same fields whatever the buffer size, for every test and sample file.
TEST(TextFileFields, SameStreamAtEveryBufferSize) {
    int files = 0;
    for (const char *folder : {MERGON_TEST_DATA, MERGON_EXAMPLES}) {
        if (!fs::is_directory(folder))
            continue;
        for (const auto &entry : fs::directory_iterator(folder)) {
            if (!entry.is_regular_file())
                continue;
            ++files;
            const std::string path = entry.path().string();
            const std::vector<Field> reference = readAllFields(path, TextFile::kDefaultBufferSize);
            for (std::size_t size : {1, 2, 5}) {
                const std::vector<Field> fields = readAllFields(path, size);
                ASSERT_EQ(fields.size(), reference.size()) << path << ", buffer " << size;
                for (std::size_t i = 0; i < fields.size(); ++i) {
                    ASSERT_EQ(fields[i].kind, reference[i].kind) << path << ", field " << i;
                    ASSERT_EQ(fields[i].value, reference[i].value) << path << ", field " << i;
                }
            }
        }
    }
    EXPECT_GT(files, 10);
}

} // namespace
