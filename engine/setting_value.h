#pragma once
// Reading a setting box: the leading numeric part of its text as a double.

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

namespace mergon {

// Blanks are skipped, then the longest prefix that is a number is taken; no number gives 0.
double leadingNumber(std::string_view text);

// A count field takes the value rounded half to even; nullopt when it does not fit from
// -maxCount - 1 to maxCount (32767 for the window's 16-bit fields, 2147483647 for 32-bit ones).
std::optional<int32_t> toCount(double value, int32_t maxCount);

// Rounds a double to the nearest float; beyond the float range it gives an infinity of the
// same sign (a plain cast would be undefined there). Inline: the reader narrows every row.
inline float narrowToFloat(double value) {
    // Halfway between FLT_MAX and the next power of two rounds to even, that is, away.
    constexpr double kOverflow = 0x1.ffffffp127;
    if (std::isnan(value))
        return std::numeric_limits<float>::quiet_NaN();
    if (value >= kOverflow)
        return std::numeric_limits<float>::infinity();
    if (value <= -kOverflow)
        return -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

// A 32-bit float field takes the value rounded to float; nullopt when it does not fit.
std::optional<float> toFloat(double value);

} // namespace mergon
