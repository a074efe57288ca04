#pragma once
// Column names from a header line.

#include "engine/reading_rules.h"

#include <string>
#include <string_view>
#include <vector>

namespace mergon {

// The names on a header line, split like the data: at the rules' separator, where two in a row
// hold an empty name, and at blanks and tabs, which also end a name. A name in double quotes
// keeps its blanks and separators; quotes only group, they are not part of the name.
std::vector<std::string> headerNames(std::string_view line, const ReadingRules &rules);

} // namespace mergon
