#pragma once
// The working session of the main window: the file slot table and the session-wide values.

#include "engine/reading_rules.h"

#include <array>
#include <cstdint>
#include <limits>
#include <string>

namespace mergon {

inline constexpr int kSlotCount = 11; // slots 0..10; slot 0 is never filled
inline constexpr int kMaxInputFiles = 10;

// Running minima start at plus infinity and maxima at minus infinity, meaning "no value yet":
// the first value compared replaces them, whatever its size.
inline constexpr float kRunningMinStart = std::numeric_limits<float>::infinity();
inline constexpr float kRunningMaxStart = -std::numeric_limits<float>::infinity();

struct Session {
    // File slot table as parallel arrays, indexed by slot.
    std::array<std::string, kSlotCount> fileNames{};     // full path of the input file
    std::array<int16_t, kSlotCount> xColumn{};           // 1-based field number of x in a row
    std::array<int16_t, kSlotCount> yColumn{};           // 1-based field number of y in a row
    std::array<float, kSlotCount> xCoefficient{};        // factor applied to every x
    std::array<float, kSlotCount> yCoefficient{};        // factor applied to every y
    std::array<float, kSlotCount> yWeight{};             // weight k(i), applied to y as well
    std::array<int16_t, kSlotCount> skipLines{};         // header lines before the data
    std::array<int16_t, kSlotCount> lineCount{};         // measured number of data lines
    std::array<int16_t, kSlotCount> fieldsPerLine{};     // measured number of fields per row
    std::array<float, kSlotCount> fileXMin{};            // smallest scaled x of the file
    std::array<float, kSlotCount> fileXMax{};            // largest scaled x of the file
    std::array<ReadingRules, kSlotCount> readingRules{}; // how the file's fields are read

    int16_t fileCount = 0;                                          // slots in use, 0..10
    std::string outputFileName;                                     // path of the output file
    float plotXMin = kRunningMinStart, plotXMax = kRunningMaxStart; // extent of all loaded curves
    float plotYMin = kRunningMinStart, plotYMax = kRunningMaxStart;
    float commonXMin = kRunningMaxStart; // x range common to all curves: raised by each run
    float commonXMax = kRunningMinStart; // lowered by each run
    std::string chosenFileName;          // the file chooser's answer; kept by reset()
    int16_t divisionCount = 0;           // kept by reset()
    float xStep = 0;                     // kept by reset()

    Session() { reset(); }

    // Start values of the load step and of "Clear": every slot, the count, the output name
    // and the ranges. chosenFileName, divisionCount and xStep are left alone.
    void reset();
    void resetSlot(int k);

    bool operator==(const Session &) const = default;
};

// The settings with which one slot's file is read.
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

CurveSettings curveSettings(const Session &session, int slot);

// The output file's default name from the first input file: its path without the last three
// characters, then "mrg". When the file's own name (after the last '/') has fewer than three
// characters, the whole path followed by ".mrg", so that the cut never reaches the folder.
// Characters are UTF-8 code points, so a multi-byte character is never cut in half.
std::string derivedOutputName(const std::string &chosenPath);

} // namespace mergon
