#pragma once
// The even grid the mean is taken on: the x range it spans (the range every file covers, the
// union of the files' extents, or one chosen by its ends), its division count and step, its x
// values, and the grid points each file contributes to.

#include "engine/mean_options.h"
#include "engine/session.h"
#include "engine/status.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mergon {

// Narrows the common range by every loaded file's extent; the range only ever shrinks.
void narrowCommonRange(Session &session);

// Reads the division count from its box text and sets divisionCount and xStep.
// Fails (nothing set) with kInvalidArgument for a count of 0, a negative count, no file or no
// common range (commonXMin > commonXMax), and with kTooLarge for a count beyond maxDivisions
// either way or a grid step or grid x beyond the float range.
Status prepareGrid(Session &session, std::string_view divisionText,
                   int32_t maxDivisions = kWindowLimits.maxDivisions);

// prepareGrid over the options' range instead of the common one: the same division count rules
// and texts. Sets divisionCount and xStep; the common range is left alone.
Status prepareGridOver(Session &session, const MeanOptions &options, std::string_view divisionText);

// gridX(j) = commonXMin + xStep * j, each operation rounded to float.
float gridXAt(float commonXMin, float xStep, int j);
std::vector<float> makeGridX(float commonXMin, float xStep, int divisionCount);

// The smallest fileXMin and the largest fileXMax of the loaded files.
void unionRange(const Session &session, float &xMin, float &xMax);

// The ends of the options' range: the common range, the union range or the chosen ends.
void gridRange(const Session &session, const MeanOptions &options, float &xMin, float &xMax);

// The grid points [first, last] that one file contributes to; empty when first > last.
struct GridSpan {
    size_t first = 1, last = 0;
};

// For every loaded file (index i - 1 for slot i) the grid points it contributes to: all of
// them for the common range; otherwise those within its [fileXMin, fileXMax], the last grid
// point counting as inside every extent that reaches the range's end (rounding in single
// precision can put it just beyond). Fails (code 5, naming the x) at a grid point that no file
// covers.
Status contributingSpans(const Session &session, const MeanOptions &options,
                         const std::vector<float> &gridX, std::vector<GridSpan> &spans);

// How many files contribute to each of `pointCount` grid points.
std::vector<int> contributions(const std::vector<GridSpan> &spans, size_t pointCount);

// A grid x as messages name it: the output file's text without the blank that stands for a
// plus sign.
std::string messageX(float x);

} // namespace mergon
