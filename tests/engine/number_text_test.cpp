#include "engine/number_text.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <string>

namespace mergon {
namespace {

struct FloatCase {
    float value;
    const char *text;
};

TEST(NumberText, SingleValues) {
    const FloatCase cases[] = {
        // Sign place, zero and no 0 before the point.
        {0.0f, " 0"},
        {-0.0f, " 0"},
        {1.0f, " 1"},
        {-1.0f, "-1"},
        {0.5f, " .5"},
        {-0.25f, "-.25"},
        {1.25f, " 1.25"},
        {10.0f, " 10"},
        {100.0f, " 100"},
        {123.456f, " 123.456"},
        {0.06f, " .06"},
        {0.1f, " .1"},
        {0.70000005f, " .7"},
        {0.69999999f, " .7"},
        // Plain form up to exponent 6, exponent form from 7.
        {1234567.0f, " 1234567"},
        {9999999.0f, " 9999999"},
        {-9999999.0f, "-9999999"},
        {10000000.0f, " 1E+07"},
        {12345678.0f, " 1.234568E+07"},
        {-12345678.0f, "-1.234568E+07"},
        {1.5e10f, " 1.5E+10"},
        // 9999999.5 has no float of its own: the literal is already 1E+07.
        {9999999.5f, " 1E+07"},
        // Rounding to 7 digits carries into the next power of ten.
        {999999.96875f, " 1000000"},
        {999999.9375f, " 999999.9"},
        // Ties are decided on the exact binary value, to even.
        {999998.25f, " 999998.2"},
        {999998.75f, " 999998.8"},
        {-999998.25f, "-999998.2"},
        {1.0000001f, " 1"},
        {1.000001f, " 1.000001"},
        // Plain form down to exponent -4, exponent form below.
        {0.0001f, " .0001"},
        {0.00012345f, " .00012345"},
        {-0.00012345f, "-.00012345"},
        {0.00001f, " 1E-05"},
        {-0.00001f, "-1E-05"},
        {0.000015f, " 1.5E-05"},
        {0.00009999999f, " 9.999999E-05"},
        // Largest and smallest floats.
        {FLT_MAX, " 3.402823E+38"},
        {-FLT_MAX, "-3.402823E+38"},
        {FLT_MIN, " 1.175494E-38"},
        {std::numeric_limits<float>::denorm_min(), " 1.401298E-45"},
        {-std::numeric_limits<float>::denorm_min(), "-1.401298E-45"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(singleText(c.value), c.text) << "value " << c.value;
}

TEST(NumberText, SingleRoundingAtTheExponentBoundaries) {
    // The float just below 1E-04 rounds to 1.000000E-04 and so stays plain.
    float belowTenThousandth = 0.0001f;
    ASSERT_LT(static_cast<double>(belowTenThousandth), 1e-4);
    EXPECT_EQ(singleText(belowTenThousandth), " .0001");
    // The one below that keeps exponent -5 after rounding.
    float next = std::nextafter(belowTenThousandth, 0.0f);
    EXPECT_EQ(singleText(next), " 9.999999E-05");
    // The float just below 1E+07 keeps 7 digits and the plain form.
    EXPECT_EQ(singleText(std::nextafter(1e7f, 0.0f)), " 9999999");
    EXPECT_EQ(singleText(std::nextafter(1e7f, 2e7f)), " 1E+07");
}

struct DoubleCase {
    double value;
    const char *text;
};

TEST(NumberText, DoubleValues) {
    const DoubleCase cases[] = {
        {0.0, " 0"},
        {-0.0, " 0"},
        {1.25, " 1.25"},
        {1.5, " 1.5"},
        {-0.25, "-.25"},
        {0.1, " .1"},
        {0.1 + 0.2, " .3"},
        {1.0 / 3.0, " .333333333333333"},
        {-2.0 / 3.0, "-.666666666666667"},
        {0.12500762939453125, " .125007629394531"},
        // 15 digits plain, exponent form from 1E+15.
        {999999999999999.0, " 999999999999999"},
        {123456789012345.6, " 123456789012346"},
        {1e15, " 1E+15"},
        {-1e15, "-1E+15"},
        {1234567890123456.0, " 1.23456789012346E+15"},
        // Rounding carries into the next power of ten.
        {999999999999999.875, " 1E+15"},
        // Ties to even on the exact binary value.
        {100000000000000.5, " 100000000000000"},
        {100000000000001.5, " 100000000000002"},
        // Plain down to exponent -4.
        {0.0001, " .0001"},
        {0.000123456789012345, " .000123456789012345"},
        {0.00001, " 1E-05"},
        {0.0000152587890625, " 1.52587890625E-05"},
        {-0.0001, "-.0001"},
        {9.9999999999999e-5, " 9.9999999999999E-05"},
        // Exponents of three digits.
        {1e100, " 1E+100"},
        {-1.5e-300, "-1.5E-300"},
        {DBL_MAX, " 1.79769313486232E+308"},
        {DBL_MIN, " 2.2250738585072E-308"},
        {std::numeric_limits<double>::denorm_min(), " 4.94065645841247E-324"},
        {295147905179352825856.0, " 2.95147905179353E+20"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(doubleText(c.value), c.text) << "value " << c.value;
}

TEST(NumberText, SingleAndDoubleDifferInDigitsAndExponentLimit) {
    // The same number: 7 digits and exponent form for a float, 15 digits plain for a double.
    EXPECT_EQ(singleText(123456789.0f), " 1.234568E+08");
    EXPECT_EQ(doubleText(123456789.0), " 123456789");
    // A float is written from its own value, not from the decimal it came from.
    EXPECT_EQ(doubleText(static_cast<double>(0.1f)), " .100000001490116");
}

TEST(NumberText, NonFiniteValuesDoNotBreakTheText) {
    const double values[] = {std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN()};
    for (double v : values) {
        std::string d = doubleText(v), s = singleText(static_cast<float>(v));
        ASSERT_GE(d.size(), 2u) << v;
        ASSERT_GE(s.size(), 2u) << v;
        EXPECT_EQ(d[0], v < 0 ? '-' : ' ') << v;
        EXPECT_EQ(d, s) << v;
    }
}

TEST(NumberText, Integers) {
    const struct {
        int64_t value;
        const char *text;
    } cases[] = {
        {0, " 0"},
        {1, " 1"},
        {-5, "-5"},
        {32768, " 32768"},
        {std::numeric_limits<int64_t>::max(), " 9223372036854775807"},
        {std::numeric_limits<int64_t>::min(), "-9223372036854775808"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(integerText(c.value), c.text) << "value " << c.value;
}

TEST(PrintZones, NextNumberStartsAtTheNextZoneStart) {
    const struct {
        std::string line;
        const char *number;
        std::string expected;
    } cases[] = {
        {"", " 1", " 1 "},
        {" 1 ", " 0",
         " 1            "
         " 0 "},
        // Text with its blank ending in column 14: the next number begins at column 15.
        {std::string(13, 'x') + " ", " 5", "xxxxxxxxxxxxx  5 "},
        // Text ending in column 13: one blank fills column 14.
        {std::string(12, 'x') + " ", " 5", "xxxxxxxxxxxx   5 "},
        // Ending in column 15: on to column 29.
        {std::string(14, 'x') + " ", " 5", "xxxxxxxxxxxxxx" + std::string(15, ' ') + "5 "},
        // A number wider than a zone takes two.
        {"", "-1.23456789012345E+100", "-1.23456789012345E+100 "},
    };
    for (const auto &c : cases) {
        std::string line = c.line;
        appendInZone(line, c.number);
        EXPECT_EQ(line, c.expected) << "line '" << c.line << "' + '" << c.number << "'";
    }
    std::string line;
    appendInZone(line, "-1.23456789012345E+100");
    appendInZone(line, " 1");
    EXPECT_EQ(line.find(" 1 "), 28u) << line;
}

TEST(PrintZones, WholeLines) {
    const struct {
        int64_t row;
        float x;
        double y;
        const char *line;
    } cases[] = {
        {1, 0.0f, 1.25, " 1             0             1.25 "},
        {2, 0.5f, 1.5, " 2             .5            1.5 "},
        {10, -1.0f, -0.25, " 10           -1            -.25 "},
        // The x text ends at column 28 exactly: y follows at column 29 as usual.
        {1, -12345678.0f, -1.0 / 3.0, " 1            -1.234568E+07 -.333333333333333 "},
        {32768, 3.0e-5f, 1e-300, " 32768         3E-05         1E-300 "},
        {3, -0.0f, -0.0, " 3             0             0 "},
        {4, FLT_MAX, -DBL_MAX, " 4             3.402823E+38 -1.79769313486232E+308 "},
    };
    for (const auto &c : cases)
        EXPECT_EQ(outputLine(c.row, c.x, c.y), c.line) << "row " << c.row;
    EXPECT_EQ(kOutputHeader.size(), 35u);
}

} // namespace
} // namespace mergon
