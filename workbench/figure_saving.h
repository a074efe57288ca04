#pragma once
// "Save Figure...": the figure for a publication, as mergon-batch's paper style draws it, in a
// PNG, SVG or PDF file.

#include "engine/averaging.h"
#include "engine/session.h"
#include "engine/status.h"
#include "engine/text_file.h"
#include "plot/figure_kinds.h"

#include <string>

namespace mergon {

// Draws the loaded curves (their rows by slot) and their mean over the band, as
// `mergon-batch --plot-style paper` does by default (its size, resolution, legend and the
// axis labels from the first file's header), into `path`, whose extension (.png, .svg or
// .pdf, in any case) gives the type. The file is replaced whole only once it is written; the
// failures are those of an output file, and kOutputFailed for another type.
Status savePaperFigure(const std::string &path, const Session &session, TextFile &file,
                       const RowsBySlot &rows, const MeanCurve &mean, BandKind band);

} // namespace mergon
