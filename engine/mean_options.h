#pragma once
// What "write the mean" is asked for beyond the window's mean: the x range the grid spans, the
// spread at every grid point and its table, and the front end's limits.

#include "engine/session.h"

#include <string>

namespace mergon {

enum class GridRange {
    kCommon, // the range every file covers; every file counts at every grid point
    kUnion,  // from the smallest to the largest x of any file; a point counts the files over it
    kChosen, // from MeanOptions::chosenXMin to chosenXMax; a point counts the files over it
};

// Options of "write the mean"; the defaults are what the window does.
struct MeanOptions {
    GridRange range = GridRange::kCommon; // the x range the grid spans
    bool statistics = false;              // fill MeanCurve::statistics
    std::string statisticsPath;           // when set, the statistics table is written there too
    float chosenXMin = 0, chosenXMax = 0; // the grid's ends under GridRange::kChosen
    double confidence = 0;         // 0 < level < 1: each point's confidence interval (statistics)
    bool intervalInTable = false;  // the table ends with ci_low,ci_high
    Limits limits = kWindowLimits; // the front end's; the division count is held to them
    int jobs = 1; // threads that make the tables' lines; the bytes are the same for every count
};

} // namespace mergon
