// The paper figure's axes: 1-2-5 tick steps, the fitted range and the numbers at the ticks.
#include "plot/paper_figure.h"

#include <gtest/gtest.h>

using namespace mergon;

TEST(PaperAxes, StepsRangesAndNumbers) {
    // clang-format off
    const struct { double span; int maxIntervals; double step; } steps[] = {
        {10, 10, 1}, {10, 4, 5}, {11, 10, 2}, {160, 7, 50}, {0.37, 5, 0.1}, {1e-3, 5, 2e-4},
        {3e8, 6, 5e7}, {0, 5, 1}};
    const struct { double low, high, fittedLow, fittedHigh; } ranges[] = {
        {0, 10, -0.5, 10.5}, {-6, -1, -6.25, -0.75}, {3, 3, 2.85, 3.15}, {0, 0, -1, 1}};
    const struct { double value, step; const char *label; } labels[] = {
        {0.1 * 3, 0.1, "0.3"}, {-2, 1, "\u22122"}, {150, 50, "150"}, {0, 0.5, "0"},
        {5e-4, 5e-4, "0.0005"}, {2.5e-7, 5e-8, "2.5e-07"}, {1e8 + 2e-3, 1e-3, "100000000.002"}};
    // clang-format on
    for (const auto &s : steps)
        EXPECT_DOUBLE_EQ(tickStep(s.span, s.maxIntervals), s.step)
            << s.span << " / " << s.maxIntervals;
    for (const auto &r : ranges) {
        const AxisRange fitted = fittedRange(r.low, r.high);
        EXPECT_EQ(std::pair(fitted.low, fitted.high), std::pair(r.fittedLow, r.fittedHigh));
    }
    for (const auto &l : labels)
        EXPECT_EQ(tickLabel(l.value, l.step).toStdString(), l.label) << l.value;
    EXPECT_EQ(tickValues({-0.5, 10.5}, 2), (std::vector<double>{0, 2, 4, 6, 8, 10}));
}
