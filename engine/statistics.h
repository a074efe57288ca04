#pragma once
// Beyond the mean: the spread of the files' values at every grid point, with its confidence
// interval, and the lines of its CSV table.

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace mergon {

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

// Sets each point's ci at the confidence `level` from its n and se.
void addConfidenceIntervals(std::vector<PointStatistics> &points, double level);

// One data line of the statistics table, without its line end: number,x,mean,sd,se,n,min,max
// as the shortest texts that read back to the same values; sd and se empty when n is 1. With
// the interval, then ci_low,ci_high = mean -+ ci, empty where ci is NaN.
std::string statisticsLine(int64_t number, float x, double mean, const PointStatistics &point,
                           bool withInterval = false);
// The same line, appended to `line`.
void appendStatisticsLine(std::string &line, int64_t number, float x, double mean,
                          const PointStatistics &point, bool withInterval = false);

inline constexpr std::string_view kStatisticsHeader = "number,x,mean,sd,se,n,min,max";
inline constexpr std::string_view kIntervalHeader = ",ci_low,ci_high";

} // namespace mergon
