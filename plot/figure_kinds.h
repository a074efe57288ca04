#pragma once
// What a figure file is asked to be, without Qt: mergon-batch settles it from its options
// before it loads the drawing.

#include <optional>
#include <string_view>

namespace mergon {

enum class FigureFormat { kPng, kSvg };

// The format named by the path's extension (.png or .svg, in any case); nullopt for others.
inline std::optional<FigureFormat> figureFormatOf(std::string_view path) {
    const auto endsWith = [path](std::string_view suffix) {
        if (path.size() < suffix.size())
            return false;
        for (size_t i = 0; i < suffix.size(); ++i) {
            const char c = path[path.size() - suffix.size() + i];
            if ((c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c) != suffix[i])
                return false;
        }
        return true;
    };
    if (endsWith(".png"))
        return FigureFormat::kPng;
    if (endsWith(".svg"))
        return FigureFormat::kSvg;
    return std::nullopt;
}

// The shaded band of the paper figure.
enum class BandKind {
    kSd,   // mean +- standard deviation
    kSe,   // mean +- standard error
    kCi,   // mean +- t * standard error: the confidence interval the statistics hold
    kNone, // no band
};

} // namespace mergon
