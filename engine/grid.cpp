#include "engine/grid.h"

#include "engine/number_text.h"
#include "engine/setting_value.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace mergon {

void narrowCommonRange(Session &session) {
    for (const Curve &curve : session.curves) {
        if (session.commonXMin <= curve.fileXMin)
            session.commonXMin = curve.fileXMin;
        if (session.commonXMax >= curve.fileXMax)
            session.commonXMax = curve.fileXMax;
    }
}

Status prepareGrid(Session &session, std::string_view divisionText, int32_t maxDivisions) {
    const std::string most = std::to_string(maxDivisions);
    std::optional<int32_t> count = toCount(leadingNumber(divisionText), maxDivisions);
    if (!count)
        return Status::failure(kTooLarge, "The number of divisions is out of range: it must be a "
                                          "whole number from 1 to " +
                                              most + ".");
    if (*count <= 0)
        return Status::failure(kInvalidArgument,
                               "The number of divisions must be a whole number from 1 to " + most +
                                   ".");
    if (session.fileCount() < 1)
        return Status::failure(kInvalidArgument, "No input file is loaded.");
    if (session.commonXMin > session.commonXMax)
        return Status::failure(kInvalidArgument,
                               "The loaded curves have no x range in common, so there is nothing "
                               "to average.");
    const float step = narrowToFloat(
        (static_cast<double>(session.commonXMax) - static_cast<double>(session.commonXMin)) /
        *count);
    // The grid only grows from commonXMin, so its last x is the one that may overflow.
    if (!std::isfinite(step) || !std::isfinite(gridXAt(session.commonXMin, step, *count)))
        return Status::failure(kTooLarge, "The grid over the common x range goes beyond the range "
                                          "of single-precision numbers.");
    session.divisionCount = *count;
    session.xStep = step;
    return Status::success();
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

float gridXAt(float commonXMin, float xStep, int j) {
    // A float (24 significant bits) times a count up to 2^24 needs at most 48 bits, exact in a
    // double, so this is the product rounded once.
    return commonXMin + narrowToFloat(static_cast<double>(xStep) * j);
}

std::vector<float> makeGridX(float commonXMin, float xStep, int divisionCount) {
    std::vector<float> gridX(divisionCount >= 0 ? static_cast<size_t>(divisionCount) + 1 : 0);
    for (int j = 0; j <= divisionCount; ++j)
        gridX[static_cast<size_t>(j)] = gridXAt(commonXMin, xStep, j);
    return gridX;
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

std::vector<int> contributions(const std::vector<GridSpan> &spans, size_t pointCount) {
    // Each span adds 1 where it starts and takes it back past its end; the running sum is the
    // count, in one pass over the spans and one over the points, however long the grid.
    std::vector<int> count(pointCount + 1, 0);
    for (const GridSpan &span : spans) {
        if (span.first > span.last || span.first >= pointCount)
            continue;
        ++count[span.first];
        --count[std::min(span.last, pointCount - 1) + 1];
    }
    for (size_t j = 1; j < pointCount; ++j)
        count[j] += count[j - 1];
    count.resize(pointCount);
    return count;
}

std::string messageX(float x) {
    std::string text = singleText(x);
    return text.starts_with(' ') ? text.substr(1) : text;
}

} // namespace mergon
