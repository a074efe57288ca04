#include "plot/paper_figure.h"

#include "plot/curve_drawing.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainterPath>
#include <QRectF>

#include <algorithm>
#include <cmath>
#include <limits>

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

void drawCurve(QPainter &painter, const QPainterPath &path) {
    if (path.elementCount() == 1)
        painter.drawPoint(path.currentPosition());
    else
        painter.drawPath(path);
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

void drawPaperFigure(QPainter &painter, QSize size, const std::vector<std::vector<Row>> &inputs,
                     const MeanCurve &mean, BandKind band) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(QRectF(QPointF(0, 0), QSizeF(size)), Qt::white);

    Extent extent;
    for (const std::vector<Row> &rows : inputs)
        for (size_t i = 1; i < rows.size(); ++i)
            extent.add(rows[i].x, rows[i].y);
    for (size_t j = 0; j < mean.x.size(); ++j) {
        extent.add(mean.x[j], mean.y[j]);
        const double half = halfWidthAt(mean, j, band);
        if (std::isfinite(half)) {
            extent.add(mean.x[j], mean.y[j] + half);
            extent.add(mean.x[j], mean.y[j] - half);
        }
    }
    if (extent.empty())
        extent.add(0, 0);
    PageMap map{{}, fittedRange(extent.xMin, extent.xMax), fittedRange(extent.yMin, extent.yMax)};

    // Sizes follow the page: at 1200x800 the numbers are 24 units high.
    const double scale = std::min(size.width(), size.height()) / 800.0;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(9, static_cast<int>(std::lround(24 * scale))));
    painter.setFont(font);
    const QFontMetricsF metrics(font, painter.device());
    const double margin = font.pixelSize() * 0.8;
    const double tickLength = std::max(3.0, 10 * scale);
    const double gap = tickLength * 0.6;

    const double top = margin + metrics.height() / 2;
    const double bottom = size.height() - margin - metrics.height() - gap - tickLength;
    const int yIntervals =
        std::clamp(static_cast<int>((bottom - top) / (font.pixelSize() * 4)), 2, 10);
    const double yStep = tickStep(map.y.high - map.y.low, yIntervals);
    const std::vector<double> yTicks = tickValues(map.y, yStep);
    double labelWidth = 0;
    for (double value : yTicks)
        labelWidth = std::max(labelWidth, metrics.horizontalAdvance(tickLabel(value, yStep)));

    const double left = margin + labelWidth + gap + tickLength;
    double right = size.width() - margin;
    const int xIntervals =
        std::clamp(static_cast<int>((right - left) / (font.pixelSize() * 4)), 2, 10);
    const double xStep = tickStep(map.x.high - map.x.low, xIntervals);
    const std::vector<double> xTicks = tickValues(map.x, xStep);
    if (!xTicks.empty()) // room for half of the last number beyond the frame
        right =
            std::min(right, size.width() -
                                metrics.horizontalAdvance(tickLabel(xTicks.back(), xStep)) / 2 - 2);
    map.area = QRectF(QPointF(left, top), QPointF(right, bottom));

    QPen pen(kInputGrey, std::max(1.0, 1.4 * scale), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    for (const std::vector<Row> &rows : inputs) {
        QPainterPath path;
        for (size_t i = 1; i < rows.size(); ++i)
            i == 1 ? path.moveTo(map(rows[i].x, rows[i].y))
                   : path.lineTo(map(rows[i].x, rows[i].y));
        if (!path.isEmpty())
            drawCurve(painter, path);
    }
    // The band goes over the input curves, which show through it.
    painter.setPen(Qt::NoPen);
    painter.setBrush(kBandColour);
    painter.drawPath(bandPath(mean, band, map));
    painter.setBrush(Qt::NoBrush);

    pen.setColor(kMeanColour);
    pen.setWidthF(std::max(2.0, 3 * scale));
    painter.setPen(pen);
    QPainterPath meanPath;
    for (size_t j = 0; j < mean.x.size(); ++j)
        j == 0 ? meanPath.moveTo(map(mean.x[j], mean.y[j]))
               : meanPath.lineTo(map(mean.x[j], mean.y[j]));
    if (!meanPath.isEmpty())
        drawCurve(painter, meanPath);

    painter.setPen(
        QPen(Qt::black, std::max(1.0, 1.5 * scale), Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.drawRect(map.area);
    for (double value : xTicks) {
        const double x = map.pageX(value);
        painter.drawLine(QPointF(x, bottom), QPointF(x, bottom + tickLength));
        const QRectF box(x - 500, bottom + tickLength + gap, 1000, metrics.height());
        painter.drawText(box, Qt::AlignHCenter | Qt::AlignTop, tickLabel(value, xStep));
    }
    for (double value : yTicks) {
        const double y = map.pageY(value);
        painter.drawLine(QPointF(left - tickLength, y), QPointF(left, y));
        const QRectF box(0, y - metrics.height() / 2, left - tickLength - gap, metrics.height());
        painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, tickLabel(value, yStep));
    }
    painter.restore();
}

} // namespace mergon
