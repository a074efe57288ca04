#pragma once
// "Write to File" computation: each file's value at every grid point (exact row or linear
// interpolation) and the mean over the files, with the spread there when asked for. The grid
// is in grid.h, a curve's value at a grid x in curve_on_grid.h, the tables in tables.h.

#include "engine/curve_on_grid.h"
#include "engine/grid.h"
#include "engine/mean_options.h"
#include "engine/reader.h"
#include "engine/session.h"
#include "engine/statistics.h"
#include "engine/status.h"
#include "engine/text_file.h"

#include <functional>
#include <vector>

namespace mergon {

struct MeanCurve {
    std::vector<float> x;  // gridX(0..divisionCount)
    std::vector<double> y; // mean y at each grid x

    // The spread at each grid x, when asked for.
    std::vector<PointStatistics> statistics;
};

// Rows already read, one entry per curve in the session's order: a front end that keeps the
// rows of its additions hands them to the mean, which then reads those files no more. An
// empty or missing entry stands for rows not kept.
using RowsBySlot = std::vector<Rows>;

// Reads every loaded file once (routing its path through chosenFileName) and fills `out`
// with the grid and the mean. A file that fails names itself in the message.
Status computeMeanCurve(TextFile &file, Session &session, MeanCurve &out);
// The same, with `afterFile` run after each file has been read (the window yields there).
Status computeMeanCurve(TextFile &file, Session &session, MeanCurve &out,
                        const std::function<void()> &afterFile);
// The same over the range of `options`, where each grid point divides by the files that
// contribute to it, and with the statistics when they are asked for; the files whose rows are
// `kept` are taken from there instead of read. The default options give the mean above, to
// the bit.
Status computeMeanCurve(TextFile &file, Session &session, MeanCurve &out,
                        const std::function<void()> &afterFile, const MeanOptions &options,
                        const RowsBySlot *kept = nullptr);

} // namespace mergon
