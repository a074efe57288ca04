// The graph panel: a frame that can be drawn whatever the range, drawing on the backing image,
// the redraw of the input curves, the mean on top, and a drawing that survives covering the
// window.
#include "form1_fixture.h"
#include "plot/curve_drawing.h"
#include "plot/plot_frame.h"
#include "workbench/graph_panel.h"

#include <QTest>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace mergon;

namespace {

const QColor kBlack(Qt::black);
const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);

// True when a pixel of `colour` lies within `radius` pixels of the given position.
bool colourNear(const QImage &image, QPointF at, const QColor &colour, int radius = 1) {
    const QRect square(int(at.x()) - radius, int(at.y()) - radius, 2 * radius + 1, 2 * radius + 1);
    return countColour(image.copy(square & image.rect()), colour) > 0;
}

} // namespace

// Where the smallest x and y fall on the window's 325 x 213 drawing area, by hand: the range
// times 1.05 (the left edge 0 for a positive minimum), data y upwards, and a frame of no width
// or height widened by 5 % of its value on each side (a one-row curve's test, at x -3 and y 2),
// or by 1 around 0.
TEST(PlotFrame, MapsTheRangeAndWidensDegenerateFramesAroundTheirValue) {
    // clang-format off
    const struct { const char *what; float xMin, xMax, yMin, yMax; double pixelX, pixelY; }
        cases[] = {
        {"x 2 to 10, y -1 to 4: frame x 0 to 10.5, y 4.2 down to -1.05", 2, 10, -1, 4,
         2 * 325 / 10.5, 5.2 * 213 / 5.25},
        {"x 0 to 0: frame x -1 to 1", 0, 0, -1, 2, 162.5, 3.1 * 213 / 3.15},
        {"y 0 to 0: frame y 1 down to -1", 1, 2, 0, 0, 325 / 2.1, 106.5},
        {"a single point at the origin", 0, 0, 0, 0, 162.5, 106.5},
    };
    // clang-format on
    for (const auto &c : cases) {
        const PixelMap map(drawableFrame(frameFromPlotRange(c.xMin, c.xMax, c.yMin, c.yMax)), 325,
                           213);
        EXPECT_NEAR(map.toPixelX(c.xMin), c.pixelX, 1e-9) << c.what;
        EXPECT_NEAR(map.toPixelY(-c.yMin), c.pixelY, 1e-9) << c.what;
    }
    // Non-finite extents give a usable frame.
    const float inf = std::numeric_limits<float>::infinity();
    PlotFrame wild = drawableFrame(frameFromPlotRange(-inf, inf, 0, 1));
    EXPECT_TRUE(std::isfinite(wild.left) && std::isfinite(wild.right));
}

TEST(PanelCanvas, WildCoordinatesAreClippedWithoutHarm) {
    PanelCanvas canvas(QSize(100, 100));
    canvas.setFrame(0, 0, 10, 10);
    canvas.line(-1e30f, 5, 1e30f, 5, kBlue); // crosses the whole area
    EXPECT_TRUE(colourNear(canvas.image(), {50, 50}, kBlue));
    canvas.setPoint(std::numeric_limits<float>::infinity(), 0, kRed);
    canvas.lineTo(5, 5, kRed);
    canvas.line(std::nanf(""), 0, 5, 5, kRed);
    canvas.setPoint(3e38f, -3e38f, kRed);
    EXPECT_EQ(countColour(canvas.image(), kRed), 0);
}

TEST(PanelCanvas, IsCrispAtDevicePixelRatioTwo) {
    PanelCanvas canvas(QSize(100, 50), 2.0);
    EXPECT_EQ(canvas.image().size(), QSize(200, 100));
    canvas.setFrame(0, 0, 100, 50);
    canvas.line(0, 25, 100, 25, kBlue);
    // A thin line is one device pixel high, not a blurred band of two.
    EXPECT_EQ(countColour(canvas.image().copy(100, 0, 1, 100), kBlue), 1);
}

using RedrawTest = Form1Fixture;

TEST_F(RedrawTest, DrawsAxesAndEveryCurveInTheFrameOfThePlotRange) {
    // Two curves far apart in y: a joining segment would cross the empty middle.
    add(writeCurve("a.txt", {{2, -1}, {4, -1}, {6, -1}}));
    add(writeCurve("b.txt", {{4, 4}, {10, 4}}));
    ASSERT_TRUE(messages.empty());
    // The frame runs from x 0 to 10.5 over 325 pixels and from y 4.2 down to -1.05 over 213.
    const QImage &image = form->Picture1->canvas().image();
    EXPECT_TRUE(colourNear(image, {8 * 325 / 10.5, 170.4}, kBlue));   // x axis at y 0
    EXPECT_TRUE(colourNear(image, {0, 89.257}, kBlue));               // y axis at x 0, y 2
    EXPECT_TRUE(colourNear(image, {3 * 325 / 10.5, 210.97}, kBlack)); // curve a at y -1
    EXPECT_TRUE(colourNear(image, {7 * 325 / 10.5, 8.114}, kBlack));  // curve b at y 4
    // Not joined: nothing black halfway between the end of a and the start of b.
    EXPECT_FALSE(colourNear(image, {5 * 325 / 10.5, 109.54}, kBlack, 2));
}

TEST_F(RedrawTest, OneRowCurveIsASinglePointAndDegenerateFramesStillShowIt) {
    add(writeCurve("one.txt", {{-3, 2}}));
    ASSERT_TRUE(messages.empty()) << messages.front().text.toStdString();
    // x -3.3075 to -2.9925 over 325 pixels, y 2.205 down to 1.995 over 213.
    const PanelCanvas &canvas = form->Picture1->canvas();
    EXPECT_TRUE(colourNear(canvas.image(), {317.26, 207.93}, kBlack));
    EXPECT_EQ(countColour(canvas.image(), kBlack), 1);
}

TEST_F(RedrawTest, MeanCurveIsDrawnOnTopAndGoneAfterTheNextAddition) {
    add(writeCurve("a.txt", {{0, 0}, {10, 10}}));
    add(writeCurve("b.txt", {{0, 0}, {10, 10}}));
    form->Text2[0]->setText(QString::fromStdString(path("mean.mrg")));
    const PanelCanvas &canvas = form->Picture1->canvas();
    int blackBefore = countColour(canvas.image(), kBlack);
    form->Command1->click();
    ASSERT_TRUE(messages.empty()) << messages.front().text.toStdString();
    // The mean lies on the input curves: drawn last, red covers them.
    EXPECT_TRUE(colourNear(canvas.image(), {5 * 325 / 10.5, 5.5 * 213 / 10.5}, kRed)); // (5, 5)
    EXPECT_LT(countColour(canvas.image(), kBlack), blackBefore / 4);

    add(writeCurve("c.txt", {{0, 1}, {10, 11}}));
    EXPECT_EQ(countColour(canvas.image(), kRed), 0);
}

TEST_F(RedrawTest, DrawingSurvivesHidingAndShowingTheWindow) {
    add(writeCurve("a.txt", {{1, 1}, {9, 5}}));
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    const QImage before = form->Picture1->grab().toImage();
    form->showMinimized();
    form->hide();
    form->showNormal();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    EXPECT_EQ(form->Picture1->grab().toImage(), before);
    EXPECT_GT(std::min(countColour(before, kBlack), countColour(before, kBlue)), 10);
}
