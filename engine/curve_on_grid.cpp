#include "engine/curve_on_grid.h"

namespace mergon {

const Rows &searchOrder(const Rows &rows, Rows &reversed) {
    if (rows.size() < 3 || !(rows.back().x < rows[1].x))
        return rows;
    reversed.assign(rows.begin(), rows.begin() + 1);
    reversed.insert(reversed.end(), rows.rbegin(), rows.rend() - 1);
    return reversed;
}

void addCurveToGrid(const Rows &rows, std::span<const float> gridX, std::span<double> gridY) {
    sweepValues(rows, gridX, [&](std::size_t j, const GridValue &value) { value.addTo(gridY[j]); });
}

} // namespace mergon
