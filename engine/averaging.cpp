#include "engine/averaging.h"

#include <cmath>
#include <span>

namespace mergon {

namespace {

// The rows of curve i: the kept ones when there are, else read from the file into `rows`.
Status slotRows(TextFile &file, const Session &session, size_t i, const RowsBySlot *kept,
                Rows &rows, const Rows *&source) {
    source = kept && i < kept->size() ? &(*kept)[i] : nullptr;
    if (source && !source->empty())
        return Status::success();
    source = &rows;
    // Its counts were held to the front end's limits when the file was added.
    return readCurve(file, curveSettings(session.curves[i]), rows, {}, kBatchLimits.maxCount);
}

// Adds one file's values to the grid points of its span, and to their statistics when kept,
// in one sweep over its rows. The files come one after another in their order, which is the
// order of the sum at every grid point.
void addCurveOnSpan(const Rows &rows, MeanCurve &out, const GridSpan &span,
                    std::vector<RunningStatistics> &spread) {
    if (span.first > span.last)
        return;
    const size_t count = span.last - span.first + 1;
    const std::span<const float> x(out.x.data() + span.first, count);
    const std::span<double> sums(out.y.data() + span.first, count);
    if (spread.empty()) {
        addCurveToGrid(rows, x, sums);
        return;
    }
    const std::span<RunningStatistics> points(spread.data() + span.first, count);
    sweepValues(rows, x, [&](size_t j, const GridValue &value) {
        value.addTo(sums[j]);
        points[j].add(value.value());
    });
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

    Rows rows, reversed;
    const Rows *source = nullptr;
    for (size_t i = 0; i < session.curves.size(); ++i) {
        session.chosenFileName = session.curves[i].fileName;
        Status status = slotRows(file, session, i, kept, rows, source);
        if (!status.ok()) {
            file.closeAll();
            return namingFile(status, session.chosenFileName, "Could not read the input file");
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

} // namespace mergon
