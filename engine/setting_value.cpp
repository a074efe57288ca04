#include "engine/setting_value.h"

#include "engine/number_scan.h"

#include <cmath>
#include <limits>

namespace mergon {

double leadingNumber(std::string_view text) {
    size_t start = 0;
    while (start < text.size() && (text[start] == ' ' || text[start] == '\t'))
        ++start;
    text.remove_prefix(start);
    // The boxes read numbers as the input files write them, always with a decimal point.
    double value = 0;
    switch (scanNumber(text.data(), text.data() + text.size(), value).error) {
    case NumberError::None:
        return value;
    case NumberError::OutOfRange: // too large: beyond every field's range
        return text.front() == '-' ? -std::numeric_limits<double>::infinity()
                                   : std::numeric_limits<double>::infinity();
    case NumberError::NotANumber:
        break;
    }
    return 0;
}

std::optional<int32_t> toCount(double value, int32_t maxCount) {
    double rounded = std::nearbyint(value); // the default rounding mode: halves to even
    if (!(rounded >= -static_cast<double>(maxCount) - 1 && rounded <= maxCount))
        return std::nullopt;
    return static_cast<int32_t>(rounded);
}

std::optional<float> toFloat(double value) {
    float narrowed = narrowToFloat(value);
    if (!std::isfinite(narrowed))
        return std::nullopt;
    return narrowed;
}

} // namespace mergon
