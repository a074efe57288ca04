#pragma once
// The input file format: header lines to skip, then a stream of fields cut into rows of
// fieldsPerLine fields, wherever the line breaks fall.

#include "engine/mapped_pages.h"
#include "engine/session.h"
#include "engine/status.h"
#include "engine/text_file.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace mergon {

inline constexpr int kMaxCount = kWindowLimits.maxCount; // the window's 16-bit counts

struct Row {
    double x = 0;
    double y = 0;
};

// A file's rows. They take memory from the ordinary heap, or from an arena that their
// allocator names (the batch keeps every file's rows in one).
using Rows = std::vector<Row, ArenaAllocator<Row>>;

// What the counting passes find in a file after its header.
struct FileMeasure {
    int32_t lineCount = 0;     // data lines after the header
    int32_t fieldsPerLine = 0; // fields / lines, rounded half to even
    int64_t fieldCount = 0;    // fields in the data
};

// The two counting passes of "Data File Open" (lines, then fields), in one streaming read.
// Fails with kPastEnd when nothing follows the header, kTooLarge when a count is above
// maxCount, kFileNotFound when the file is missing. When only the fields per line are too
// large, lineCount and fieldCount are filled all the same. The file is closed on return.
// Fields are split by the handle's rules.
Status measureFile(TextFile &file, const std::string &path, int skipLines, FileMeasure &out,
                   int32_t maxCount = kMaxCount);
// The same under the given rules, which the handle keeps.
Status measureFile(TextFile &file, const std::string &path, int skipLines,
                   const ReadingRules &rules, FileMeasure &out, int32_t maxCount = kMaxCount);

// Reads the rows of one file under the rules of its settings, which the handle keeps.
// A row whose x or y field is missing (Field::Kind::Missing) is left out: rows gets entry 0,
// which stays (0, 0), then the rows kept, in file order. onRow, when given, receives each kept
// row (its index in rows) as soon as its last field is read; a failure it returns ends the
// read with that failure. A file of data rows none of which is kept fails with kNonNumeric.
// x = field * xCoefficient, y = (field * yCoefficient) * yWeight, in double precision.
// The file is closed on return. Counts above maxCount fail with kTooLarge. A failure's
// detail says where in the file it lies.
// Both passes in one sweep, for a handle that reads whole files (mergon-batch): the counting
// and the reading as measureFile and then readCurve (without onRow) would do them, when every
// data line is a plain line (see plain_lines.h) and the rows fall on the lines as the first
// lines' numbers say. The sweep streams the file through the handle's fixed buffer. Returns
// false for any other file, after a failure or beyond maxCount; the two passes then read it,
// with the same result and failure. The file is closed on return.
bool measureAndReadPlain(TextFile &file, const CurveSettings &settings, FileMeasure &out,
                         Rows &rows, int32_t maxCount = kMaxCount);

using RowCallback = std::function<Status(int index, const Row &row)>;
Status readCurve(TextFile &file, const CurveSettings &settings, Rows &rows,
                 const RowCallback &onRow = {}, int32_t maxCount = kMaxCount);

} // namespace mergon
