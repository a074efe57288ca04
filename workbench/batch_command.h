#pragma once
// The mergon-batch command line that re-makes a window session's output file, as text for a
// POSIX shell. Plain C++: it is built from the session's settings, not from the window.

#include "engine/input_files.h"
#include "engine/mean_options.h"
#include "plot/figure_kinds.h"

#include <string>
#include <string_view>
#include <vector>

namespace mergon {

struct BatchFile {
    std::string path;
    // The texts the file was added with: columns by number, the default reading rules, as
    // the window adds files.
    SettingTexts settings;
};

struct BatchCommand {
    std::vector<BatchFile> files;
    std::string divisions = kDefaultDivisions; // the division box's text
    std::string output;                        // the output file
    GridRange range = GridRange::kCommon;
    BandKind band = BandKind::kNone;
};

// `word` as one word of a POSIX shell: as it is when it holds only characters the shell takes
// literally, else in single quotes.
std::string shellWord(std::string_view word);

// "mergon-batch", then every file after the per-file options in which it differs from the
// file before it (the first from the defaults), then the division count, the output, the range
// unless it is the common one, and the band. Paths go as given, so relative ones are relative
// to the folder the command runs in.
std::string batchCommandLine(const BatchCommand &command);

} // namespace mergon
