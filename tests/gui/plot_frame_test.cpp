// The graph panel's frame: whatever the plot range, a frame that can be drawn.
#include "plot/plot_frame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>

using namespace mergon;

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
        PlotFrame f = drawableFrame(frameFromPlotRange(c.xMin, c.xMax, c.yMin, c.yMax));
        EXPECT_LT(f.left, f.right);
        EXPECT_LT(f.top, f.bottom);
        // Every data point stays inside the widened frame.
        for (float x : {c.xMin, c.xMax})
            for (float y : {c.yMin, c.yMax}) {
                EXPECT_TRUE(f.left <= x && x <= f.right) << x;
                EXPECT_TRUE(f.top <= -y && -y <= f.bottom) << y;
            }
        PixelMap map(f, 325, 213);
        EXPECT_TRUE(std::isfinite(map.toPixelX(c.xMin)) && std::isfinite(map.toPixelY(-c.yMin)));
    }
    // A frame that is fine stays exactly as it is.
    const PlotFrame fine{0, -4.2, 10.5, 1.05}, kept = drawableFrame(fine);
    EXPECT_EQ(std::tuple(kept.left, kept.top, kept.right, kept.bottom),
              std::tuple(fine.left, fine.top, fine.right, fine.bottom));
    // Non-finite extents give a usable frame.
    const float inf = std::numeric_limits<float>::infinity();
    PlotFrame wild = drawableFrame(frameFromPlotRange(-inf, inf, 0, 1));
    EXPECT_TRUE(std::isfinite(wild.left) && std::isfinite(wild.right));
}
