#include "engine/number_scan.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <system_error>

namespace mergon {

namespace {

bool isDigitByte(char c) { return static_cast<unsigned char>(c - '0') < 10; }

// Eight bytes at p, the first in the lowest byte.
std::uint64_t load8(const char *p) {
    std::uint64_t word = 0;
    std::memcpy(&word, p, sizeof word);
    if constexpr (std::endian::native == std::endian::big)
        word = __builtin_bswap64(word);
    return word;
}

// Zero exactly in the bytes of `word` that are digits.
std::uint64_t nonDigits(std::uint64_t word) {
    constexpr std::uint64_t kEvery = 0x0101010101010101;
    return ((word & (kEvery * 0xF0)) ^ (kEvery * '0')) |
           (((word & (kEvery * 0x0F)) + kEvery * 6) & (kEvery * 0x10));
}

// The integer that the digits in the top `count` bytes of `word` (1 to 8, the first digit the
// lowest of them) spell: all eight digits at once.
std::uint64_t topDigits(std::uint64_t word, int count) {
    const std::uint64_t top = ~std::uint64_t{0} << (8 * (8 - count));
    std::uint64_t v = (word & top) - (0x3030303030303030 & top); // leading zeros below
    v = v * 10 + (v >> 8);
    v = (((v & 0x000000FF000000FF) * (100 + (1000000ULL << 32))) +
         (((v >> 16) & 0x000000FF000000FF) * (1 + (10000ULL << 32)))) >>
        32;
    return v;
}

// The digits of a number of 8 to 17 characters without exponent, digits, the decimal mark and
// the fraction with at most eight digits either side, taken a word at a time. False for any
// other number.
template <char Mark>
bool digitsInWords(const char *p, const char *end, std::uint64_t &digits, int &scale) {
    static constexpr std::uint64_t kTens[] = {1,      10,      100,      1000,     10000,
                                              100000, 1000000, 10000000, 100000000};
    const auto length = end - p;
    if (length < 8 || length > 17)
        return false;
    const std::uint64_t head = load8(p);
    const std::uint64_t headOthers = nonDigits(head);
    const int integer = headOthers ? __builtin_ctzll(headOthers) / 8 : 8;
    if (integer == 8 || p[integer] != Mark)
        return false;
    const int fraction = static_cast<int>(length) - integer - 1;
    if (fraction > 8)
        return false;
    // The fraction ends the number: the last eight bytes hold it.
    const std::uint64_t tail = load8(end - 8);
    if (fraction > 0 && (nonDigits(tail) >> (8 * (8 - fraction))) != 0)
        return false; // an exponent
    digits = integer > 0 ? topDigits(head << (8 * (8 - integer)), integer) : 0;
    digits = digits * kTens[fraction] + (fraction > 0 ? topDigits(tail, fraction) : 0);
    scale = -fraction;
    return true;
}

// The exact fast path of decimal conversion: a number whose digits form an integer of at most
// 2^53 and whose power of ten is at most 22 either way is the quotient or product of two exact
// doubles, so one rounding gives the correctly rounded value. False for any other number.
template <char Mark> bool convertExactly(const char *p, const char *end, double &value) {
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    constexpr std::uint64_t kExactLimit = std::uint64_t{1} << 53;
    constexpr int kMaxExactDigits = 19; // up to 19 digits cannot wrap 64 bits
    if (end - p > 32)
        return false; // more digits than the fast path takes, or an unusual exponent
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-')
        ++p;
    // The digits before and after the mark form one integer; the fraction's length scales it.
    std::uint64_t digits = 0;
    int scale = 0;
    if (digitsInWords<Mark>(p, end, digits, scale)) {
        if (digits > kExactLimit)
            return false;
        const double exact = static_cast<double>(digits);
        value = negative ? -(exact / kPowers[-scale]) : exact / kPowers[-scale];
        return true;
    }
    const char *first = p;
    for (; p < end && isDigitByte(*p); ++p)
        digits = digits * 10 + static_cast<std::uint64_t>(*p - '0');
    std::ptrdiff_t count = p - first;
    if (p < end && *p == Mark) {
        const char *fraction = ++p;
        for (; p < end && isDigitByte(*p); ++p)
            digits = digits * 10 + static_cast<std::uint64_t>(*p - '0');
        count += p - fraction;
        scale = -static_cast<int>(p - fraction);
    }
    if (count > kMaxExactDigits)
        return false;
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

// The numbers with a decimal point that the exact fast path does not take; kept apart so that
// the fast path stays light.
[[gnu::noinline]] NumberError convertOtherNumber(const char *begin, const char *end, bool exponentD,
                                                 double &value) {
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

} // namespace

// The value of a complete number held in [begin, end).
NumberError convertNumber(const char *begin, const char *end, bool exponentD, double &value) {
    if (convertExactly<'.'>(begin, end, value))
        return NumberError::None;
    return convertOtherNumber(begin, end, exponentD, value);
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
