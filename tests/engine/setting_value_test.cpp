// Reading a setting box: leading numeric part, 16-bit rounding half to even, float fields.
#include "engine/setting_value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <tuple>
#include <utility>

using namespace mergon;

// Beyond the double range, a number is too large or too small by its magnitude: where its
// first nonzero digit stands, plus its exponent.
TEST(SettingValue, LeadingNumericPartOfTheText) {
    const std::string zeros(400, '0');
    const double inf = std::numeric_limits<double>::infinity();
    // clang-format off
    const std::pair<std::string, double> cases[] = {
        {"5", 5}, {"  12", 12}, {"\t7", 7}, {"12abc", 12}, {"1 2", 1}, {"abc", 0}, {"", 0},
        {"   ", 0}, {"-3.25", -3.25}, {"+4", 4}, {".5", 0.5}, {"5.", 5}, {"-.25x", -0.25},
        {"1e3", 1000}, {"1E-2", 0.01}, {"2d2", 200}, {"1e", 1}, {"1e+", 1}, {"1.5e2.7", 150},
        {"-", 0}, {".", 0}, {"+.e5", 0}, {"1e-999", 0}, {"0x10", 0}, {"1,5", 1},
        {"100 divisions", 100}, {"1e999", inf}, {"-1e999", -inf}, {"1" + zeros + "e-5", inf},
        {"1" + zeros + "e-100", 1e300}, {"1" + zeros, inf}, {"0." + zeros + "1", 0},
        {"0." + zeros + "1e+5", 0}, {"0." + zeros + "1e100", 1e-301}, {"0.0001e310", 1e306},
        {"0.0001e99999999999999999999", inf}, {"100e-400", 0}, {zeros + "5e-400", 0},
        {"0e99999", 0},
    };
    // clang-format on
    for (const auto &[text, value] : cases)
        EXPECT_EQ(leadingNumber(text), value) << "text \"" << text << "\"";
    EXPECT_EQ(toFloat(leadingNumber("1" + zeros + "e-5")), std::nullopt); // a box's code 6
}

TEST(SettingValue, CountFieldsRoundHalfToEvenAndReportOverflow) {
    const auto none = std::nullopt;
    constexpr int32_t k16 = 32767, k32 = 2147483647;
    // clang-format off
    const std::tuple<double, int32_t, std::optional<int32_t>> cases[] = {
        {2.5, k16, 2}, {3.5, k16, 4}, {-2.5, k16, -2}, {2.4999, k16, 2}, {2.5001, k16, 3},
        {0, k16, 0}, {32767, k16, 32767}, {32767.4, k16, 32767}, {32767.5, k16, none},
        {-32768, k16, -32768}, {-32768.5, k16, -32768}, {-32768.6, k16, none}, {40000, k16, none},
        {std::numeric_limits<double>::infinity(), k16, none},
        {40000, k32, 40000}, {2147483647.4, k32, k32}, {2147483647.5, k32, none},
        {-2147483648.5, k32, -k32 - 1}, {-2147483648.6, k32, none}, {-1e300, k32, none},
        {std::nan(""), k32, none},
    };
    // clang-format on
    for (const auto &[value, maxCount, field] : cases)
        EXPECT_EQ(toCount(value, maxCount), field) << "value " << value << " up to " << maxCount;
}

TEST(SettingValue, FloatFieldsRoundToFloatAndRejectOverflow) {
    const float max = std::numeric_limits<float>::max();
    EXPECT_EQ(std::tuple(toFloat(0.1), toFloat(3.4028235e38), toFloat(1e39), toFloat(-1e39),
                         toFloat(std::numeric_limits<double>::infinity())),
              std::tuple(0.1f, max, std::nullopt, std::nullopt, std::nullopt));
    // The largest double that still rounds to FLT_MAX, and the first that does not.
    EXPECT_EQ(narrowToFloat(0x1.fffffefffffffp127), max);
    EXPECT_EQ(narrowToFloat(0x1.ffffffp127), std::numeric_limits<float>::infinity());
    EXPECT_EQ(narrowToFloat(-1e300), -std::numeric_limits<float>::infinity());
}
