#pragma once
// The graph of a batch run as a picture file. Drawing needs Qt, which a run without a picture
// has no use for, so the drawing lives in a module that mergon-batch loads only when a picture
// is asked for; mergon-batch itself links no Qt library.

#include "engine/averaging.h"
#include "engine/session.h"
#include "engine/status.h"
#include "plot/figure_kinds.h"

#include <string>

namespace mergon {

struct Picture {
    const Session *session = nullptr;
    const RowsBySlot *rows = nullptr; // every loaded file's rows
    const MeanCurve *mean = nullptr;  // with the statistics the band needs
    std::string path;                 // the file to write
    bool paper = false;               // the figure for a publication instead of the graph panel
    // The file's format, size and dpi for both styles; the rest for the paper figure. The
    // panel's size is 329x217 when none is given, and its PNG is tagged with the dpi only
    // when one is given.
    PaperFigureRequest figure;
    bool dpiGiven = false;
};

// Draws the graph panel as it shows after "Write to File" (frame, axes, the input curves, the
// mean in red), or the paper figure, and writes it to picture.path. A failure names its
// subject.
Status writePicture(const Picture &picture);

// The module's entry point, found by this name.
using DrawPicture = void(const Picture &picture, Status &status);
inline constexpr const char *kDrawPictureSymbol = "mergonDrawPicture";

} // namespace mergon
