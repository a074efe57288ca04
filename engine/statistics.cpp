#include "engine/statistics.h"

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

void appendStatisticsLine(std::string &line, int64_t number, float x, double mean,
                          const PointStatistics &point, bool withInterval) {
    line += std::to_string(number);
    line += ',';
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
    line += std::to_string(point.n);
    line += ',';
    appendShortest(line, point.min);
    line += ',';
    appendShortest(line, point.max);
    if (!withInterval)
        return;
    if (std::isnan(point.ci)) {
        line += ",,";
        return;
    }
    line += ',';
    appendShortest(line, mean - point.ci);
    line += ',';
    appendShortest(line, mean + point.ci);
}

std::string statisticsLine(int64_t number, float x, double mean, const PointStatistics &point,
                           bool withInterval) {
    std::string line;
    appendStatisticsLine(line, number, x, mean, point, withInterval);
    return line;
}

} // namespace mergon
