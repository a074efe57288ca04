#include "plot/paper_figure.h"

#include "plot/curve_drawing.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainterPath>
#include <QRectF>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace mergon {

namespace {

constexpr double kMarginShare = 0.05;

struct Extent {
    double xMin = std::numeric_limits<double>::infinity(), xMax = -xMin;
    double yMin = xMin, yMax = -xMin;
    void add(double x, double y) {
        xMin = std::min(xMin, x);
        xMax = std::max(xMax, x);
        yMin = std::min(yMin, y);
        yMax = std::max(yMax, y);
    }
    bool empty() const { return !(xMin <= xMax); }
};

// Half the band's width at one grid point; NaN where there is no band.
double bandHalfWidth(const PointStatistics &point, BandKind band) {
    if (band == BandKind::kNone || point.n < 2)
        return std::numeric_limits<double>::quiet_NaN();
    return band == BandKind::kSd ? point.sd : band == BandKind::kSe ? point.se : point.ci;
}

double halfWidthAt(const MeanCurve &mean, size_t j, BandKind band) {
    return j < mean.statistics.size() ? bandHalfWidth(mean.statistics[j], band)
                                      : std::numeric_limits<double>::quiet_NaN();
}

// Data to page coordinates inside the plot area; data y grows upwards.
struct PageMap {
    QRectF area;
    AxisRange x, y;
    double pageX(double value) const {
        return area.left() + (value - x.low) / (x.high - x.low) * area.width();
    }
    double pageY(double value) const {
        return area.bottom() - (value - y.low) / (y.high - y.low) * area.height();
    }
    QPointF operator()(double dataX, double dataY) const { return {pageX(dataX), pageY(dataY)}; }
};

// The band as one outline per stretch of grid points where it is defined.
QPainterPath bandPath(const MeanCurve &mean, BandKind band, const PageMap &map) {
    QPainterPath path;
    size_t j = 0;
    while (j < mean.x.size()) {
        if (!std::isfinite(halfWidthAt(mean, j, band))) {
            ++j;
            continue;
        }
        size_t end = j;
        while (end < mean.x.size() && std::isfinite(halfWidthAt(mean, end, band)))
            ++end;
        QPolygonF outline;
        for (size_t k = j; k < end; ++k)
            outline << map(mean.x[k], mean.y[k] + halfWidthAt(mean, k, band));
        for (size_t k = end; k-- > j;)
            outline << map(mean.x[k], mean.y[k] - halfWidthAt(mean, k, band));
        path.addPolygon(outline);
        path.closeSubpath();
        j = end;
    }
    return path;
}

// The part of segment a-b inside `area` (Liang and Barsky); false when none is.
bool clipSegment(QPointF &a, QPointF &b, const QRectF &area) {
    const QPointF d = b - a;
    const double p[] = {-d.x(), d.x(), -d.y(), d.y()};
    const double q[] = {a.x() - area.left(), area.right() - a.x(), a.y() - area.top(),
                        area.bottom() - a.y()};
    double enter = 0, leave = 1;
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0)
                return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0)
            enter = std::max(enter, t);
        else
            leave = std::min(leave, t);
    }
    if (enter > leave)
        return false;
    b = a + d * leave;
    a = a + d * enter;
    return true;
}

// A polyline cut to the frame, so that no file holds lines beyond it (an SVG viewer need not
// clip). `points` yields the page points in order.
template <typename Points> QPainterPath clippedPolyline(const QRectF &area, Points points) {
    QPainterPath path;
    std::optional<QPointF> previous;
    bool joined = false; // the path ends where the next segment starts
    size_t count = 0;
    points([&](QPointF next) {
        ++count;
        if (previous) {
            QPointF a = *previous, b = next;
            if (clipSegment(a, b, area)) {
                if (!joined || a != *previous)
                    path.moveTo(a);
                path.lineTo(b);
                joined = b == next;
            } else {
                joined = false;
            }
        }
        previous = next;
    });
    if (count == 1 && area.contains(*previous))
        path.moveTo(*previous);
    return path;
}

void drawCurve(QPainter &painter, const QPainterPath &path) {
    if (path.elementCount() == 1)
        painter.drawPoint(path.currentPosition());
    else
        painter.drawPath(path);
}

// Every data point the figure shows: the input rows, the mean and the band's edges.
template <typename Visit>
void forEachDataPoint(const std::vector<Rows> &inputs, const MeanCurve &mean, BandKind band,
                      Visit visit) {
    for (const Rows &rows : inputs)
        for (size_t i = 1; i < rows.size(); ++i)
            visit(rows[i].x, rows[i].y);
    for (size_t j = 0; j < mean.x.size(); ++j) {
        visit(mean.x[j], mean.y[j]);
        const double half = halfWidthAt(mean, j, band);
        if (std::isfinite(half)) {
            visit(mean.x[j], mean.y[j] + half);
            visit(mean.x[j], mean.y[j] - half);
        }
    }
}

