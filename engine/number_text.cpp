#include "engine/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace mergon {

namespace {

// Room for the longest text (22: sign, 15 digits, point, "E-", three exponent digits).
constexpr size_t kTextCapacity = 32;

constexpr std::uint64_t kPowersOfTen[] = {1,
                                          10,
                                          100,
                                          1000,
                                          10000,
                                          100000,
                                          1000000,
                                          10000000,
                                          100000000,
                                          1000000000,
                                          10000000000,
                                          100000000000,
                                          1000000000000,
                                          10000000000000,
                                          100000000000000,
                                          1000000000000000,
                                          10000000000000000,
                                          100000000000000000,
                                          1000000000000000000,
                                          10000000000000000000u};

// The digits of a positive finite `magnitude` rounded to `significant` places (at most 17),
// in integer arithmetic on its exact binary value: `digits` gets them as an integer of exactly
// `significant` digits, `exponent` the decimal exponent of the rounded value. False for values
// out of its reach (huge, tiny) and for exact ties, which the general way rounds to even.
#if defined(__SIZEOF_INT128__)
__extension__ typedef unsigned __int128 Wide;

bool roundExactly(double magnitude, int significant, std::uint64_t &digits, int &exponent) {
    int binaryExponent = 0;
    const double fraction = std::frexp(magnitude, &binaryExponent); // [0.5, 1)
    const auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
    const int shift = 53 - binaryExponent; // magnitude = mantissa / 2^shift
    if (shift <= 0 || shift >= 120)
        return false;
    // 10^k <= magnitude < 10^(k+1), from log10(2) = 0.30103, corrected below when one off.
    int k = static_cast<int>(std::floor((binaryExponent - 1) * 0.30102999566398120));
    const std::uint64_t lowest = kPowersOfTen[significant - 1];
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int scale = significant - 1 - k; // the rounded digits are magnitude * 10^scale
        if (scale < 0 || scale > 19)
            return false;
        const Wide product = static_cast<Wide>(mantissa) * kPowersOfTen[scale];
        std::uint64_t quotient = static_cast<std::uint64_t>(product >> shift);
        if (quotient < lowest) {
            --k;
            continue;
        }
        if (quotient >= lowest * 10) {
            ++k;
            continue;
        }
        const Wide rest = product & ((static_cast<Wide>(1) << shift) - 1);
        const Wide half = static_cast<Wide>(1) << (shift - 1);
        if (rest == half)
            return false;
        if (rest > half && ++quotient == lowest * 10) { // 9.99... rounds up to 10.0...
            quotient = lowest;
            ++k;
        }
        digits = quotient;
        exponent = k;
        return true;
    }
    return false;
}
#else
bool roundExactly(double, int, std::uint64_t &, int &) { return false; }
#endif

