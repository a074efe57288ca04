// The paper figure's axes: the fitted range, 1-2-5 tick steps and the numbers at the ticks.
#include "plot/paper_figure.h"

#include <gtest/gtest.h>

using namespace mergon;

TEST(PaperAxes, TickStepsAreOneTwoOrFiveTimesAPowerOfTen) {
    const struct {
        double span;
        int maxIntervals;
        double step;
    } cases[] = {
        {10, 10, 1},    {10, 4, 5},      {11, 10, 2},   {160, 7, 50},
        {0.37, 5, 0.1}, {1e-3, 5, 2e-4}, {3e8, 6, 5e7}, {0, 5, 1}, // nothing to divide
    };
    for (const auto &c : cases)
        EXPECT_DOUBLE_EQ(tickStep(c.span, c.maxIntervals), c.step)
            << c.span << " in at most " << c.maxIntervals;
}

TEST(PaperAxes, RangeFittedWithFivePercentAndTicksNumberedByTheirStep) {
    const struct {
        double low, high, fittedLow, fittedHigh;
    } ranges[] = {{0, 10, -0.5, 10.5}, {-6, -1, -6.25, -0.75}, {3, 3, 2.85, 3.15}, {0, 0, -1, 1}};
    for (const auto &r : ranges) {
        const AxisRange fitted = fittedRange(r.low, r.high);
        EXPECT_DOUBLE_EQ(fitted.low, r.fittedLow) << r.low << " to " << r.high;
        EXPECT_DOUBLE_EQ(fitted.high, r.fittedHigh) << r.low << " to " << r.high;
    }
    EXPECT_EQ(tickValues({-0.5, 10.5}, 2), (std::vector<double>{0, 2, 4, 6, 8, 10}));

    const struct {
        double value, step;
        const char *label;
    } labels[] = {
        {0.1 * 3, 0.1, "0.3"},
        {-2, 1, "\u22122"},
        {150, 50, "150"},
        {0, 0.5, "0"},
        {5e-4, 5e-4, "0.0005"},
        {2.5e-7, 5e-8, "2.5e-07"},
        {1e8 + 2e-3, 1e-3, "100000000.002"},
    };
    for (const auto &l : labels)
        EXPECT_EQ(tickLabel(l.value, l.step).toStdString(), l.label) << l.value;
}
