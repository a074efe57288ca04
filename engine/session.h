#pragma once
// The working session: the list of loaded curves and the session-wide values.

#include "engine/reading_rules.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace mergon {

// How far a front end lets a session go. The window keeps ten rows of boxes and 16-bit
// counts; mergon-batch takes any number of files and 32-bit counts.
struct Limits {
    int maxFiles;         // curves in one session
    int32_t maxCount;     // lines and fields per line of a file; columns and skip lines
    int32_t maxDivisions; // grid divisions
};
inline constexpr Limits kWindowLimits{10, 32767, 32767};
// 2^24 divisions: a single-precision grid has no more distinct steps.
inline constexpr Limits kBatchLimits{std::numeric_limits<int>::max(), 2147483647, 16777216};

inline constexpr int kMaxInputFiles = kWindowLimits.maxFiles;

// Running minima start at plus infinity and maxima at minus infinity, meaning "no value yet":
// the first value compared replaces them, whatever its size.
inline constexpr float kRunningMinStart = std::numeric_limits<float>::infinity();
inline constexpr float kRunningMaxStart = -std::numeric_limits<float>::infinity();

// One loaded input file: its settings, its measured counts and its x extent.
struct Curve {
    std::string fileName;              // full path of the input file
    int32_t xColumn = 0;               // 1-based field number of x in a row
    int32_t yColumn = 0;               // 1-based field number of y in a row
    float xCoefficient = 0;            // factor applied to every x
    float yCoefficient = 0;            // factor applied to every y
    float yWeight = 1;                 // weight k(i), applied to y as well
    int32_t skipLines = 0;             // header lines before the data
    int32_t lineCount = 0;             // measured number of data lines
    int32_t fieldsPerLine = 0;         // measured number of fields per row
    float fileXMin = kRunningMinStart; // smallest scaled x of the file
    float fileXMax = kRunningMaxStart; // largest scaled x of the file
    ReadingRules readingRules{};       // how the file's fields are read

    bool operator==(const Curve &) const = default;
};

struct Session {
    std::vector<Curve> curves; // in the order they were added; "File k" is curves[k - 1]

    std::string outputFileName;                                     // path of the output file
    float plotXMin = kRunningMinStart, plotXMax = kRunningMaxStart; // extent of all loaded curves
    float plotYMin = kRunningMinStart, plotYMax = kRunningMaxStart;
    float commonXMin = kRunningMaxStart; // x range common to all curves: raised by each run
    float commonXMax = kRunningMinStart; // lowered by each run
    std::string chosenFileName;          // the file chooser's answer; kept by reset()
    int32_t divisionCount = 0;           // kept by reset()
    float xStep = 0;                     // kept by reset()

    Session() { reset(); }

    // Curves taken, 0 and up.
    int fileCount() const { return static_cast<int>(curves.size()); }

    // Start values of the load step and of "Clear": no curve, no output name, the ranges.
    // chosenFileName, divisionCount and xStep are left alone.
    void reset();

    bool operator==(const Session &) const = default;
};

// The settings with which one curve's file is read.
struct CurveSettings {
    std::string path;
    int skipLines = 0;
    int lineCount = 0;
    int fieldsPerLine = 0;
    int xColumn = 0;
    int yColumn = 0;
    float xCoefficient = 0;
    float yCoefficient = 0;
    float yWeight = 1;
    ReadingRules rules{}; // how fields are split and numbers read
};

CurveSettings curveSettings(const Curve &curve);

// The output file's default name from the first input file: its path without the last three
// characters, then "mrg". When the file's own name (after the last '/') has fewer than three
// characters, the whole path followed by ".mrg", so that the cut never reaches the folder.
// Characters are UTF-8 code points, so a multi-byte character is never cut in half.
std::string derivedOutputName(const std::string &chosenPath);

} // namespace mergon