// Points along every drawn line (input curves, mean, band edges) no further apart than
// `spacing` on the page, so that a line crossing a box counts even between its data points.
template <typename Visit>
void forEachLineSample(const std::vector<Rows> &inputs, const MeanCurve &mean, BandKind band,
                       const PageMap &map, double spacing, Visit visit) {
    std::optional<QPointF> previous;
    const auto add = [&](QPointF next) {
        if (previous &&
            map.area.intersects(QRectF(*previous, next).normalized().adjusted(-1, -1, 1, 1))) {
            const QPointF step = next - *previous;
            const double length = std::hypot(step.x(), step.y());
            const int pieces = static_cast<int>(std::min(1000.0, std::ceil(length / spacing)));
            for (int k = 1; k < pieces; ++k)
                visit(*previous + step * (static_cast<double>(k) / pieces));
        }
        visit(next);
        previous = next;
    };
    for (const Rows &rows : inputs) {
        previous.reset();
        for (size_t i = 1; i < rows.size(); ++i)
            add(map(rows[i].x, rows[i].y));
    }
    for (const double side : {0.0, 1.0, -1.0}) {
        previous.reset();
        for (size_t j = 0; j < mean.x.size(); ++j) {
            const double half = side == 0 ? 0 : halfWidthAt(mean, j, band);
            if (std::isfinite(half))
                add(map(mean.x[j], mean.y[j] + side * half));
            else
                previous.reset();
        }
    }
}

struct LegendEntry {
    QString text;
    enum Kind { kLine, kPatch } kind;
    QColor colour;
    double lineWidth;
};

// The legend box inside the frame where it covers the fewest line samples; among equals, the
// first of: upper right, upper left, lower left, lower right, right, left, lower centre,
// upper centre, centre, then the places between them on a grid of quarters.
template <typename Samples>
QRectF legendPlace(QSizeF box, const QRectF &area, double inset, Samples samples) {
    const QRectF inner = area.adjusted(inset, inset, -inset, -inset);
    const double xs[] = {inner.right() - box.width(), inner.left(),
                         inner.center().x() - box.width() / 2};
    const double ys[] = {inner.top(), inner.bottom() - box.height(),
                         inner.center().y() - box.height() / 2};
    const std::pair<int, int> order[] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 2},
                                         {1, 2}, {2, 1}, {2, 0}, {2, 2}};
    std::vector<QRectF> places;
    for (const auto &[column, row] : order)
        places.emplace_back(QPointF(xs[column], ys[row]), box);
    for (int row = 0; row <= 4; ++row)
        for (int column = 0; column <= 4; ++column)
            places.emplace_back(QPointF(inner.left() + column * (inner.width() - box.width()) / 4,
                                        inner.top() + row * (inner.height() - box.height()) / 4),
                                box);
    std::vector<size_t> covered(places.size(), 0);
    samples([&](QPointF p) {
        for (size_t k = 0; k < places.size(); ++k)
            covered[k] += places[k].contains(p) ? 1 : 0;
    });
    return places[static_cast<size_t>(std::min_element(covered.begin(), covered.end()) -
                                      covered.begin())];
}

QSizeF legendSize(const QFontMetricsF &metrics, const std::vector<LegendEntry> &entries,
                  double em) {
    double textWidth = 0;
    for (const LegendEntry &entry : entries)
        textWidth = std::max(textWidth, metrics.horizontalAdvance(entry.text));
    return {0.4 * em + 2 * em + 0.5 * em + textWidth + 0.4 * em,
            0.6 * em + static_cast<double>(entries.size()) * metrics.height()};
}

void drawLegend(QPainter &painter, const QFontMetricsF &metrics, const QRectF &place,
                const std::vector<LegendEntry> &entries, double em, double point) {
    painter.save();
    painter.setPen(QPen(QColor(160, 160, 160), 0.5 * point));
    painter.setBrush(Qt::white);
    painter.drawRect(place);
    double y = place.top() + 0.3 * em;
    for (const LegendEntry &entry : entries) {
        const QRectF swatch(place.left() + 0.4 * em, y, 2 * em, metrics.height());
        if (entry.kind == LegendEntry::kPatch) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(entry.colour);
            painter.drawRect(swatch.adjusted(0, swatch.height() * 0.2, 0, -swatch.height() * 0.2));
        } else {
            painter.setPen(QPen(entry.colour, entry.lineWidth, Qt::SolidLine, Qt::FlatCap));
            painter.drawLine(QPointF(swatch.left(), swatch.center().y()),
                             QPointF(swatch.right(), swatch.center().y()));
        }
        painter.setPen(Qt::black);
        painter.drawText(QRectF(swatch.right() + 0.5 * em, y, place.width(), metrics.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, entry.text);
        y += metrics.height();
    }
    painter.restore();
}

} // namespace

