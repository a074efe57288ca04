#include "engine/replaced_file.h"
#include "engine/text_file.h"

#include "engine/header_names.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <charconv>
#include <regex>
#include <string>
#include <vector>

using namespace mergon;

namespace {

// Every field up to the end of the data, blank-separated: E for empty, M for missing, T for
// text, H for too large, else the value in its shortest exact form; a failure ends the text with
// its message. A tiny buffer puts items, CR LF pairs and marks across refills.
std::string readAllFields(const std::string &path, bool convert, const ReadingRules &rules,
                          std::size_t bufferSize) {
    TextFile file(bufferSize);
    file.setRules(rules);
    std::string out;
    Field field;
    Status status = file.openForReading(path);
    while (status.ok() && !file.atEnd() && out.size() < 100000 &&
           (status = file.readField(field, convert)).ok()) {
        char text[32] = {"NEMTH"[static_cast<int>(field.kind)]}; // by the order of the kinds
        if (field.kind == Field::Kind::Number)
            *std::to_chars(text, text + sizeof text - 1, field.value).ptr = '\0';
        out += (out.empty() ? "" : " ") + std::string(text);
    }
    EXPECT_EQ(file.readField(field).code(), kPastEnd) << "after the last field";
    EXPECT_TRUE(file.close().ok());
    return status.ok() ? out : out + " failed: " + status.message();
}

const std::string kZeros(3000, '0');

constexpr ReadingRules kSemicolons{'.', ';'}, kDecimalComma{',', ';'};

const struct {
    const char *name;
    std::string text;
    const char *fields;
    ReadingRules rules = {};
} kFieldCases[] = {
    // clang-format off
    {"separators", "1 2,3 , 4,,5, ,6", "1 2 3 4 M 5 M 6"}, {"tabs", "\t1\t2\t,\t3\t", "1 2 3"},
    {"commas at line start and end, and at the very end", ",1 ,\r\n,2,\n3,", "M 1 M M 2 M 3 M"},
    {"blank lines inside are empty fields", "\n1\n\n2\r\n \t \r\n3", "E 1 E 2 E 3"},
    {"CR LF, CR, LF; CR CR and LF CR are two", "1\r\n2\r3\n4\r\r5\n\r6", "1 2 3 4 E 5 E 6"},
    {"trailing blank lines", "1 2\r\n\r\n \t\r\n\n\r", "1 2"},
    {"not numbers", ".\n+\n-\ne5\n1e\n1e+\n1.2.3\n--1\n0x10\nnan\ninf\nInfinity\n1,5",
     "T T T T T T T T T M T T 1 5"},
    {"text runs to a comma or the line end", "abc def,2\nabc 1 2\n1abc 2,3\n1e 5,4\na  ,  5",
     "T 2 T T 3 T 4 T 5"},
    {"quoted items", "\"1.5\",\"-2e1\" \"3\"  ,  4,\"abc\",\"1,5\",\" 1\",\"\",1",
     "1.5 -20 3 4 T T T T 1"},
    {"many digits, too large", "1" + kZeros + "e-3000 0." + kZeros + "5e3001 " + kZeros + "12.5 -1e999",
     "1 5 12.5 H"},
    {"missing values end like numbers", "NA 1 nan\tN/A,\"n/a\" \"NaN\" NAN2 N/A/ na,1\r\nN/a",
     "M 1 M M M M T 1 M"},
    {"comment lines hold no field; # inside a line is text",
     "# head\n1 #2\n  \t# x, 3\n2,#\n#\r\n\n# 4\n5\n\n  # end\n\n", "1 T 2 T E 5"},
    {"byte-order mark only at the start", "\xEF\xBB\xBF" "1 \xEF\xBB\xBF" "2", "1 T"},
    // Other reading rules: the separator takes the comma's part, and the decimal mark the point's.
    {"decimal comma", "1,5;-,25\t1,5E+03 1,5D+03 5,\r\n,5", "1.5 -0.25 1500 1500 5 0.5", kDecimalComma},
    {"decimal comma: a point is text, text runs to a semicolon", "1.5;2 abc,d 1,5;3\n1,2,3",
     "T 2 T 3 T", kDecimalComma},
    {"semicolons: empty fields", ";1 ;\r\n;2;;\n3;", "M 1 M M 2 M M 3 M", kDecimalComma},
    {"semicolons with a decimal point: a comma is text", "1,5;2.5 ;,\n1 2", "T 2.5 T 1 2", kSemicolons},
    {"quoted items with a decimal comma", "\"1,5\";\"1.5\" \"2\" ;\"a;b\"", "1.5 T 2 T", kDecimalComma},
    {"decimal comma: many digits, too large", "1" + kZeros + "e-3000;0," + kZeros + "5e3001 1e999",
     "1 5 H", kDecimalComma},
    // clang-format on
};

TEST(TextFileFields, Grammar) {
    TempDir dir;
    // Without conversion a number is only classified: numbers of any size, no value. A buffer of
    // two bytes puts items across refills; the default one holds them whole.
    for (const auto &[name, text, fields, rules] : kFieldCases)
        for (bool convert : {true, false})
            for (std::size_t bufferSize : {std::size_t{2}, TextFile::kDefaultBufferSize})
                EXPECT_EQ(readAllFields(dir.write("case.txt", text), convert, rules, bufferSize),
                          convert ? fields
                                  : std::regex_replace(fields, std::regex("[^ EMT]+"), "0"))
                    << name << (convert ? "" : ", classified only") << ", buffer " << bufferSize;
}

// Header names are split like the data, except that blanks end an unquoted name as well.
TEST(TextFileFields, HeaderNames) {
    // clang-format off
    const struct { const char *name; std::string line; std::vector<std::string> names;
                   ReadingRules rules = {}; } cases[] = {
        {"blanks and tabs", "No  Time/s\tTset/C ", {"No", "Time/s", "Tset/C"}},
        {"commas, blanks around them, empty names", ",x , y,,z,", {"", "x", "y", "", "z", ""}},
        {"quotes keep blanks and separators", "\"Time (s)\",\"a,b\" c", {"Time (s)", "a,b", "c"}},
        {"quotes only group; an unclosed one runs to the end", "a\"b c\"d \"e ;f", {"ab cd", "e ;f"}},
        {"semicolons; a comma is part of a name", "T,set;\"Heat flow\";;y",
         {"T,set", "Heat flow", "", "y"}, kDecimalComma},
        {"an empty line is one empty name", "", {""}},
    };
    // clang-format on
    for (const auto &[name, line, names, rules] : cases)
        EXPECT_EQ(headerNames(line, rules), names) << name;
}

TEST(TextFileLines, EveryLineEndEndsALineAndTheLastTerminatorStartsNone) {
    TempDir dir;
    TextFile file(2);
    // A Shift-JIS header line is bytes like any other.
    ASSERT_TRUE(
        file.openForReading(dir.write("l.txt", "\x91\xaa\x92\xe8\r\nlf\ncr\rlast\r\n")).ok());
    std::string line, lines;
    while (file.readLine(line).ok())
        lines += line + "|";
    EXPECT_EQ(lines, "\x91\xaa\x92\xe8|lf|cr|last|");
    EXPECT_EQ(file.readLine(line).code(), kPastEnd);
}

// Read whole, the last file's bytes stay: opening its path again takes them, not the disk,
// until another file is opened, a file is written or they are dropped.
TEST(TextFileWhole, LastFileHeldUntilAnotherOpenAWriteOrADrop) {
    TempDir dir;
    TextFile file(TextFile::Reading::Whole);
    const std::string a = dir.file("a.txt"), b = dir.write("b.txt", "b\n");
    std::string read;
    const auto firstLine = [&](const std::string &path, const std::string &disk) {
        dir.write(std::filesystem::path(path).filename(), disk);
        EXPECT_TRUE(file.openForReading(path).ok() && file.readLine(read).ok() &&
                    file.close().ok());
        return read;
    };
    EXPECT_EQ(firstLine(a, "1\n"), "1");
    EXPECT_EQ(firstLine(a, "2\n"), "1") << "held";
    EXPECT_EQ(firstLine(b, "b\n"), "b");
    EXPECT_EQ(firstLine(a, "3\n"), "3") << "another file was opened";
    file.dropHeldFile();
    EXPECT_EQ(firstLine(a, "4\n"), "4") << "dropped";
    ReplacedFile output;
    ASSERT_TRUE(output.prepare(dir.file("out.txt")).ok());
    ASSERT_TRUE(file.openForWriting(output).ok());
    EXPECT_TRUE(file.close().ok());
    EXPECT_EQ(firstLine(a, "5\n"), "5") << "a file was written";
}

} // namespace
