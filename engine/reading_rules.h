#pragma once
// How the fields of a data file are split and its numbers read. The default is the window's
// format; instruments and spreadsheets often write a decimal comma and separate by semicolons.

namespace mergon {

struct ReadingRules {
    char decimalMark = '.'; // the mark inside a number: '.' or ','; the other is ordinary
    char separator = ',';   // punctuation between fields besides blanks and tabs: ',' or ';'

    bool operator==(const ReadingRules &) const = default;
    bool isDefault() const { return *this == ReadingRules{}; }
};

} // namespace mergon
