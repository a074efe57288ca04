#pragma once
// Beyond the mean: the x range the grid may span (the common one, the union of the files'
// extents, or one chosen by its ends) and the spread of the files' values at every grid point,
// with its confidence interval and its CSV table.

#include "engine/reader.h"
#include "engine/session.h"
#include "engine/status.h"
#include "engine/text_file.h"

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace mergon {

struct MeanCurve;

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
};

// The spread of the files' values at one grid point.
struct PointStatistics {
    int n = 0;      // files that contribute
    double sd = 0;  // sample standard deviation (divisor n - 1); NaN when n is 1
    double se = 0;  // sd / sqrt(n); NaN when n is 1
    double min = 0; // smallest value
    double max = 0; // largest value
    // Half the confidence interval of the mean, t * se; NaN when n is 1 or none was asked for.
    double ci = std::numeric_limits<double>::quiet_NaN();
};

// Welford's running mean and sum of squared deviations: stable where the values lie far
// from 0 and close together, where a sum of squares loses every digit of the spread.
class RunningStatistics {
  public:
    void add(double value);
    PointStatistics result() const;

  private:
    int n_ = 0;
    double mean_ = 0, m2_ = 0, min_ = 0, max_ = 0;
};

// The grid points [first, last] that one file contributes to; empty when first > last.
struct GridSpan {
    size_t first = 1, last = 0;
};

// A grid x as messages name it: the output file's text without the blank that stands for a
// plus sign.
std::string messageX(float x);

// The smallest fileXMin and the largest fileXMax of the loaded files.
void unionRange(const Session &session, float &xMin, float &xMax);

// The ends of the options' range: the common range, the union range or the chosen ends.
void gridRange(const Session &session, const MeanOptions &options, float &xMin, float &xMax);

// prepareGrid over the options' range instead of the common one: the same division count rules
// and texts. Sets divisionCount and xStep; the common range is left alone.
Status prepareGridOver(Session &session, const MeanOptions &options, std::string_view divisionText);

// For every loaded file (index i - 1 for slot i) the grid points it contributes to: all of
// them for the common range; otherwise those within its [fileXMin, fileXMax], the last grid
// point counting as inside every extent that reaches the range's end (rounding in single
// precision can put it just beyond). Fails (code 5, naming the x) at a grid point that no file
// covers.
Status contributingSpans(const Session &session, const MeanOptions &options,
                         const std::vector<float> &gridX, std::vector<GridSpan> &spans);

// Sets each point's ci at the confidence `level` from its n and se.
void addConfidenceIntervals(std::vector<PointStatistics> &points, double level);

// Each grid point's value of one curve as addCurveToGrid adds it (the same rows, the same
// ends), an interpolation computed on its own as slope * (x - x0) + y0. gridX must ascend.
std::vector<double> curveValuesOnGrid(const std::vector<Row> &rows,
                                      const std::vector<float> &gridX);

// One data line of the statistics table, without its line end: number,x,mean,sd,se,n,min,max
// as the shortest texts that read back to the same values; sd and se empty when n is 1. With
// the interval, then ci_low,ci_high = mean -+ ci, empty where ci is NaN.
std::string statisticsLine(int64_t number, float x, double mean, const PointStatistics &point,
                           bool withInterval = false);

inline constexpr std::string_view kStatisticsHeader = "number,x,mean,sd,se,n,min,max";
inline constexpr std::string_view kIntervalHeader = ",ci_low,ci_high";

// The header and one line per grid point, CR LF after each, as the new content of `output`.
Status writeStatisticsFile(TextFile &file, ReplacedFile &output, const MeanCurve &curve,
                           bool withInterval = false);

} // namespace mergon
