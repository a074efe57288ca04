#pragma once
// "Save Figure...": the figure for a publication, as mergon-batch's paper style draws it, in a
// PNG, SVG or PDF file.

#include "engine/averaging.h"
#include "engine/session.h"
#include "engine/status.h"
#include "plot/figure_kinds.h"

#include <string>

namespace mergon {

// Draws the loaded curves (their rows by slot) and their mean over the band at the default
// paper size, 1200 x 800 (pixels for PNG, points for SVG and PDF), into `path`, whose
// extension (.png, .svg or .pdf, in any case) gives the type. Fails with kOutputFailed when
// the file could not be written or its type is none of these.
Status savePaperFigure(const std::string &path, const Session &session, const RowsBySlot &rows,
                       const MeanCurve &mean, BandKind band);

} // namespace mergon
