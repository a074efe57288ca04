#pragma once
// One curve on the grid: where each grid x meets the file's rows, and the curve's value there
// (the y of a row, or the straight line between two rows). The mean and the statistics take
// their values from here, in one sweep over the rows.

#include "engine/reader.h"

#include <cstddef>
#include <limits>
#include <span>
#include <vector>

namespace mergon {

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
void sweepGrid(const Rows &rows, std::span<const float> gridX, Place &&place) {
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

// A curve's value at one grid x. Between two rows it is the line through them,
// slope * (x - x0) + y0, kept as its two terms: the mean adds them to its running sum one after
// the other, (sum + rise) + y0, and that order is part of the output's bytes (adding the value
// as one number rounds differently), while the statistics take the value itself.
struct GridValue {
    double base = 0;      // the y of the row taken, or y0 of the line
    double rise = 0;      // slope * (x - x0) between two rows
    bool between = false; // the line between two rows rather than one row's y

    double value() const { return between ? rise + base : base; }
    // Adds the value to a sum over the files, in the order the output has always used.
    void addTo(double &sum) const { sum = between ? (sum + rise) + base : sum + base; }
};

// The value at grid x `gx` whose place among `rows` is `place`.
inline GridValue valueAt(const Rows &rows, double gx, GridPlace place) {
    if (!place.between)
        return {rows[place.row].y, 0, false};
    const Row &before = rows[place.row - 1];
    const Row &after = rows[place.row];
    const double slope = (after.y - before.y) / (after.x - before.x);
    return {before.y, slope * (gx - before.x), true};
}

// Calls visit(j, GridValue) with the curve's value at every grid x, in one sweep over the rows
// (see sweepGrid); a file without a data row has no value and calls nothing.
template <typename Visit>
void sweepValues(const Rows &rows, std::span<const float> gridX, Visit &&visit) {
    if (rows.size() < 2)
        return;
    sweepGrid(rows, gridX, [&](std::size_t j, double gx, GridPlace place) {
        visit(j, valueAt(rows, gx, place));
    });
}

// The rows in the order the search takes them (entry 0 first as ever): the file's order, or,
// when its last row's x lies below its first row's x (a cooling run, a spectrum written from
// high to low wavenumber, an x coefficient of -1), the reverse, which `reversed` then holds.
const Rows &searchOrder(const Rows &rows, Rows &reversed);

// Adds one file's value at every grid point to gridY (see GridPlace for the rows it takes).
void addCurveToGrid(const Rows &rows, std::span<const float> gridX, std::span<double> gridY);

} // namespace mergon
