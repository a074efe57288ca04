#pragma once
// Adding an input file to the session: its settings from the setting texts, then the passes
// that measure it and read its values into the plot range and its own x extent.

#include "engine/reader.h"
#include "engine/session.h"
#include "engine/status.h"
#include "engine/text_file.h"

#include <string>
#include <vector>

namespace mergon {

// The division count's text at the start (the window's box, mergon-batch without --divisions).
inline constexpr const char *kDefaultDivisions = "100";

// The texts of the setting boxes that go with one file; the defaults are the window's start
// settings.
struct SettingTexts {
    std::string xColumn = "5";      // field number of x
    std::string yColumn = "6";      // field number of y
    std::string xCoefficient = "1"; // factor of x
    std::string yCoefficient = "1"; // factor of y
    std::string yWeight = "1.0";    // weight k(i) of the file
    std::string skipLines = "3";    // header lines
    ReadingRules rules{};           // how the file's fields are split and numbers read
    std::string xName{};            // when given, x is the column of this name instead
    std::string yName{};            // when given, y is the column of this name instead
    // An x or y column beyond the fields of a data line fails the addition (code 5) instead of
    // reading as 0: for front ends where no one sees the curve lie on an axis.
    bool columnsInFile = false;
};

// Copies the settings into the curve in the window's order (x column, y column, x coefficient,
// y coefficient, weight, skip lines), then the reading rules. The first value that does not
// fit its field (a count beyond limits.maxCount, a number beyond the float range) stops the
// copy with kTooLarge; the values before it stay.
Status storeSettings(Curve &curve, const SettingTexts &texts, const Limits &limits = kWindowLimits);

// The names on the last header line of the file at `path` (line skipLines), split as
// `rules` split fields; none when skipLines is 0 or less or the file is shorter.
Status readHeaderNames(TextFile &file, const std::string &path, int skipLines,
                       const ReadingRules &rules, std::vector<std::string> &names);

// The name standing at `column` (from 1) on the last header line of the curve's file, read the
// way column names are found; empty when there is none.
std::string columnName(const Curve &curve, TextFile &file, int column);

// Sets the curve's x and y columns from the names in `texts`, if any, found on the last header
// line of its file (line skipLines; none when that is 0 or less). A name found nowhere or
// more than once fails with kInvalidArgument and a message that says so.
Status findNamedColumns(Curve &curve, TextFile &file, const SettingTexts &texts,
                        const Limits &limits = kWindowLimits);

// Counts the lines and fields of the curve's file, then reads its rows, widening the session's
// plot range and the curve's x extent with each row. What was computed before a failure stays.
// `rows` holds the rows read, for a redraw in the same command. With columnsInFile, an x or y
// column outside the fields per line fails with kInvalidArgument once the rows are read.
Status measureAndRead(Session &session, Curve &curve, TextFile &file, Rows &rows,
                      const Limits &limits = kWindowLimits, bool columnsInFile = false);

} // namespace mergon
