#include "engine/text_file.h"

#include "temp_dir.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdint>

#include <gtest/gtest.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <stdlib.h>
#include <string>

namespace fs = std::filesystem;
using namespace mergon;

namespace {

using Kind = Field::Kind;

// A tiny buffer puts items, CR LF pairs and marks across refills.
constexpr std::size_t kTinyBuffer = 2;


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
    // clang-format off
    {"blanks and commas", "1 2,3 , 4", "1 2 3 4"},
    {"tabs", "\t1\t2\t,\t3\t", "1 2 3"},
    {"empty between commas", "1,,2, ,3", "1 E 2 E 3"},
    {"commas at line start and end", ",1 ,\r\n,2,\n3", "E 1 E E 2 E 3"},
    {"comma at the very end", "1,2,", "1 2 E"},
    {"blank lines inside are empty fields", "\n1\n\n2\r\n \t \r\n3", "E 1 E 2 E 3"},
    {"CR LF, CR, LF; CR CR and LF CR are two", "1\r\n2\r3\n4\r\r5\n\r6", "1 2 3 4 E 5 E 6"},
    {"trailing blank lines", "1 2\r\n\r\n \t\r\n\n\r", "1 2"},
    {"exponent letters", "1e3 1E3 1d3 1D-3 2.5e+2 2.5D+2", "1000 1000 1000 0.001 250 250"},
    {"signs and points", "+2 -.5 5. .5 -0.25 +.5e1 5.e1 007", "2 -0.5 5 0.5 -0.25 5 50 7"},
    {"not numbers", ".\n+\n-\ne5\n1e\n1e+\n1.2.3\n--1\n0x10\nnan\ninf\nInfinity\n1,5",
     "T T T T T T T T T T T T 1 5"},
    {"text runs to a comma or the line end", "abc def,2\nabc 1 2\n1abc 2,3\n1e 5,4\na  ,  5",
     "T 2 T T 3 T 4 T 5"},
    {"quoted numbers", "\"1.5\",\"-2e1\" \"3\"  ,  4", "1.5 -20 3 4"},
    {"quoted text", "\"abc\",\"1,5\",\" 1\",\"\",1", "T T T T 1"},
    {"too large", "1e999,-1e999,1.8e308 1.7976931348623157e308", "H H H 1.7976931348623157e+308"},
    {"underflow", "1e-999 -1e-999 1e-99999999999999999999 4.9406564584124654e-324",
     "0 -0 0 5e-324"},
    {"many digits", "1" + kZeros + "e-3000 0." + kZeros + "5e3001 " + kZeros + "12.5", "1 5 12.5"},
    {"halfway ties to even", kHalfway + " " + kHalfway + kZeros + " " + kHalfway + kZeros + "1",
     "1 1 1.0000000000000002"},
    {"byte-order mark only at the start", "\xEF\xBB\xBF" "1 \xEF\xBB\xBF" "2", "1 T"},
    // clang-format on
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
        SCOPED_TRACE(c.name);
        EXPECT_EQ(readAllFields(path, kTinyBuffer, true), c.fields);
        EXPECT_EQ(readAllFields(path, kTinyBuffer, false), classified);
    }
}

// Numbers read in place (the default buffer holds them whole) against the standard library's
// correctly rounded conversion, around the limits of the exact fast path (2^53, 10^22).
TEST(TextFileFields, NumbersAreCorrectlyRounded) {
    const std::vector<std::string> numbers = {
        "0.1", "-0.0", "1e22", "1e23", "1e-22", "1e-23", "9007199254740992", "9007199254740993",
        "900719925474099.3", "123456789012345678", "3.14159265358979323846", "7e-300", "5e-324",
        "1.7976931348623157e308", "0.000000000000000000000123", "4.35D-2", "+2.5", "-1234.5678e+3"};
    TempDir dir;
    std::string line;
    for (const std::string &n : numbers)
        line += n + " ";
    const std::string path = dir.write("numbers.txt", line + "\r\n");
    TextFile file;
    ASSERT_TRUE(file.openForReading(path).ok());
    for (std::string n : numbers) {
        Field field;
        ASSERT_TRUE(file.readField(field, true).ok()) << n;
        std::replace(n.begin(), n.end(), 'D', 'e');
        double expected = 0;
        std::from_chars(n.data() + (n[0] == '+'), n.data() + n.size(), expected);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(field.value), std::bit_cast<std::uint64_t>(expected))
            << n;
    }
}

TEST(TextFileLines, EveryLineEndEndsALineAndTheLastTerminatorStartsNone) {
    TempDir dir;
    // A Shift-JIS header line is bytes like any other.
    const std::string path = dir.write("lines.txt", "\x91\xaa\x92\xe8\r\nlf\ncr\rlast\r\n");
    TextFile file(kTinyBuffer);
    ASSERT_TRUE(file.openForReading(path).ok());
    std::string line;
    std::vector<std::string> lines;
    while (file.readLine(line).ok())
        lines.push_back(line);
    EXPECT_EQ(lines, (std::vector<std::string>{"\x91\xaa\x92\xe8", "lf", "cr", "last"}));
    EXPECT_EQ(file.readLine(line).code(), kPastEnd);
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