AxisRange fittedRange(double low, double high) {
    const double span = high - low;
    if (span > 0)
        return {low - kMarginShare * span, high + kMarginShare * span};
    const double half = low != 0 ? std::fabs(low) * kMarginShare : 1.0;
    return {low - half, high + half};
}

double tickStep(double span, int maxIntervals) {
    if (!(span > 0) || !std::isfinite(span) || maxIntervals < 1)
        return 1.0;
    const double rough = span / maxIntervals;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (double multiple : {1.0, 2.0, 5.0})
        if (multiple * power >= rough)
            return multiple * power;
    return 10.0 * power;
}

std::vector<double> tickValues(const AxisRange &range, double step) {
    std::vector<double> values;
    const double first = std::ceil(range.low / step), last = std::floor(range.high / step);
    for (double k = first; k <= last && values.size() < 1000; ++k)
        values.push_back(k * step);
    return values;
}

QString tickLabel(double value, double step) {
    if (value == 0)
        return QStringLiteral("0");
    const int stepExponent = static_cast<int>(std::floor(std::log10(step) + 1e-9));
    const double magnitude = std::fabs(value);
    QString text;
    if (magnitude >= 1e6 || stepExponent < -5) {
        const int digits = static_cast<int>(std::floor(std::log10(magnitude))) - stepExponent + 1;
        text = QString::number(value, 'g', std::clamp(digits, 1, 17));
    } else {
        text = QString::number(value, 'f', std::max(0, -stepExponent));
    }
    if (text.startsWith(QLatin1Char('-')))
        text[0] = QChar(0x2212);
    return text;
}

QString bandLegend(BandKind band, double confidence) {
    switch (band) {
    case BandKind::kSd:
        return QStringLiteral("mean +- 1 sd");
    case BandKind::kSe:
        return QStringLiteral("mean +- 1 se");
    case BandKind::kCi:
        return QString::number(confidence * 100, 'g', 6) + QStringLiteral(" % confidence interval");
    case BandKind::kNone:
        break;
    }
    return {};
}

