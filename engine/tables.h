#pragma once
// The tables the engine writes, each a header line and one line per row with CR LF after each,
// as the new content of an output replaced whole: the mean's output file and its statistics.

#include "engine/averaging.h"
#include "engine/replaced_file.h"
#include "engine/status.h"
#include "engine/text_file.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace mergon {

// Writes `header`, then the lines of rows 0 to rowCount - 1, each appended to the text by
// appendLine(text, row) without its line end, as the new content of `output`, in blocks of
// many lines. The file is closed on return; a failure is the text file's.
Status writeTable(TextFile &file, ReplacedFile &output, std::string_view header,
                  std::size_t rowCount,
                  const std::function<void(std::string &text, std::size_t row)> &appendLine);

// The output file: its header and one line per grid point. A failure names the output.
Status writeOutputFile(TextFile &file, ReplacedFile &output, const MeanCurve &curve);

// The statistics table: its header and one line per grid point with statistics.
Status writeStatisticsFile(TextFile &file, ReplacedFile &output, const MeanCurve &curve,
                           bool withInterval = false);

} // namespace mergon
