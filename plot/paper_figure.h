#pragma once
// The figure for a publication: a frame fitted to the data (or set by hand), axes with numbered
// ticks at 1-2-5 steps, axis labels and a title, the input curves in light grey, the mean in
// red over a shaded band of its spread, and a legend where it covers the fewest data.

#include "engine/averaging.h"
#include "engine/reader.h"
#include "plot/figure_kinds.h"

#include <QColor>
#include <QPainter>
#include <QSizeF>
#include <QString>

#include <vector>

namespace mergon {

inline const QColor kInputGrey{170, 170, 170};
inline const QColor kBandColour{255, 0, 0, 50}; // over white: (255, 205, 205)

struct AxisRange {
    double low = 0, high = 1;
};

// The data's extent widened by 5 % of its span on each side, so that nothing touches the
// frame; a single value is widened by 5 % of itself (1 around 0).
AxisRange fittedRange(double low, double high);

// The smallest step of 1, 2 or 5 times a power of ten that divides `span` into at most
// `maxIntervals` intervals.
double tickStep(double span, int maxIntervals);

// The multiples of `step` within the range.
std::vector<double> tickValues(const AxisRange &range, double step);

// A tick's number with as many decimals as the step needs (exponent form for very large or
// very small numbers), with a true minus sign.
QString tickLabel(double value, double step);

// The legend's text for the band; empty for none.
QString bandLegend(BandKind band, double confidence);

// Draws the figure on a white page of `page` (the painter's units, `unitsPerPoint` of them to
// the point: sizes of text and lines are in points). `inputs` holds each file's rows (entry 0
// of each unused); the band needs mean.statistics (with their ci for kCi).
void drawPaperFigure(QPainter &painter, QSizeF page, double unitsPerPoint,
                     const PaperFigureRequest &request, const std::vector<Rows> &inputs,
                     const MeanCurve &mean);

} // namespace mergon
