#include "plot/curve_drawing.h"

#include "engine/setting_value.h"
#include "plot/plot_frame.h"

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

namespace {

// The redraw, with `keptRows(k)` giving rows already read for slot k (1 and up), or null.
Status redraw(const Session &s, TextFile &file, PanelCanvas &canvas, const RedrawHooks &hooks,
              const std::function<const std::vector<Row> *(int)> &keptRows) {
    canvas.clear();
    PlotFrame frame = frameFromPlotRange(s.plotXMin, s.plotXMax, s.plotYMin, s.plotYMax);
    canvas.setFrame(frame.left, frame.top, frame.right, frame.bottom);
    for (Segment axis : {xAxis(s.plotXMin, s.plotXMax), yAxis(s.plotYMin, s.plotYMax)})
        canvas.line(narrowToFloat(axis.x1), narrowToFloat(axis.y1), narrowToFloat(axis.x2),
                    narrowToFloat(axis.y2), kAxisColour);
    if (hooks.afterAxes)
        hooks.afterAxes();

    std::vector<Row> rows;
    for (int k = 1; k <= s.fileCount(); ++k) {
        const Curve &loaded = s.curves[static_cast<size_t>(k - 1)];
        CurveDrawing curve(canvas, PanelCanvas::foreground(), hooks.afterPoint);
        if (const std::vector<Row> *kept = keptRows(k)) {
            for (size_t i = 1; i < kept->size(); ++i)
                curve.add((*kept)[i].x, (*kept)[i].y);
            continue;
        }
        Status status = readCurve(file, curveSettings(loaded), rows, [&](int, const Row &row) {
            curve.add(row.x, row.y);
            return Status::success();
        });
        if (!status.ok())
            return Status::failure(status.code(), status.message(), loaded.fileName);
    }
    return Status::success();
}

} // namespace

Status redrawInputCurves(const Session &s, TextFile &file, PanelCanvas &canvas,
                         const RedrawHooks &hooks, int cachedSlot,
                         const std::vector<Row> *cachedRows) {
    return redraw(s, file, canvas, hooks,
                  [&](int k) { return k == cachedSlot ? cachedRows : nullptr; });
}

Status redrawInputCurves(const Session &s, TextFile &file, PanelCanvas &canvas,
                         const RedrawHooks &hooks, const RowsBySlot &kept) {
    return redraw(s, file, canvas, hooks, [&](int k) {
        const auto i = static_cast<size_t>(k - 1);
        return i < kept.size() && !kept[i].empty() ? &kept[i] : nullptr;
    });
}

void drawMeanCurve(const MeanCurve &curve, PanelCanvas &canvas,
                   const std::function<void()> &afterPoint) {
    CurveDrawing drawing(canvas, kMeanColour, afterPoint);
    for (size_t j = 0; j < curve.x.size(); ++j)
        drawing.add(curve.x[j], curve.y[j]);
}

} // namespace mergon
