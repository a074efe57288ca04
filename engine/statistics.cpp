#include "engine/statistics.h"

#include "engine/averaging.h"
#include "engine/number_text.h"
#include "engine/student_t.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace mergon {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

template <typename Number> void appendShortest(std::string &line, Number value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    line.append(text, result.ptr);
}

} // namespace

void RunningStatistics::add(double value) {
    ++n_;
    if (n_ == 1) {
        mean_ = min_ = max_ = value;
        return;
    }
    const double delta = value - mean_;
    mean_ += delta / n_;
    m2_ += delta * (value - mean_);
    min_ = std::fmin(min_, value);
    max_ = std::fmax(max_, value);
}

PointStatistics RunningStatistics::result() const {
    PointStatistics point{n_, kNaN, kNaN, min_, max_};
    if (n_ > 1) {
        point.sd = std::sqrt(m2_ / (n_ - 1));
        point.se = point.sd / std::sqrt(static_cast<double>(n_));
    }
    return point;
}

std::string messageX(float x) {
    std::string text = singleText(x);
    return text.starts_with(' ') ? text.substr(1) : text;
}

void unionRange(const Session &s, float &xMin, float &xMax) {
    xMin = kRunningMinStart;
    xMax = kRunningMaxStart;
    for (const Curve &curve : s.curves) {
        if (curve.fileXMin < xMin)
            xMin = curve.fileXMin;
        if (curve.fileXMax > xMax)
            xMax = curve.fileXMax;
    }
}

void gridRange(const Session &s, const MeanOptions &options, float &xMin, float &xMax) {
    switch (options.range) {
    case GridRange::kCommon:
        xMin = s.commonXMin;
        xMax = s.commonXMax;
        break;
    case GridRange::kUnion:
        unionRange(s, xMin, xMax);
        break;
    case GridRange::kChosen:
        xMin = options.chosenXMin;
        xMax = options.chosenXMax;
        break;
    }
}

Status prepareGridOver(Session &s, const MeanOptions &options, std::string_view divisionText) {
    Session spanned = s;
    gridRange(s, options, spanned.commonXMin, spanned.commonXMax);
    Status status = prepareGrid(spanned, divisionText, options.limits.maxDivisions);
    if (status.ok()) {
        s.divisionCount = spanned.divisionCount;
        s.xStep = spanned.xStep;
    }
    return status;
}

Status contributingSpans(const Session &s, const MeanOptions &options,
                         const std::vector<float> &gridX, std::vector<GridSpan> &spans) {
    if (gridX.empty()) {
        spans.assign(s.curves.size(), GridSpan{});
        return Status::success();
    }
    spans.assign(s.curves.size(), GridSpan{0, gridX.size() - 1});
    if (options.range == GridRange::kCommon)
        return Status::success();

    float rangeMin = 0, rangeMax = 0;
    gridRange(s, options, rangeMin, rangeMax);
    const size_t last = gridX.size() - 1;
    std::vector<int> count(gridX.size(), 0);
    for (size_t i = 0; i < s.curves.size(); ++i) {
        const Curve &curve = s.curves[i];
        GridSpan span; // empty until a point falls inside
        for (size_t j = 0; j <= last; ++j) {
            const bool inside =
                curve.fileXMin <= gridX[j] &&
                (gridX[j] <= curve.fileXMax || (j == last && curve.fileXMax >= rangeMax));
            if (!inside)
                continue;
            if (span.first > span.last)
                span.first = j;
            span.last = j;
            ++count[j];
        }
        spans[i] = span;
    }
    for (size_t j = 0; j <= last; ++j)
        if (count[j] == 0)
            return Status::failure(kInvalidArgument,
                                   "No input file covers x = " + messageX(gridX[j]) +
                                       ", so there is nothing to average there.");
    return Status::success();
}

void addConfidenceIntervals(std::vector<PointStatistics> &points, double level) {
    std::vector<double> tByCount; // t for n values, by n: one quantile per count
    for (PointStatistics &point : points) {
        if (point.n < 2)
            continue;
        const auto n = static_cast<size_t>(point.n);
        if (tByCount.size() <= n)
            tByCount.resize(n + 1, kNaN);
        if (std::isnan(tByCount[n]))
            tByCount[n] = twoSidedStudentT(level, point.n - 1);
        point.ci = tByCount[n] * point.se;
    }
}

std::vector<double> curveValuesOnGrid(const std::vector<Row> &rows,
                                      const std::vector<float> &gridX) {
    std::vector<double> values(gridX.size(), 0.0);
    if (rows.size() < 2)
        return values; // no data row: the file adds nothing
    sweepGrid(rows, gridX, [&](std::size_t j, double gx, GridPlace place) {
        if (!place.between) {
            values[j] = rows[place.row].y;
            return;
        }
        const Row &before = rows[place.row - 1];
        const Row &after = rows[place.row];
        const double slope = (after.y - before.y) / (after.x - before.x);
        values[j] = slope * (gx - before.x) + before.y;
    });
    return values;
}

std::string statisticsLine(int64_t number, float x, double mean, const PointStatistics &point,
                           bool withInterval) {
    std::string line = std::to_string(number) + ',';
    appendShortest(line, x);
    line += ',';
    appendShortest(line, mean);
    line += ',';
    if (point.n > 1) {
        appendShortest(line, point.sd);
        line += ',';
        appendShortest(line, point.se);
        line += ',';
    } else {
        line += ",,";
    }
    line += std::to_string(point.n) + ',';
    appendShortest(line, point.min);
    line += ',';
    appendShortest(line, point.max);
    if (!withInterval)
        return line;
    if (std::isnan(point.ci))
        return line + ",,";
    line += ',';
    appendShortest(line, mean - point.ci);
    line += ',';
    appendShortest(line, mean + point.ci);
    return line;
}

Status writeStatisticsFile(TextFile &file, ReplacedFile &output, const MeanCurve &curve,
                           bool withInterval) {
    Status status = file.openForWriting(output);
    if (status.ok())
        status = file.writeLine(std::string(kStatisticsHeader) +
                                std::string(withInterval ? kIntervalHeader : ""));
    for (size_t j = 0; status.ok() && j < curve.statistics.size(); ++j)
        status = file.writeLine(statisticsLine(static_cast<int64_t>(j) + 1, curve.x[j], curve.y[j],
                                               curve.statistics[j], withInterval));
    if (status.ok())
        status = file.close();
    if (!status.ok())
        file.closeAll();
    return status;
}

} // namespace mergon
