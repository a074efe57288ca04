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
// many lines. The lines are made on up to `jobs` threads, so appendLine must not depend on
// anything but its row; the bytes are the same for every `jobs`. The file is closed on return;
// a failure is the text file's.
Status writeTable(TextFile &file, ReplacedFile &output, std::string_view header,
                  std::size_t rowCount,
                  const std::function<void(std::string &text, std::size_t row)> &appendLine,
                  int jobs = 1);

// The output file: its header and one line per grid point. A failure names the output.
Status writeOutputFile(TextFile &file, ReplacedFile &output, const MeanCurve &curve, int jobs = 1);

// The statistics table: its header and one line per grid point with statistics.
Status writeStatisticsFile(TextFile &file, ReplacedFile &output, const MeanCurve &curve,
                           bool withInterval = false, int jobs = 1);

} // namespace mergon
