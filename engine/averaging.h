#pragma once
// "Write to File" computation: common x range, even grid, each file's value at every grid
// point (exact row or linear interpolation), mean over the files, and the output file.

#include "engine/reader.h"
#include "engine/session.h"
#include "engine/statistics.h"
#include "engine/status.h"
#include "engine/text_file.h"

#include <cstddef>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace mergon {

struct MeanCurve {
    std::vector<float> x;  // gridX(0..divisionCount)
    std::vector<double> y; // mean y at each grid x

    // The spread at each grid x, when asked for.
    std::vector<PointStatistics> statistics;
};

// Narrows the common range by every loaded file's extent; the range only ever shrinks.
void narrowCommonRange(Session &session);

// Reads the division count from its box text and sets divisionCount and xStep.
// Fails (nothing set) with kInvalidArgument for a count of 0, a negative count, no file or no
// common range (commonXMin > commonXMax), and with kTooLarge for a count beyond maxDivisions
// either way or a grid step or grid x beyond the float range.
Status prepareGrid(Session &session, std::string_view divisionText,
                   int32_t maxDivisions = kWindowLimits.maxDivisions);

// gridX(j) = commonXMin + xStep * j, each operation rounded to float.
float gridXAt(float commonXMin, float xStep, int j);
std::vector<float> makeGridX(float commonXMin, float xStep, int divisionCount);

// Where a grid x meets one file's rows (rows[0] is the unused entry 0). A grid x on a row, before
// row 1 or beyond every row takes the y of `row` (beyond every row: the largest x, the last one
// on ties); one between two rows lies between rows `row` - 1 and `row`.
struct GridPlace {
    std::size_t row;
    bool between;
};

// Calls place(j, gridX[j] as a double, GridPlace) for every grid x, sweeping forward over the
// rows; the file needs at least one data row. The first row at or beyond a grid x only moves
// forward as the grid x grows, so one sweep finds it for every grid point; should the grid ever
// step back, the sweep starts again.
template <typename Place>
void sweepGrid(const std::vector<Row> &rows, const std::vector<float> &gridX, Place &&place) {
    const std::size_t rowCount = rows.size() - 1;
    std::size_t beyondAll = 1;
    for (std::size_t k = 2; k <= rowCount; ++k)
        if (rows[k].x >= rows[beyondAll].x)
            beyondAll = k;
    std::size_t k = 1;
    double previousX = -std::numeric_limits<double>::infinity();
    for (std::size_t j = 0; j < gridX.size(); ++j) {
        const double gx = gridX[j];
        if (!(gx >= previousX))
            k = 1;
        previousX = gx;
        while (k <= rowCount && !(rows[k].x >= gx))
            ++k;
        if (k > rowCount)
            place(j, gx, GridPlace{beyondAll, false});
        else
            place(j, gx, GridPlace{k, k > 1 && rows[k].x != gx});
    }
}

// The rows in the order the search takes them (entry 0 first as ever): the file's order, or,
// when its last row's x lies below its first row's x (a cooling run, a spectrum written from
// high to low wavenumber, an x coefficient of -1), the reverse, which `reversed` then holds.
const std::vector<Row> &searchOrder(const std::vector<Row> &rows, std::vector<Row> &reversed);

// Adds one file's value at every grid point to gridY (see GridPlace for the rows it takes).
void addCurveToGrid(const std::vector<Row> &rows, const std::vector<float> &gridX,
                    std::vector<double> &gridY);

// Rows already read, one entry per curve in the session's order: a front end that keeps the
// rows of its additions hands them to the mean, which then reads those files no more. An
// empty or missing entry stands for rows not kept.
using RowsBySlot = std::vector<std::vector<Row>>;

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

// The header and one line per grid point, CR LF after each, as the new content of `output`.
Status writeOutputFile(TextFile &file, ReplacedFile &output, const MeanCurve &curve);

} // namespace mergon
