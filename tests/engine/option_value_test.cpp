// Option values read strictly: the whole text one number, counts whole and not below their least.
#include "engine/option_value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <tuple>

using namespace mergon;

namespace {

TEST(OptionValue, TheWholeTextIsOneNumberAndCountsAreWholeFromTheirLeast) {
    constexpr auto none = std::nullopt;
    // The text, the decimal mark, the number (nullopt: refused) and the count of 1 or more.
    const std::tuple<const char *, char, std::optional<double>, std::optional<double>> cases[] = {
        // clang-format off
        {"5", '.', 5, 5}, {"5.0", '.', 5, 5}, {"1E+02", '.', 100, 100}, {"1d1", '.', 10, 10},
        {"+7", '.', 7, 7}, {"-.5", '.', -0.5, none}, {"50.5", '.', 50.5, none}, {"0", '.', 0, none},
        {"1E+10", '.', 1e10, 1e10}, {"1e999", '.', INFINITY, INFINITY}, {"-1e999", '.', -INFINITY, none},
        {"0,5", '.', none, none}, {"0,5", ',', 0.5, none}, {"2,0", ',', 2, 2}, {"2.5", ',', 2.5, none},
        {"1,5.2", ',', none, none}, {"", '.', none, none}, {" 5", '.', none, none},
        {"5 ", '.', none, none}, {"5x", '.', none, none}, {"abc", '.', none, none},
        {"inf", '.', none, none}, {"0x10", '.', none, none}, {"1e", '.', none, none},
        // clang-format on
    };
    for (const auto &[text, mark, number, count] : cases)
        EXPECT_EQ(std::tuple(optionNumber(text, mark), optionCount(text, 1, mark)),
                  std::tuple(number, count))
            << text << " with the mark " << mark;
    EXPECT_EQ(withDecimalPoint("-0,25E+01"), "-0.25E+01");
}

} // namespace
