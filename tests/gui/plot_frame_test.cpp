// The graph panel's frame from the plot range, its axes and the pixel map.
#include "plot/plot_frame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace mergon;

namespace {
void expectFrame(const PlotFrame &f, double left, double top, double right, double bottom) {
    EXPECT_DOUBLE_EQ(f.left, left);
    EXPECT_DOUBLE_EQ(f.top, top);
    EXPECT_DOUBLE_EQ(f.right, right);
    EXPECT_DOUBLE_EQ(f.bottom, bottom);
}
} // namespace

TEST(PlotFrame, CornersMultiplyEachExtremeAndStartAtZeroForPositiveMinimum) {
    {
        SCOPED_TRACE("x 2..10, y -1..4");
        expectFrame(frameFromPlotRange(2, 10, -1, 4), 0, -4.2, 10.5, 1.05);
        Segment x = xAxis(2, 10);
        EXPECT_DOUBLE_EQ(x.x1, 0);
        EXPECT_DOUBLE_EQ(x.x2, 10.5);
        EXPECT_EQ(x.y1, 0);
        EXPECT_EQ(x.y2, 0);
        Segment y = yAxis(-1, 4);
        EXPECT_EQ(y.x1, 0);
        EXPECT_DOUBLE_EQ(y.y1, 1.05);
        EXPECT_DOUBLE_EQ(y.y2, -4.2);
    }
    {
        SCOPED_TRACE("x -5..5: the y axis stands in the middle");
        PlotFrame f = frameFromPlotRange(-5, 5, 0, 1);
        EXPECT_DOUBLE_EQ(f.left, -5.25);
        EXPECT_DOUBLE_EQ(f.right, 5.25);
        EXPECT_DOUBLE_EQ(xAxis(-5, 5).x1, -5.25);
    }
    {
        SCOPED_TRACE("minimum exactly 0");
        EXPECT_EQ(frameFromPlotRange(0, 3, 0, 1).left, 0.0);
    }
    {
        SCOPED_TRACE("y 10..20: the bottom edge lies inside the data, the x axis outside");
        PlotFrame f = frameFromPlotRange(1, 2, 10, 20);
        EXPECT_DOUBLE_EQ(f.top, -21);
        EXPECT_DOUBLE_EQ(f.bottom, -10.5);
        EXPECT_GT(0.0, f.bottom); // data y = 0 is drawn at user y 0, below the frame
    }
    // The factor is applied in double to the float extreme, not to a rounded decimal.
    EXPECT_EQ(frameFromPlotRange(0.1f, 0.1f, 0, 0).right, 1.05 * static_cast<double>(0.1f));
}

TEST(PlotFrame, DegenerateFramesAreWidenedAroundTheirValue) {
    struct Case {
        const char *what;
        float xMin, xMax, yMin, yMax;
    } cases[] = {
        {"all x 0", 0, 0, -1, 2},
        {"all x equal and negative", -3, -3, -1, 2},
        {"all y equal", 1, 2, 5, 5},
        {"all y 0", 1, 2, 0, 0},
        {"a single point at the origin", 0, 0, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        PlotFrame raw = frameFromPlotRange(c.xMin, c.xMax, c.yMin, c.yMax);
        PlotFrame f = drawableFrame(raw);
        EXPECT_LT(f.left, f.right);
        EXPECT_LT(f.top, f.bottom);
        // Every data point stays inside the widened frame.
        for (float x : {c.xMin, c.xMax})
            for (float y : {c.yMin, c.yMax}) {
                EXPECT_LE(f.left, x);
                EXPECT_GE(f.right, x);
                EXPECT_LE(f.top, -y);
                EXPECT_GE(f.bottom, -y);
            }
        PixelMap map(f, 325, 213);
        EXPECT_TRUE(std::isfinite(map.toPixelX(c.xMin)));
        EXPECT_TRUE(std::isfinite(map.toPixelY(-c.yMin)));
    }
    // A frame that is fine stays exactly as it is.
    PlotFrame fine{0, -4.2, 10.5, 1.05};
    expectFrame(drawableFrame(fine), 0, -4.2, 10.5, 1.05);
    // Non-finite extents give a usable frame.
    const float inf = std::numeric_limits<float>::infinity();
    PlotFrame wild = drawableFrame(frameFromPlotRange(-inf, inf, 0, 1));
    EXPECT_TRUE(std::isfinite(wild.left) && std::isfinite(wild.right));
}

TEST(PlotFrame, PixelMapPutsCornersOnTheEdgesOfTheArea) {
    PixelMap map({0, -4.2, 10.5, 1.05}, 325, 213);
    EXPECT_DOUBLE_EQ(map.toPixelX(0), 0);
    EXPECT_DOUBLE_EQ(map.toPixelX(10.5), 325);
    EXPECT_DOUBLE_EQ(map.toPixelY(-4.2), 0);
    EXPECT_DOUBLE_EQ(map.toPixelY(1.05), 213);
    EXPECT_DOUBLE_EQ(map.toPixelX(5.25), 162.5);
    EXPECT_NEAR(map.toPixelY(0), 213 * 4.2 / 5.25, 1e-9); // the x axis
}
