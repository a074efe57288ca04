#pragma once
// Strict reading of a value given on the command line: the whole text must be one number in
// the input files' grammar, with no blanks around it. Unlike the window's setting boxes, which
// take the leading number of any text, anything else is refused.

#include <optional>
#include <string>
#include <string_view>

namespace mergon {

// The number that is all of `text`, written with a decimal point or, when `decimalMark` is a
// comma, with either; an infinity of its sign beyond the range of a double. Nullopt for any
// other text.
std::optional<double> optionNumber(std::string_view text, char decimalMark = '.');

// The same text with a decimal point in place of a decimal comma, as the engine's setting
// reader takes it. Only for a text that optionNumber accepts.
std::string withDecimalPoint(std::string_view text);

// A whole number of at least `least`, such as 5, 5.0 or 1E+02, however large (a limit above is
// the reader's, which fails with code 6 beyond it); nullopt for any other text.
std::optional<double> optionCount(std::string_view text, double least, char decimalMark = '.');

} // namespace mergon
