#pragma once
// Number text of the output file: sign place, no leading 0, at most 7 (float) or 15 (double)
// significant digits, exponent form outside the plain range, print zones of 14 columns.

#include <cstdint>
#include <string>
#include <string_view>

namespace mergon {

inline constexpr std::string_view kOutputHeader = " Number        X-axis        Y-axis";
inline constexpr int kPrintZoneWidth = 14;

// Sign place (blank, or "-") followed by the number; no trailing blank.
std::string integerText(int64_t value);
std::string singleText(float value);  // 7 significant digits, exponent form from 1E+07
std::string doubleText(double value); // 15 significant digits, exponent form from 1E+15

// Appends one number's text and its trailing blank to `line`, starting at the next print
// zone (a zone starts at columns 1, 15, 29, ...; a line that ends exactly where a zone
// begins goes on in that zone).
void appendInZone(std::string &line, std::string_view numberText);

// One data line of the output file, without its line end.
std::string outputLine(int64_t rowNumber, float x, double y);
// The same line, appended to `text`.
void appendOutputLine(std::string &text, int64_t rowNumber, float x, double y);

} // namespace mergon
