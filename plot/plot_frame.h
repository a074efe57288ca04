#pragma once
// The graph panel's user coordinate frame, its axes, and the map from user coordinates to
// pixels. Data point (x, y) is drawn at user position (x, -y), so data y grows upwards.

namespace mergon {

struct PlotFrame {
    double left = 0, top = 0, right = 1, bottom = 1; // user coordinates of the corners
};

struct Segment {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0; // user coordinates
};

// Corners from the plot range: each extreme multiplied by 1.05, the left edge 0 for a
// positive minimum.
PlotFrame frameFromPlotRange(float plotXMin, float plotXMax, float plotYMin, float plotYMax);

// The x axis along data y = 0 across the frame's width, and the y axis along x = 0 across
// its height.
Segment xAxis(float plotXMin, float plotXMax);
Segment yAxis(float plotYMin, float plotYMax);

// A frame of zero (or non-finite) width or height is widened so that its points stay visible:
// by 5 % of the value on each side, or by one unit around 0.
PlotFrame drawableFrame(const PlotFrame &frame);

// Maps user coordinates of a drawable frame onto a pixel area of the given size.
class PixelMap {
  public:
    PixelMap(const PlotFrame &frame, double width, double height);
    double toPixelX(double x) const { return (x - left_) * scaleX_; }
    double toPixelY(double y) const { return (y - top_) * scaleY_; }

  private:
    double left_, top_, scaleX_, scaleY_;
};

} // namespace mergon
