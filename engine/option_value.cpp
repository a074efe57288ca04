#include "engine/option_value.h"

#include "engine/number_scan.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace mergon {

namespace {

std::optional<double> numberWithMark(std::string_view text, char decimalMark) {
    double value = 0;
    const char *end = text.data() + text.size();
    const NumberScanResult scanned = scanNumber(text.data(), end, value, decimalMark);
    if (text.empty() || scanned.ptr != end || scanned.error == NumberError::NotANumber)
        return std::nullopt;
    if (scanned.error == NumberError::OutOfRange)
        return text.front() == '-' ? -std::numeric_limits<double>::infinity()
                                   : std::numeric_limits<double>::infinity();
    return value;
}

} // namespace

std::optional<double> optionNumber(std::string_view text, char decimalMark) {
    std::optional<double> value = numberWithMark(text, '.');
    if (!value && decimalMark == ',')
        value = numberWithMark(text, ',');
    return value;
}

std::string withDecimalPoint(std::string_view text) {
    std::string point(text);
    std::replace(point.begin(), point.end(), ',', '.');
    return point;
}

std::optional<double> optionCount(std::string_view text, double least, char decimalMark) {
    const std::optional<double> value = optionNumber(text, decimalMark);
    if (!value || *value != std::trunc(*value) || *value < least)
        return std::nullopt;
    return value;
}

} // namespace mergon
