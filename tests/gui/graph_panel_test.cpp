// The graph panel: a frame that can be drawn whatever the range, drawing on the backing image,
// the redraw of the input curves, the mean on top, and a drawing that survives covering the
// window.
#include "form1_fixture.h"
#include "plot/curve_drawing.h"
#include "plot/plot_frame.h"
#include "workbench/graph_panel.h"

#include <QTest>

#include <cmath>
#include <limits>

using namespace mergon;

namespace {

const QColor kBlack(Qt::black);
const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);

// True when a pixel of `colour` lies within `radius` pixels of the given position.
bool colourNear(const QImage &image, QPointF at, const QColor &colour, int radius = 1) {
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx) {
            int x = static_cast<int>(at.x()) + dx, y = static_cast<int>(at.y()) + dy;
            if (image.rect().contains(x, y) && image.pixelColor(x, y) == colour)
                return true;
        }
    return false;
}

} // namespace

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
    int column = 100, blue = 0;
    for (int y = 0; y < 100; ++y)
        blue += canvas.image().pixelColor(column, y) == kBlue;
    EXPECT_EQ(blue, 1);
}

class RedrawTest : public Form1Fixture {};

TEST_F(RedrawTest, DrawsAxesAndEveryCurveInTheFrameOfThePlotRange) {
    // Two curves far apart in y: a joining segment would cross the empty middle.
    std::string a = writeCurve("a.txt", {{2, -1}, {4, -1}, {6, -1}});
    std::string b = writeCurve("b.txt", {{4, 4}, {10, 4}});
    add(a);
    add(b);
    ASSERT_TRUE(messages.empty());
    const PanelCanvas &canvas = form->Picture1->canvas();
    const QImage &image = canvas.image();
    EXPECT_TRUE(colourNear(image, canvas.toPixel(8, 0), kBlue));   // x axis at data y 0
    EXPECT_TRUE(colourNear(image, canvas.toPixel(0, -2), kBlue));  // y axis at the left edge
    EXPECT_TRUE(colourNear(image, canvas.toPixel(3, 1), kBlack));  // curve a at data y -1
    EXPECT_TRUE(colourNear(image, canvas.toPixel(7, -4), kBlack)); // curve b at data y 4
    // Not joined: nothing black halfway between the end of a and the start of b.
    EXPECT_FALSE(colourNear(image, canvas.toPixel(5, -1.5), kBlack, 2));
}

TEST_F(RedrawTest, OneRowCurveIsASinglePointAndDegenerateFramesStillShowIt) {
    std::string one = writeCurve("one.txt", {{-3, 2}});
    add(one);
    ASSERT_TRUE(messages.empty()) << messages.front().text.toStdString();
    const PanelCanvas &canvas = form->Picture1->canvas(); // x -3 to -3, y 2 to 2
    EXPECT_TRUE(colourNear(canvas.image(), canvas.toPixel(-3, -2), kBlack));
    EXPECT_EQ(countColour(canvas.image(), kBlack), 1);
}

TEST_F(RedrawTest, MeanCurveIsDrawnOnTopAndGoneAfterTheNextAddition) {
    std::string a = writeCurve("a.txt", {{0, 0}, {10, 10}});
    std::string b = writeCurve("b.txt", {{0, 0}, {10, 10}});
    add(a);
    add(b);
    form->Text2[0]->setText(QString::fromStdString(path("mean.mrg")));
    const PanelCanvas &canvas = form->Picture1->canvas();
    int blackBefore = countColour(canvas.image(), kBlack);
    form->Command1->click();
    ASSERT_TRUE(messages.empty()) << messages.front().text.toStdString();
    // The mean lies on the input curves: drawn last, red covers them.
    EXPECT_TRUE(colourNear(canvas.image(), canvas.toPixel(5, -5), kRed));
    EXPECT_LT(countColour(canvas.image(), kBlack), blackBefore / 4);

    std::string c = writeCurve("c.txt", {{0, 1}, {10, 11}});
    add(c);
    EXPECT_EQ(countColour(form->Picture1->canvas().image(), kRed), 0);
}

TEST_F(RedrawTest, DrawingSurvivesHidingAndShowingTheWindow) {
    std::string a = writeCurve("a.txt", {{1, 1}, {9, 5}});
    add(a);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QImage before = form->Picture1->grab().toImage();
    form->showMinimized();
    form->hide();
    form->showNormal();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QImage after = form->Picture1->grab().toImage();
    EXPECT_EQ(before, after);
    EXPECT_GT(countColour(after, kBlack), 10);
    EXPECT_GT(countColour(after, kBlue), 10);
}
