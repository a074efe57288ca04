#include "engine/averaging.h"

#include "engine/number_text.h"
#include "engine/setting_value.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace mergon {

namespace {

// A failure of one file, with a message that names it: the file's own message when that
// already does, else `what` about the file followed by that message.
Status naming(const Status &status, const std::string &path, const std::string &what) {
    if (status.message().find(path) != std::string::npos)
        return Status::failure(status.code(), status.message(), path).withDetail(status.detail());
    std::string message = what + " \"" + path + "\"";
    if (!status.message().empty())
        message += ": " + status.message();
    if (message.back() != '.')
        message += '.';
    return Status::failure(status.code(), message, path).withDetail(status.detail());
}

// The rows of curve i: the kept ones when there are, else read from the file into `rows`.
Status slotRows(TextFile &file, const Session &session, size_t i, const RowsBySlot *kept,
                std::vector<Row> &rows, const std::vector<Row> *&source) {
    source = kept && i < kept->size() ? &(*kept)[i] : nullptr;
    if (source && !source->empty())
        return Status::success();
    source = &rows;
    // Its counts were held to the front end's limits when the file was added.
    return readCurve(file, curveSettings(session.curves[i]), rows, {}, kBatchLimits.maxCount);
}

// The data lines of the output file, written in blocks of many lines.
Status writeMeanLines(TextFile &file, const MeanCurve &curve) {
    constexpr size_t kBlock = 64 * 1024;
    std::string block;
    block.reserve(kBlock + 256);
    for (size_t j = 0; j < curve.x.size(); ++j) {
        appendOutputLine(block, static_cast<int64_t>(j) + 1, curve.x[j], curve.y[j]);
        if (block.size() >= kBlock || j + 1 == curve.x.size()) {
            if (Status status = file.writeText(block); !status.ok())
                return status;
            block.clear();
        }
    }
    return Status::success();
}

// Adds one file's values to the grid points of its span, and to their statistics when kept.
void addCurveOnSpan(const std::vector<Row> &rows, MeanCurve &out, const GridSpan &span,
                    std::vector<RunningStatistics> &spread) {
    if (span.first > span.last)
        return;
    const bool whole = span.first == 0 && span.last + 1 == out.x.size();
    const auto from = static_cast<std::ptrdiff_t>(span.first);
    const auto to = static_cast<std::ptrdiff_t>(span.last) + 1;
    std::vector<float> spanX;
    if (whole) {
        addCurveToGrid(rows, out.x, out.y);
    } else {
        spanX.assign(out.x.begin() + from, out.x.begin() + to);
        std::vector<double> spanY(out.y.begin() + from, out.y.begin() + to);
        addCurveToGrid(rows, spanX, spanY);
        std::copy(spanY.begin(), spanY.end(), out.y.begin() + from);
    }
    if (spread.empty())
        return;
    const std::vector<double> values = curveValuesOnGrid(rows, whole ? out.x : spanX);
    for (size_t j = 0; j < values.size(); ++j)
        spread[span.first + j].add(values[j]);
}

// How many files contribute to each grid point.
std::vector<int> contributions(const std::vector<GridSpan> &spans, size_t pointCount) {
    std::vector<int> count(pointCount, 0);
    for (const GridSpan &span : spans)
        for (size_t j = span.first; j <= span.last && j < pointCount; ++j)
            ++count[j];
    return count;
}

Status finishStatistics(const std::vector<RunningStatistics> &spread, double confidence,
                        MeanCurve &out) {
    out.statistics.reserve(spread.size());
    for (size_t j = 0; j < spread.size(); ++j) {
        out.statistics.push_back(spread[j].result());
        const PointStatistics &point = out.statistics.back();
        if (point.n > 1 && !std::isfinite(point.sd))
            return Status::failure(kTooLarge,
                                   "The standard deviation at x = " + messageX(out.x[j]) +
                                       " is too large to be computed.");
    }
    // t * se stays finite: a finite sd is at most about 1e154, t at most about 1e16.
    if (confidence > 0 && confidence < 1)
        addConfidenceIntervals(out.statistics, confidence);
    return Status::success();
}

} // namespace

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

