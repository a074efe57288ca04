#include "engine/number_text.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <string>
#include <tuple>
#include <utility>

namespace mergon {
namespace {

TEST(NumberText, SingleValues) {
    const std::pair<float, const char *> cases[] = {
        // clang-format off
        // Sign place, negative zero, no 0 before the point, no trailing zeros after it.
        {0.0f, " 0"}, {-0.0f, " 0"}, {-1.0f, "-1"}, {0.5f, " .5"}, {-0.25f, "-.25"},
        {100.0f, " 100"}, {0.06f, " .06"}, {0.70000005f, " .7"}, {1.0000001f, " 1"},
        // Plain form up to exponent 6, exponent form from 7; 9999999.5f is already 1E+07.
        {9999999.0f, " 9999999"}, {10000000.0f, " 1E+07"}, {-12345678.0f, "-1.234568E+07"},
        {123456789.0f, " 1.234568E+08"}, {9999999.5f, " 1E+07"},
        // Rounding to 7 digits carries into the next power of ten, or stops short of it; ties are
        // decided on the exact binary value, to even.
        {999999.96875f, " 1000000"}, {999999.9375f, " 999999.9"},
        {999998.25f, " 999998.2"}, {999998.75f, " 999998.8"},
        // Plain form down to exponent -4, chosen after rounding: 0.0001f lies just below 1E-04
        // and rounds up to it; the float below it keeps exponent -5.
        {0.0001f, " .0001"}, {0.00012345f, " .00012345"}, {0.00001f, " 1E-05"},
        {std::nextafter(0.0001f, 0.0f), " 9.999999E-05"}, {FLT_MAX, " 3.402823E+38"},
        {FLT_MIN, " 1.175494E-38"}, {-std::numeric_limits<float>::denorm_min(), "-1.401298E-45"},
        // Non-finite values keep the sign place.
        {HUGE_VALF, " Infinity"}, {-HUGE_VALF, "-Infinity"}, {std::nanf(""), " NaN"}, {-std::nanf(""), "-NaN"},
        // clang-format on
    };
    for (const auto &[value, text] : cases)
        EXPECT_EQ(singleText(value), text) << "value " << value;
}

TEST(NumberText, DoubleValues) {
    const std::pair<double, const char *> cases[] = {
        // clang-format off
        {-0.0, " 0"}, {-0.25, "-.25"}, {0.1 + 0.2, " .3"}, {1.0 / 3.0, " .333333333333333"},
        {-2.0 / 3.0, "-.666666666666667"}, {123456789.0, " 123456789"},
        // A float is written from its own value, not from the decimal it came from.
        {static_cast<double>(0.1f), " .100000001490116"},
        // 15 digits plain, exponent form from 1E+15, also when rounding carries into it.
        {999999999999999.0, " 999999999999999"}, {1e15, " 1E+15"},
        {1234567890123456.0, " 1.23456789012346E+15"}, {999999999999999.875, " 1E+15"},
        // Ties to even on the exact binary value.
        {100000000000000.5, " 100000000000000"}, {100000000000001.5, " 100000000000002"},
        {0.0001, " .0001"}, {0.00001, " 1E-05"}, {9.9999999999999e-5, " 9.9999999999999E-05"},
        // Exponents of three digits.
        {1e100, " 1E+100"}, {DBL_MAX, " 1.79769313486232E+308"}, {DBL_MIN, " 2.2250738585072E-308"},
        {std::numeric_limits<double>::denorm_min(), " 4.94065645841247E-324"},
        {HUGE_VAL, " Infinity"}, {-HUGE_VAL, "-Infinity"}, {std::nan(""), " NaN"}, {-std::nan(""), "-NaN"},
        // clang-format on
    };
    for (const auto &[value, text] : cases)
        EXPECT_EQ(doubleText(value), text) << "value " << value;
}

// Whole numbers to the limits of 64 bits.
TEST(NumberText, IntegerValues) {
    EXPECT_EQ(std::tuple(integerText(0), integerText(-5),
                         integerText(std::numeric_limits<int64_t>::max()),
                         integerText(std::numeric_limits<int64_t>::min())),
              std::tuple(" 0", "-5", " 9223372036854775807", "-9223372036854775808"));
}

TEST(PrintZones, WholeLines) {
    const std::tuple<int64_t, float, double, const char *> cases[] = {
        {1, 0.0f, 1.25, " 1             0             1.25 "},
        // The x text ends at column 28 exactly: y follows at column 29 as usual.
        {1, -12345678.0f, -1.0 / 3.0, " 1            -1.234568E+07 -.333333333333333 "},
        {32768, 3.0e-5f, 1e-300, " 32768         3E-05         1E-300 "},
        {4, FLT_MAX, -DBL_MAX, " 4             3.402823E+38 -1.79769313486232E+308 "},
    };
    for (const auto &[row, x, y, line] : cases)
        EXPECT_EQ(outputLine(row, x, y), line) << "row " << row;
}

} // namespace
} // namespace mergon
