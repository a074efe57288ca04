#pragma once
// What a figure file is asked to be, without Qt: mergon-batch settles it from its options
// before it loads the drawing, and the window fills it from its dialog.

#include <optional>
#include <string>
#include <string_view>

namespace mergon {

enum class FigureFormat { kPng, kSvg, kPdf };

// The format named by the path's extension (.png, .svg or .pdf, in any case); nullopt for
// others.
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
    if (endsWith(".pdf"))
        return FigureFormat::kPdf;
    return std::nullopt;
}

// The shaded band of the paper figure.
enum class BandKind {
    kSd,   // mean +- standard deviation
    kSe,   // mean +- standard error
    kCi,   // mean +- t * standard error: the confidence interval the statistics hold
    kNone, // no band
};

// The unit of a figure's size. kBare is a size written without one: pixels for PNG, points
// for SVG and PDF.
enum class SizeUnit { kBare, kPx, kMm, kCm, kIn, kPt };

struct FigureSize {
    double width = 0, height = 0; // 0: the style's default
    SizeUnit unit = SizeUnit::kBare;
};

inline constexpr FigureSize kPaperDefaultSize{120, 80, SizeUnit::kMm};
// The window's graph panel in pixels, its border included (4935 x 3255 twips at 15 twips a
// pixel): also the size of mergon-batch's panel figure unless one is given.
inline constexpr FigureSize kPanelSize{329, 217};
inline constexpr int kDefaultDpi = 300;

// The size in the format's own unit: pixels at `dpi` for PNG, points for SVG and PDF.
inline FigureSize sizeInFormatUnits(const FigureSize &size, FigureFormat format, int dpi) {
    double perInch = 0; // the size's unit per inch; 0 for pixels
    switch (size.unit) {
    case SizeUnit::kBare:
        return {size.width, size.height,
                format == FigureFormat::kPng ? SizeUnit::kPx : SizeUnit::kPt};
    case SizeUnit::kPx:
        break;
    case SizeUnit::kMm:
        perInch = 25.4;
        break;
    case SizeUnit::kCm:
        perInch = 2.54;
        break;
    case SizeUnit::kIn:
        perInch = 1;
        break;
    case SizeUnit::kPt:
        perInch = 72;
        break;
    }
    const double inches = perInch > 0 ? 1 / perInch : 1.0 / dpi; // of one unit
    const double scale = format == FigureFormat::kPng ? inches * dpi : inches * 72;
    return {size.width * scale, size.height * scale,
            format == FigureFormat::kPng ? SizeUnit::kPx : SizeUnit::kPt};
}

struct AxisLimits {
    double low = 0, high = 1;
};

// The paper figure as a file.
struct PaperFigureRequest {
    FigureFormat format = FigureFormat::kPng;
    FigureSize size = kPaperDefaultSize;
    int dpi = kDefaultDpi;             // PNG: pixels per inch, and the file's resolution tag
    double fontSize = 8;               // points at the printed size
    std::string xLabel, yLabel, title; // empty: none
    bool legend = true;
    BandKind band = BandKind::kSd;
    double confidence = 0.95;          // the level of a kCi band, for its legend entry
    std::optional<AxisLimits> xLimits; // the x axis's span; else fitted to the data
    std::optional<AxisLimits> yLimits; // the y axis's span; else fitted to what is shown
};

} // namespace mergon