void drawPaperFigure(QPainter &painter, QSizeF page, double unitsPerPoint,
                     const PaperFigureRequest &request, const std::vector<Rows> &inputs,
                     const MeanCurve &mean) {
    const BandKind band = request.band;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(QRectF(QPointF(0, 0), page), Qt::white);

    // The x span: as asked, or fitted to all data; y fitted to what lies within it.
    Extent all;
    forEachDataPoint(inputs, mean, band, [&](double x, double y) { all.add(x, y); });
    if (all.empty())
        all.add(0, 0);
    PageMap map{{},
                request.xLimits ? AxisRange{request.xLimits->low, request.xLimits->high}
                                : fittedRange(all.xMin, all.xMax),
                {}};
    if (request.yLimits) {
        map.y = {request.yLimits->low, request.yLimits->high};
    } else {
        Extent shown;
        forEachDataPoint(inputs, mean, band, [&](double x, double y) {
            if (x >= map.x.low && x <= map.x.high)
                shown.add(x, y);
        });
        map.y =
            shown.empty() ? fittedRange(all.yMin, all.yMax) : fittedRange(shown.yMin, shown.yMax);
    }

    const double point = unitsPerPoint;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(request.fontSize * point))));
    painter.setFont(font);
    const QFontMetricsF metrics(font, painter.device());
    const double em = font.pixelSize();
    const double lineHeight = metrics.height();
    const double margin = std::max(0.5 * em, 2 * point); // nothing comes nearer the edge
    const double tickLength = 0.4 * em;
    const double gap = 0.3 * em;
    const QString xLabel = QString::fromStdString(request.xLabel);
    const QString yLabel = QString::fromStdString(request.yLabel);
    const QString title = QString::fromStdString(request.title);

    const double top = margin + (title.isEmpty() ? 0 : lineHeight + gap) + lineHeight / 2;
    const double bottom =
        std::max(top + 1, page.height() - margin - (xLabel.isEmpty() ? 0 : lineHeight + gap) -
                              lineHeight - gap - tickLength);
    const int yIntervals = std::clamp(static_cast<int>((bottom - top) / (em * 4)), 2, 10);
    const double yStep = tickStep(map.y.high - map.y.low, yIntervals);
    const std::vector<double> yTicks = tickValues(map.y, yStep);
    double yNumbersWidth = 0;
    for (double value : yTicks)
        yNumbersWidth = std::max(yNumbersWidth, metrics.horizontalAdvance(tickLabel(value, yStep)));

    const double yLabelRight = margin + (yLabel.isEmpty() ? 0 : lineHeight + gap);
    double left = yLabelRight + yNumbersWidth + gap + tickLength;
    double right = page.width() - margin;
    const int xIntervals = std::clamp(static_cast<int>((right - left) / (em * 5)), 2, 10);
    const double xStep = tickStep(map.x.high - map.x.low, xIntervals);
    const std::vector<double> xTicks = tickValues(map.x, xStep);
    if (!xTicks.empty()) { // the outer numbers' halves stay off the edges
        left = std::max(left,
                        margin + metrics.horizontalAdvance(tickLabel(xTicks.front(), xStep)) / 2);
        right -= metrics.horizontalAdvance(tickLabel(xTicks.back(), xStep)) / 2;
    }
    right = std::max(right, left + 1);
    map.area = QRectF(QPointF(left, top), QPointF(right, bottom));

    // The curves and the band stay inside the frame.
    painter.save();
    painter.setClipRect(map.area);
    QPen pen(kInputGrey, 0.6 * point, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    for (const Rows &rows : inputs) {
        const QPainterPath path = clippedPolyline(map.area, [&](auto add) {
            for (size_t i = 1; i < rows.size(); ++i)
                add(map(rows[i].x, rows[i].y));
        });
        if (!path.isEmpty())
            drawCurve(painter, path);
    }
    // The band goes over the input curves, which show through it.
    QPainterPath frameArea;
    frameArea.addRect(map.area);
    const QPainterPath bandOutline = bandPath(mean, band, map).intersected(frameArea);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kBandColour);
    painter.drawPath(bandOutline);
    painter.setBrush(Qt::NoBrush);

    pen.setColor(kMeanColour);
    pen.setWidthF(1.2 * point);
    painter.setPen(pen);
    const QPainterPath meanPath = clippedPolyline(map.area, [&](auto add) {
        for (size_t j = 0; j < mean.x.size(); ++j)
            add(map(mean.x[j], mean.y[j]));
    });
    if (!meanPath.isEmpty())
        drawCurve(painter, meanPath);
    painter.restore();

    painter.setPen(QPen(Qt::black, 0.75 * point, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.drawRect(map.area);
    for (double value : xTicks) {
        const double x = map.pageX(value);
        painter.drawLine(QPointF(x, bottom), QPointF(x, bottom + tickLength));
        const QRectF box(x - page.width(), bottom + tickLength + gap, 2 * page.width(), lineHeight);
        painter.drawText(box, Qt::AlignHCenter | Qt::AlignTop, tickLabel(value, xStep));
    }
    for (double value : yTicks) {
        const double y = map.pageY(value);
        painter.drawLine(QPointF(left - tickLength, y), QPointF(left, y));
        const QRectF box(yLabelRight, y - lineHeight / 2, left - tickLength - gap - yLabelRight,
                         lineHeight);
        painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, tickLabel(value, yStep));
    }
    const double centreX = map.area.center().x();
    if (!xLabel.isEmpty())
        painter.drawText(QRectF(centreX - page.width(), page.height() - margin - lineHeight,
                                2 * page.width(), lineHeight),
                         Qt::AlignHCenter | Qt::AlignTop, xLabel);
    if (!yLabel.isEmpty()) {
        painter.save();
        painter.translate(margin, map.area.center().y());
        painter.rotate(-90);
        painter.drawText(QRectF(-page.height(), 0, 2 * page.height(), lineHeight),
                         Qt::AlignHCenter | Qt::AlignTop, yLabel);
        painter.restore();
    }
    if (!title.isEmpty()) {
        QFont bold = font;
        bold.setBold(true);
        painter.setFont(bold);
        painter.drawText(QRectF(centreX - page.width(), margin, 2 * page.width(), lineHeight),
                         Qt::AlignHCenter | Qt::AlignTop, title);
        painter.setFont(font);
    }

    if (request.legend) {
        std::vector<LegendEntry> entries;
        entries.push_back({QStringLiteral("mean of %1 curves").arg(inputs.size()),
                           LegendEntry::kLine, kMeanColour, 1.2 * point});
        if (!bandOutline.isEmpty())
            entries.push_back(
                {bandLegend(band, request.confidence), LegendEntry::kPatch, kBandColour, 0});
        entries.push_back(
            {QStringLiteral("input curves"), LegendEntry::kLine, kInputGrey, 0.6 * point});
        const QRectF place =
            legendPlace(legendSize(metrics, entries, em), map.area, 0.5 * em, [&](auto visit) {
                forEachLineSample(inputs, mean, band, map, em / 2, visit);
            });
        drawLegend(painter, metrics, place, entries, em, point);
    }
    painter.restore();
}

} // namespace mergon