const std::vector<Row> &searchOrder(const std::vector<Row> &rows, std::vector<Row> &reversed) {
    if (rows.size() < 3 || !(rows.back().x < rows[1].x))
        return rows;
    reversed.assign(rows.begin(), rows.begin() + 1);
    reversed.insert(reversed.end(), rows.rbegin(), rows.rend() - 1);
    return reversed;
}

void addCurveToGrid(const std::vector<Row> &rows, const std::vector<float> &gridX,
                    std::vector<double> &gridY) {
    if (rows.size() < 2)
        return; // no data row: nothing to take
    sweepGrid(rows, gridX, [&](std::size_t j, double gx, GridPlace place) {
        double &sum = gridY[j];
        if (!place.between) {
            sum += rows[place.row].y;
            return;
        }
        const Row &before = rows[place.row - 1];
        const Row &after = rows[place.row];
        const double slope = (after.y - before.y) / (after.x - before.x);
        sum = (sum + slope * (gx - before.x)) + before.y;
    });
}

Status computeMeanCurve(TextFile &file, Session &session, MeanCurve &out,
                        const std::function<void()> &afterFile) {
    return computeMeanCurve(file, session, out, afterFile, MeanOptions{});
}

Status computeMeanCurve(TextFile &file, Session &session, MeanCurve &out,
                        const std::function<void()> &afterFile, const MeanOptions &options,
                        const RowsBySlot *kept) {
    if (session.fileCount() < 1)
        return Status::failure(kInvalidArgument, "No input file is loaded.");
    if (session.divisionCount < 1)
        return Status::failure(kInvalidArgument, "The number of divisions has not been set.");

    float xMin = 0, xMax = 0;
    gridRange(session, options, xMin, xMax);
    out.x = makeGridX(xMin, session.xStep, session.divisionCount);
    out.y.assign(out.x.size(), 0.0);
    out.statistics.clear();
    std::vector<GridSpan> spans;
    if (Status status = contributingSpans(session, options, out.x, spans); !status.ok())
        return status;
    std::vector<RunningStatistics> spread(options.statistics ? out.x.size() : 0);

    std::vector<Row> rows, reversed;
    const std::vector<Row> *source = nullptr;
    for (size_t i = 0; i < session.curves.size(); ++i) {
        session.chosenFileName = session.curves[i].fileName;
        Status status = slotRows(file, session, i, kept, rows, source);
        if (!status.ok()) {
            file.closeAll();
            return naming(status, session.chosenFileName, "Could not read the input file");
        }
        addCurveOnSpan(searchOrder(*source, reversed), out, spans[i], spread);
        if (afterFile)
            afterFile();
    }

    const std::vector<int> divisors = contributions(spans, out.x.size());
    for (size_t j = 0; j < out.y.size(); ++j) {
        out.y[j] /= divisors[j];
        if (!std::isfinite(out.y[j]))
            return Status::failure(kTooLarge, "The mean at x = " + messageX(out.x[j]) +
                                                  " is too large to be computed.");
    }
    return finishStatistics(spread, options.confidence, out);
}

Status computeMeanCurve(TextFile &file, Session &session, MeanCurve &out) {
    return computeMeanCurve(file, session, out, {});
}

Status writeOutputFile(TextFile &file, ReplacedFile &output, const MeanCurve &curve) {
    Status status = file.openForWriting(output);
    if (status.ok())
        status = file.writeLine(kOutputHeader);
    if (status.ok())
        status = writeMeanLines(file, curve);
    if (status.ok())
        status = file.close();
    if (!status.ok()) {
        file.closeAll();
        return naming(status, output.path(), "Could not write the output file");
    }
    return status;
}

} // namespace mergon
