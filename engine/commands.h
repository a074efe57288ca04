#pragma once
// The two commands every front end runs: "add an input file" and "write the mean". The window,
// mergon-batch, the benchmarks and the tests call these and nothing else for them, so every
// front end writes the same bytes. A failed command returns the text of its error message
// (closed by the code) and names the file it is about; every file is closed then.

#include "engine/averaging.h"
#include "engine/input_files.h"
#include "engine/reader.h"
#include "engine/replaced_file.h"
#include "engine/session.h"
#include "engine/status.h"
#include "engine/text_file.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace mergon {

// Takes the next slot: a fresh curve record at the end, whose number (1 and up) is returned.
int takeNextSlot(Session &session);
// The file chooser was cancelled: the slot just taken goes back (if there is one) and no file
// is chosen.
void giveBackSlot(Session &session);

// Adds `path` into the slot just taken (the last curve): it becomes the chosen file, names the
// output file when it is the session's first, takes the settings, is measured and read, and
// widens the plot range and its own x extent. `rows` gets the rows read, for a redraw in the
// same command. Columns given by name are looked up on the file's header line first; a name
// that is not there once fails with its own message. What was done before a failure stays,
// and the file stays in its slot. Counts and settings are held to `limits`; a slot beyond
// limits.maxFiles is given back and fails with kTooLarge, and with no slot taken the addition
// fails with kInvalidArgument, so no record is written but the one taken for it.
Status addInputFile(Session &session, TextFile &file, const std::string &path,
                    const SettingTexts &texts, Rows &rows, const Limits &limits = kWindowLimits);

// The failure of an addition that surfaced later in the same command (the redraw), as the
// addition reports it.
Status additionFailure(const Status &status, const std::string &path);

struct WriteHooks {
    std::function<void()> afterFile;                      // after each input file is read
    std::function<void(const MeanCurve &)> beforeWriting; // the mean is known, not yet written
};

// Where "write the mean" takes the curves from. By default every file is read again.
struct MeanSource {
    // Rows kept from the additions, one entry per curve (mergon-batch reads each file once);
    // null reads them all.
    const RowsBySlot *keptRows = nullptr;
    // Computes the mean in place of computeMeanCurve (the reference way, for comparisons);
    // neither the kept rows, afterFile nor the mean options are used then.
    Status (*way)(TextFile &, Session &, MeanCurve &) = nullptr;
};

// "Write the mean" to `outputName` with the division count read from `divisionText`: checks
// that the output is none of the inputs, probes it, narrows the common range, prepares the
// grid, computes the mean and writes the output file. `mean` gets the curve. `options` may
// take the union or a chosen range instead and ask for the statistics (with confidence
// intervals), which are written beside the output file when they have a path (that may be
// neither an input nor the output). `source` says where the curves come from.
// Every output is replaced whole, and only once all are written: a failure changes no file.
// With `deferred`, the outputs join that group instead and are left for the caller to commit
// with outputs of its own.
Status writeMean(Session &session, TextFile &file, const std::string &outputName,
                 std::string_view divisionText, MeanCurve &mean, const WriteHooks &hooks = {},
                 const MeanOptions &options = {}, const MeanSource &source = {},
                 PendingOutputs *deferred = nullptr);

// True when the two paths name the same file, after resolving links and relative paths;
// neither needs to exist.
bool namesSameFile(const std::string &a, const std::string &b);

// The mean as "write the mean" computes it, writing no file: narrows the common range,
// prepares the grid over the options' range from `divisionText` and computes the mean.
Status computeMean(Session &session, TextFile &file, std::string_view divisionText, MeanCurve &mean,
                   const std::function<void()> &afterFile = {}, const MeanOptions &options = {},
                   const MeanSource &source = {});

// Reads every loaded file's rows into its slot of `rows`. A file that fails is reported as
// a failed addition, naming it.
Status readAllRows(const Session &session, TextFile &file, RowsBySlot &rows);

// Writes the statistics table of `mean` (computed with its statistics) to `path`, which may be
// neither an input file nor `outputName`.
Status writeStatistics(const Session &session, TextFile &file, const std::string &path,
                       const std::string &outputName, const MeanCurve &mean, bool withInterval);

// True when `path` names the same file as one of the loaded input files, after resolving
// links and relative paths.
bool isInputFile(const Session &session, const std::string &path);

} // namespace mergon
