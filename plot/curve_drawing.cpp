#include "plot/curve_drawing.h"

#include "engine/setting_value.h"
#include "plot/plot_frame.h"

#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <limits>

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
              const std::function<const Rows *(int)> &keptRows) {
    canvas.clear();
    PlotFrame frame = frameFromPlotRange(s.plotXMin, s.plotXMax, s.plotYMin, s.plotYMax);
    canvas.setFrame(frame.left, frame.top, frame.right, frame.bottom);
    for (Segment axis : {xAxis(s.plotXMin, s.plotXMax), yAxis(s.plotYMin, s.plotYMax)})
        canvas.line(narrowToFloat(axis.x1), narrowToFloat(axis.y1), narrowToFloat(axis.x2),
                    narrowToFloat(axis.y2), kAxisColour);
    if (hooks.afterAxes)
        hooks.afterAxes();

    Rows rows;
    for (int k = 1; k <= s.fileCount(); ++k) {
        const Curve &loaded = s.curves[static_cast<size_t>(k - 1)];
        CurveDrawing curve(canvas, PanelCanvas::foreground(), hooks.afterPoint);
        if (const Rows *kept = keptRows(k)) {
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

// Half the band's width at one grid point, as the paper figure takes it; NaN where there is
// none (one file, or kNone).
double spreadHalfWidth(const PointStatistics &point, BandKind band) {
    if (band == BandKind::kNone || point.n < 2)
        return std::numeric_limits<double>::quiet_NaN();
    return band == BandKind::kSd ? point.sd : band == BandKind::kSe ? point.se : point.ci;
}

} // namespace

Status redrawInputCurves(const Session &s, TextFile &file, PanelCanvas &canvas,
                         const RedrawHooks &hooks, int cachedSlot, const Rows *cachedRows) {
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

void drawSpreadBand(const MeanCurve &curve, BandKind band, PanelCanvas &canvas) {
    const size_t count = std::min(curve.x.size(), curve.statistics.size());
    const auto half = [&](size_t j) { return spreadHalfWidth(curve.statistics[j], band); };
    // Like the curves, at (x, -y) rounded to float.
    const auto corner = [&](size_t j, double side) {
        return QPointF(curve.x[j], narrowToFloat(-(curve.y[j] + side * half(j))));
    };
    size_t j = 0;
    while (j < count) {
        if (!std::isfinite(half(j))) {
            ++j;
            continue;
        }
        size_t end = j;
        while (end < count && std::isfinite(half(end)))
            ++end;
        QPolygonF outline;
        for (size_t k = j; k < end; ++k)
            outline << corner(k, 1);
        for (size_t k = end; k-- > j;)
            outline << corner(k, -1);
        canvas.fillPolygon(outline, kSpreadColour);
        j = end;
    }
}

void drawMeanCurve(const MeanCurve &curve, PanelCanvas &canvas,
                   const std::function<void()> &afterPoint) {
    CurveDrawing drawing(canvas, kMeanColour, afterPoint);
    for (size_t j = 0; j < curve.x.size(); ++j)
        drawing.add(curve.x[j], curve.y[j]);
}

} // namespace mergon
