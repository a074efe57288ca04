#pragma once
// The graph of a batch run as a PNG picture. Drawing needs Qt, which a run without a picture
// has no use for, so the drawing lives in a module that mergon-batch loads only when a picture
// is asked for; mergon-batch itself links no Qt library.

#include "engine/averaging.h"
#include "engine/session.h"
#include "engine/status.h"

#include <string>

namespace mergon {

struct Picture {
    const Session *session = nullptr;
    const RowsBySlot *rows = nullptr; // every loaded file's rows
    const MeanCurve *mean = nullptr;
    int width = 0, height = 0; // pixels
    std::string path;          // the PNG file to write
};

// Draws what the graph panel shows after "Write to File" (frame, axes, the input curves, the
// mean in red) and writes it to picture.path. A failure names its subject.
Status writePicture(const Picture &picture);

// The module's entry point, found by this name.
using DrawPicture = void(const Picture &picture, Status &status);
inline constexpr const char *kDrawPictureSymbol = "mergonDrawPicture";

} // namespace mergon
