#include "plot/plot_frame.h"

#include <cmath>

namespace mergon {

namespace {
constexpr double kMargin = 1.05;

// Left edge: 0 for a positive minimum, else the minimum times 1.05.
double leftEdge(float plotXMin) { return plotXMin > 0 ? 0.0 : kMargin * plotXMin; }

void widen(double &low, double &high) {
    if (std::isfinite(low) && std::isfinite(high) && high != low)
        return;
    double centre = std::isfinite(low) ? low : (std::isfinite(high) ? high : 0.0);
    double half = centre != 0 ? std::fabs(centre) * 0.05 : 1.0;
    if (!std::isfinite(half))
        half = 1.0;
    bool ascending = !(high < low);
    low = ascending ? centre - half : centre + half;
    high = ascending ? centre + half : centre - half;
}
} // namespace

PlotFrame frameFromPlotRange(float plotXMin, float plotXMax, float plotYMin, float plotYMax) {
    return {leftEdge(plotXMin), -kMargin * plotYMax, kMargin * plotXMax, -kMargin * plotYMin};
}

Segment xAxis(float plotXMin, float plotXMax) {
    return {leftEdge(plotXMin), 0.0, kMargin * plotXMax, 0.0};
}

Segment yAxis(float plotYMin, float plotYMax) {
    return {0.0, -kMargin * plotYMin, 0.0, -kMargin * plotYMax};
}

PlotFrame drawableFrame(const PlotFrame &frame) {
    PlotFrame f = frame;
    widen(f.left, f.right);
    widen(f.top, f.bottom);
    return f;
}

PixelMap::PixelMap(const PlotFrame &frame, double width, double height)
    : left_(frame.left), top_(frame.top), scaleX_(width / (frame.right - frame.left)),
      scaleY_(height / (frame.bottom - frame.top)) {}

} // namespace mergon
