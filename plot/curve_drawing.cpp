#include "plot/curve_drawing.h"

#include "plot/plot_frame.h"
#include "engine/setting_value.h"

namespace mergon {

CurveDrawing::CurveDrawing(PanelCanvas &canvas, QColor colour, std::function<void()> afterPoint)
    : canvas_(canvas), colour_(colour), afterPoint_(std::move(afterPoint)) {}

void CurveDrawing::add(double x, double y) {
    // y is negated on the double, then both coordinates are rounded to float.
    float px = narrowToFloat(x);
    float py = narrowToFloat(-y);
    if (!started_) {
        canvas_.setPoint(px, py, colour_);
        started_ = true;
    } else {
        canvas_.lineTo(px, py, colour_);
    }
    if (afterPoint_)
        afterPoint_();
}

Status redrawInputCurves(const Session &s, TextFile &file, PanelCanvas &canvas,
                         const RedrawHooks &hooks, int cachedSlot,
                         const std::vector<Row> *cachedRows) {
    canvas.clear();
    PlotFrame frame = frameFromPlotRange(s.plotXMin, s.plotXMax, s.plotYMin, s.plotYMax);
    canvas.setFrame(frame.left, frame.top, frame.right, frame.bottom);
    for (Segment axis : {xAxis(s.plotXMin, s.plotXMax), yAxis(s.plotYMin, s.plotYMax)})
        canvas.line(narrowToFloat(axis.x1), narrowToFloat(axis.y1), narrowToFloat(axis.x2),
                    narrowToFloat(axis.y2), kAxisColour);
    if (hooks.afterAxes)
        hooks.afterAxes();

    std::vector<Row> rows;
    for (int k = 1; k <= s.fileCount; ++k) {
        CurveDrawing curve(canvas, PanelCanvas::foreground(), hooks.afterPoint);
        if (k == cachedSlot && cachedRows) {
            for (size_t i = 1; i < cachedRows->size(); ++i)
                curve.add((*cachedRows)[i].x, (*cachedRows)[i].y);
            continue;
        }
        Status status = readCurve(file, curveSettings(s, k), rows, [&](int, const Row &row) {
            curve.add(row.x, row.y);
            return Status::success();
        });
        if (!status.ok())
            return Status::failure(status.code(), status.message(), s.fileNames[k]);
    }
    return Status::success();
}

void drawMeanCurve(const MeanCurve &curve, PanelCanvas &canvas,
                   const std::function<void()> &afterPoint) {
    CurveDrawing drawing(canvas, kMeanColour, afterPoint);
    for (size_t j = 0; j < curve.x.size(); ++j)
        drawing.add(curve.x[j], curve.y[j]);
}

} // namespace mergon
