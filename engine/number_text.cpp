#include "engine/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace mergon {

namespace {

// Room for the longest text (22: sign, 15 digits, point, "E-", three exponent digits).
constexpr size_t kTextCapacity = 32;

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

    // to_chars rounds the exact binary value to the given precision, ties to even, and
    // gives d.dddddde+XX; its exponent is that of the rounded value.
    char scientific[40];
    const char *end = std::to_chars(scientific, scientific + sizeof scientific, std::fabs(value),
                                    std::chars_format::scientific, significant - 1)
                          .ptr;
    const char *e = std::find(static_cast<const char *>(scientific), end, 'e');
    char digits[24];
    int digitCount = 0;
    for (const char *q = scientific; q != e; ++q)
        if (*q != '.')
            digits[digitCount++] = *q;
    while (digitCount > 1 && digits[digitCount - 1] == '0')
        --digitCount;
    const char *exponentStart = e + 1;
    if (*exponentStart == '+')
        ++exponentStart;
    int exponent = 0;
    std::from_chars(exponentStart, end, exponent);

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

} // namespace

std::string integerText(int64_t value) {
    char buffer[32];
    buffer[0] = value < 0 ? '-' : ' ';
    // The magnitude as unsigned, so that the most negative value has one too.
    uint64_t magnitude =
        value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    auto result = std::to_chars(buffer + 1, buffer + sizeof buffer, magnitude);
    return std::string(buffer, result.ptr);
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
    char text[kTextCapacity];
    std::string line;
    line.reserve(4 * kPrintZoneWidth);
    appendInZone(line, integerText(rowNumber));
    appendInZone(line, {text, singleText(text, x)});
    appendInZone(line, {text, doubleText(text, y)});
    return line;
}

} // namespace mergon
