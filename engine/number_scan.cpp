#include "engine/number_scan.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <system_error>

namespace mergon {

namespace {

bool isDigitByte(char c) { return static_cast<unsigned char>(c - '0') < 10; }

// The exact fast path of decimal conversion: a number whose digits form an integer of at most
// 2^53 and whose power of ten is at most 22 either way is the quotient or product of two exact
// doubles, so one rounding gives the correctly rounded value. False for any other number.
template <char Mark> bool convertExactly(const char *p, const char *end, double &value) {
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    constexpr std::uint64_t kExactLimit = std::uint64_t{1} << 53;
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-')
        ++p;
    std::uint64_t digits = 0;
    int scale = 0;
    bool fraction = false;
    for (; p < end && (isDigitByte(*p) || *p == Mark); ++p) {
        if (*p == Mark) {
            fraction = true;
            continue;
        }
        if (digits >= kExactLimit / 10)
            return false;
        digits = digits * 10 + static_cast<std::uint64_t>(*p - '0');
        scale -= fraction ? 1 : 0;
    }
    if (p < end) { // the exponent: a mark, an optional sign, digits
        ++p;
        const bool negativeExponent = *p == '-';
        if (*p == '+' || *p == '-')
            ++p;
        int exponent = 0;
        for (; p < end; ++p) {
            if (exponent > 1000)
                return false;
            exponent = exponent * 10 + (*p - '0');
        }
        scale += negativeExponent ? -exponent : exponent;
    }
    if (digits > kExactLimit || scale < -22 || scale > 22)
        return false;
    const double exact = static_cast<double>(digits);
    value = scale < 0 ? exact / kPowers[-scale] : exact * kPowers[scale];
    if (negative)
        value = -value;
    return true;
}

// The value of a number beyond the exact fast path, copied into a short text that from_chars
// reads: without '+', with e for a D exponent and a point for the decimal mark. False when the
// number is too long to copy, or out of range.
bool convertCopy(const char *begin, const char *end, bool exponentD, char decimalMark,
                 double &value) {
    char text[64];
    if (static_cast<std::size_t>(end - begin) > sizeof text)
        return false;
    char *out = text;
    for (const char *q = begin + (*begin == '+' ? 1 : 0); q < end; ++q)
        *out++ = exponentD && (*q == 'd' || *q == 'D') ? 'e' : *q == decimalMark ? '.' : *q;
    const auto [stop, ec] = std::from_chars(text, out, value);
    return ec == std::errc() && stop == out;
}

// Long numbers, and those out of range: overflow or underflow.
NumberError convertByScan(const char *begin, const char *end, char decimalMark, double &value) {
    NumberScan number(true, decimalMark);
    for (const char *q = begin; q < end; ++q)
        number.feed(static_cast<unsigned char>(*q));
    value = 0;
    return number.convert(value);
}

} // namespace

// The value of a complete number held in [begin, end).
NumberError convertNumber(const char *begin, const char *end, bool exponentD, double &value) {
    if (convertExactly<'.'>(begin, end, value))
        return NumberError::None;
    // from_chars takes neither '+' nor a D exponent: most numbers have neither and are read
    // in place; short ones that do are copied without them first.
    if (!exponentD && *begin != '+') {
        const auto [stop, ec] = std::from_chars(begin, end, value);
        if (ec == std::errc() && stop == end)
            return NumberError::None;
    }
    if (convertCopy(begin, end, exponentD, '.', value))
        return NumberError::None;
    return convertByScan(begin, end, '.', value);
}

NumberError convertCommaNumber(const char *begin, const char *end, bool exponentD, double &value) {
    // from_chars knows only the point: a number with a comma is always copied.
    if (convertExactly<','>(begin, end, value) || convertCopy(begin, end, exponentD, ',', value))
        return NumberError::None;
    return convertByScan(begin, end, ',', value);
}

NumberError NumberScan::convert(double &value) const {
    const double zero = negative_ ? -0.0 : 0.0;
    if (count_ == 0) {
        value = zero;
        return NumberError::None;
    }
    std::int64_t exponent = scale_ + (expNegative_ ? -exponent_ : exponent_);
    const int digits = count_ + (sticky_ ? 1 : 0);
    if (sticky_)
        --exponent;
    // The value lies in [10^(magnitude-1), 10^magnitude).
    const std::int64_t magnitude = digits + exponent;
    if (magnitude > 310)
        return NumberError::OutOfRange;
    if (magnitude < -330) {
        value = zero;
        return NumberError::None;
    }
    char text[kMaxDigits + 32];
    char *p = text;
    if (negative_)
        *p++ = '-';
    p = std::copy_n(digits_, count_, p);
    if (sticky_)
        *p++ = '1';
    *p++ = 'e';
    p = std::to_chars(p, std::end(text), exponent).ptr;
    double result = 0;
    const auto [end, ec] = std::from_chars(text, p, result);
    if (ec == std::errc::result_out_of_range) {
        if (magnitude > 0)
            return NumberError::OutOfRange;
        value = zero;
        return NumberError::None;
    }
    if (ec != std::errc() || end != p)
        return NumberError::NotANumber; // not reached: the text is built above
    value = result;
    return NumberError::None;
}

NumberScanResult scanNumber(const char *first, const char *last, double &value, char decimalMark) {
    NumberScan number(true, decimalMark);
    const char *p = first;
    const char *completeEnd = nullptr; // the end of the longest complete number so far
    bool exponentD = false;
    for (; p < last && number.feed(static_cast<unsigned char>(*p)); ++p)
        if (number.complete())
            completeEnd = p + 1;
    if (!completeEnd)
        return {first, NumberError::NotANumber};
    for (const char *q = first; q < completeEnd; ++q)
        exponentD = exponentD || *q == 'd' || *q == 'D';
    return {completeEnd, convertNumber(first, completeEnd, exponentD, decimalMark, value)};
}

} // namespace mergon
