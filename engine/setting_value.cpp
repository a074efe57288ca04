#include "engine/setting_value.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace mergon {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Length of the longest prefix of `s` that is a number: sign, digits with an optional point
// and fraction, an optional exponent (e, E, d or D, optional sign, digits).
size_t numberPrefixLength(std::string_view s) {
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    size_t digits = 0;
    while (i < s.size() && isDigit(s[i]))
        ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return 0;
    size_t mantissaEnd = i;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            ++j;
        size_t expStart = j;
        while (j < s.size() && isDigit(s[j]))
            ++j;
        if (j > expStart)
            return j;
    }
    return mantissaEnd;
}

// The power of ten of the first nonzero digit of an unsigned number text ("0.05e3" gives 1):
// whether a number beyond the double range is too large or too small depends on it, not on
// the sign of its exponent alone. The exponent saturates far beyond any double.
int64_t decimalMagnitude(std::string_view number) {
    const size_t exponentAt = std::min(number.find_first_of("eE"), number.size());
    const std::string_view mantissa = number.substr(0, exponentAt);
    const size_t point = std::min(mantissa.find('.'), mantissa.size());
    const size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos)
        return 0; // zero: in range whatever the exponent
    int64_t magnitude = first < point ? static_cast<int64_t>(point - first) - 1
                                      : -static_cast<int64_t>(first - point);
    int64_t exponent = 0;
    size_t i = exponentAt + 1;
    const bool negative = i < number.size() && number[i] == '-';
    if (i < number.size() && (number[i] == '+' || number[i] == '-'))
        ++i;
    for (; i < number.size(); ++i)
        exponent = std::min<int64_t>(exponent * 10 + (number[i] - '0'), 1'000'000'000'000);
    return magnitude + (negative ? -exponent : exponent);
}

} // namespace

double leadingNumber(std::string_view text) {
    size_t start = 0;
    while (start < text.size() && (text[start] == ' ' || text[start] == '\t'))
        ++start;
    text.remove_prefix(start);
    size_t length = numberPrefixLength(text);
    if (length == 0)
        return 0;

    // from_chars takes no '+' and no Fortran-style exponent letter.
    std::string number(text.substr(0, length));
    bool negative = number[0] == '-';
    if (number[0] == '+' || number[0] == '-')
        number.erase(0, 1);
    for (char &c : number)
        if (c == 'd' || c == 'D')
            c = 'e';

    double value = 0;
    auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error == std::errc::result_out_of_range) {
        // Too small rounds to zero; too large stays beyond every field's range.
        value = decimalMagnitude(number) < 0 ? 0.0 : std::numeric_limits<double>::infinity();
    } else if (error != std::errc() || end != number.data() + number.size()) {
        return 0;
    }
    return negative ? -value : value;
}

std::optional<int16_t> toInt16(double value) {
    double rounded = std::nearbyint(value); // the default rounding mode: halves to even
    if (!(rounded >= -32768.0 && rounded <= 32767.0))
        return std::nullopt;
    return static_cast<int16_t>(rounded);
}

float narrowToFloat(double value) {
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

std::optional<float> toFloat(double value) {
    float narrowed = narrowToFloat(value);
    if (!std::isfinite(narrowed))
        return std::nullopt;
    return narrowed;
}

} // namespace mergon
