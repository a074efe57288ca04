#include "engine/number_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <sstream>
#include <string>

using namespace mergon;

namespace {

// A double's shortest text, which reads back to it alone: equal texts are equal bits.
std::string shortest(double value) {
    char digits[32];
    return {digits, std::to_chars(digits, digits + sizeof digits, value).ptr};
}

// The scan of `text` as "<value>|<rest>", "none|<rest>" or "too large|<rest>": the value in its
// shortest exact form, then what the scan left unread.
std::string scanned(const std::string &text, char decimalMark) {
    double value = -7;
    const auto [ptr, error] =
        scanNumber(text.data(), text.data() + text.size(), value, decimalMark);
    const std::string shown = error == NumberError::None         ? shortest(value)
                              : error == NumberError::OutOfRange ? "too large"
                                                                 : "none";
    return shown + "|" + std::string(ptr, text.data() + text.size());
}

const std::string kZeros(3000, '0');
// Exactly halfway between 1 and the next double: ties to even give 1.
const std::string kHalfway = "1.00000000000000011102230246251565404236316680908203125";

TEST(NumberScan, TakesTheLongestNumberAtTheStart) {
    const struct {
        const char *name;
        std::string text, expected;
        char decimalMark = '.';
    } cases[] = {
        // clang-format off
        {"exponent letters", "2.5D+2", "250|"}, {"lower-case d", "1d-3", "0.001|"},
        {"E and e", "1E3e", "1000|e"},
        {"signs and points", "+.5e1", "5|"}, {"point without fraction", "5.e1x", "50|x"},
        {"leading zeros", "007", "7|"}, {"negative zero", "-0.0", "-0|"},
        {"an exponent without digits is not taken", "1e+", "1|e+"},
        {"a second point ends the number", "1.2.3", "1.2|.3"},
        {"a comma is not part of a number", "1,5", "1|,5"},
        {"no digits", ".e5", "none|.e5"}, {"sign alone", "-", "none|-"},
        {"no blanks before the number", " 1", "none| 1"},
        {"words", "nan", "none|nan"}, {"hexadecimal", "0x10", "0|x10"},
        {"too large", "1e999", "too large|"}, {"too large by its digits", "1" + kZeros + "e-2000", "too large|"},
        {"largest double", "1.7976931348623157e308", "1.7976931348623157e+308|"},
        {"underflow reads as zero", "-1e-99999999999999999999", "-0|"},
        {"smallest denormal", "4.9406564584124654e-324", "5e-324|"},
        {"small by its digits", "0." + kZeros + "5e3001", "5|"},
        {"many digits", kZeros + "12.5", "12.5|"},
        {"halfway ties to even", kHalfway, "1|"},
        {"beyond halfway by a far digit", kHalfway + kZeros + "1", "1.0000000000000002|"},
        // With a decimal comma the point is an ordinary character; every way of conversion.
        {"decimal comma", "1,5", "1.5|", ','}, {"sign, no integer digits", "-,25", "-0.25|", ','},
        {"E and D exponents", "1,5E+03", "1500|", ','}, {"D exponent", "1,5D+03", "1500|", ','},
        {"comma without fraction", "5,e1x", "50|x", ','}, {"the point is text", "1.5", "1|.5", ','},
        {"a second comma ends the number", "1,2,3", "1.2|,3", ','},
        {"beyond the exact way", "-0,1e-30", "-1e-31|", ','}, {"too large", "1,5e999", "too large|", ','},
        {"halfway, many digits", "1,00000000000000011102230246251565404236316680908203125" + kZeros + "1",
         "1.0000000000000002|", ','},
        // clang-format on
    };
    for (const auto &[name, text, expected, mark] : cases)
        EXPECT_EQ(scanned(text, mark), expected) << name;
}

// Against the standard library's correctly rounded conversion, around the limits of the exact
// fast path (2^53, 10^22); written with a decimal comma, the same bits.
TEST(NumberScan, ValuesAreCorrectlyRounded) {
    std::istringstream numbers(
        "0.1 1e22 1e23 1e-22 1e-23 9007199254740992 9007199254740993 900719925474099.3 "
        "123456789012345678 3.14159265358979323846 7e-300 0.000000000000000000000123 "
        "4.35e-2 +2.5 -1234.5678e+3 2.2250738585072011e-308");
    for (std::string n; numbers >> n;) {
        std::string comma = n;
        std::replace(comma.begin(), comma.end(), '.', ',');
        const std::string want = shortest(std::strtod(n.c_str(), nullptr)) + "|";
        EXPECT_EQ(std::pair(scanned(n, '.'), scanned(comma, ',')), std::pair(want, want));
    }
}

} // namespace