// Writes a value's text for the output file, from its digits rounded to `significant` places,
// and returns its length. `exponentFrom` is the smallest decimal exponent written in
// exponent form.
size_t decimalText(char *out, double value, int significant, int exponentFrom) {
    char *p = out;
    *p++ = std::signbit(value) && value != 0 ? '-' : ' ';
    if (!std::isfinite(value)) {
        std::string_view word = std::isnan(value) ? "NaN" : "Infinity";
        return static_cast<size_t>(std::copy(word.begin(), word.end(), p) - out);
    }
    if (value == 0) {
        *p++ = '0';
        return static_cast<size_t>(p - out);
    }

    char digits[24];
    int digitCount = 0;
    int exponent = 0;
    std::uint64_t rounded = 0;
    if (roundExactly(std::fabs(value), significant, rounded, exponent)) {
        digitCount =
            static_cast<int>(std::to_chars(digits, digits + sizeof digits, rounded).ptr - digits);
    } else {
        // to_chars rounds the exact binary value to the given precision, ties to even, and
        // gives d.dddddde+XX; its exponent is that of the rounded value.
        char scientific[40];
        const char *end =
            std::to_chars(scientific, scientific + sizeof scientific, std::fabs(value),
                          std::chars_format::scientific, significant - 1)
                .ptr;
        const char *e = std::find(static_cast<const char *>(scientific), end, 'e');
        for (const char *q = scientific; q != e; ++q)
            if (*q != '.')
                digits[digitCount++] = *q;
        const char *exponentStart = e + 1;
        if (*exponentStart == '+')
            ++exponentStart;
        std::from_chars(exponentStart, end, exponent);
    }
    while (digitCount > 1 && digits[digitCount - 1] == '0')
        --digitCount;

    if (exponent < -4 || exponent >= exponentFrom) {
        *p++ = digits[0];
        if (digitCount > 1) {
            *p++ = '.';
            p = std::copy(digits + 1, digits + digitCount, p);
        }
        *p++ = 'E';
        *p++ = exponent < 0 ? '-' : '+';
        const int magnitude = std::abs(exponent);
        if (magnitude < 10)
            *p++ = '0';
        p = std::to_chars(p, out + kTextCapacity, magnitude).ptr;
    } else if (exponent < 0) {
        *p++ = '.';
        p = std::fill_n(p, -exponent - 1, '0');
        p = std::copy(digits, digits + digitCount, p);
    } else if (digitCount <= exponent + 1) {
        p = std::copy(digits, digits + digitCount, p);
        p = std::fill_n(p, exponent + 1 - digitCount, '0');
    } else {
        p = std::copy(digits, digits + exponent + 1, p);
        *p++ = '.';
        p = std::copy(digits + exponent + 1, digits + digitCount, p);
    }
    return static_cast<size_t>(p - out);
}

// A float is written from its exact value, widened.
size_t singleText(char *out, float value) { return decimalText(out, value, 7, 7); }
size_t doubleText(char *out, double value) { return decimalText(out, value, 15, 15); }

size_t integerText(char *out, int64_t value) {
    out[0] = value < 0 ? '-' : ' ';
    // The magnitude as unsigned, so that the most negative value has one too.
    uint64_t magnitude =
        value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    return static_cast<size_t>(std::to_chars(out + 1, out + kTextCapacity, magnitude).ptr - out);
}

// One data line without its line end, appended to `text`: each number in its print zone.
void appendLine(std::string &text, int64_t rowNumber, float x, double y) {
    const size_t zone = static_cast<size_t>(kPrintZoneWidth);
    char line[4 * kTextCapacity + 3 * kPrintZoneWidth];
    size_t length = 0;
    char number[kTextCapacity];
    const auto inZone = [&](size_t size) {
        const size_t start = (length + zone - 1) / zone * zone;
        std::fill(line + length, line + start, ' ');
        std::copy(number, number + size, line + start);
        line[start + size] = ' ';
        length = start + size + 1;
    };
    inZone(integerText(number, rowNumber));
    inZone(singleText(number, x));
    inZone(doubleText(number, y));
    text.append(line, length);
}

} // namespace

std::string integerText(int64_t value) {
    char text[kTextCapacity];
    return std::string(text, integerText(text, value));
}

std::string singleText(float value) {
    char text[kTextCapacity];
    return std::string(text, singleText(text, value));
}

std::string doubleText(double value) {
    char text[kTextCapacity];
    return std::string(text, doubleText(text, value));
}

void appendInZone(std::string &line, std::string_view numberText) {
    const size_t zone = static_cast<size_t>(kPrintZoneWidth);
    const size_t start = (line.size() + zone - 1) / zone * zone;
    line.append(start - line.size(), ' ');
    line += numberText;
    line += ' ';
}

std::string outputLine(int64_t rowNumber, float x, double y) {
    std::string line;
    appendLine(line, rowNumber, x, y);
    return line;
}

void appendOutputLine(std::string &text, int64_t rowNumber, float x, double y) {
    appendLine(text, rowNumber, x, y);
}

} // namespace mergon
