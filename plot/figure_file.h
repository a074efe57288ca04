#pragma once
// Writing a drawing as a picture file: PNG (pixels), SVG or PDF (vector, physical size), chosen
// by the request; and the paper figure as a file.

#include "engine/averaging.h"
#include "engine/reader.h"
#include "plot/figure_kinds.h"

#include <QPainter>
#include <QSize>
#include <QString>

#include <functional>
#include <vector>

namespace mergon {

// Runs `draw` on a painter over a page of `size` device units and writes the page to `path`.
// `unitsPerInch` gives the page its printed size: the PNG's resolution tag (0 leaves it
// untagged), the SVG's width and height, the PDF's page size. False when the file could not
// be written.
bool writeFigure(const QString &path, FigureFormat format, QSize size, int unitsPerInch,
                 const std::function<void(QPainter &)> &draw);

// The paper figure (see paper_figure.h) written as the request says. Needs a
// QGuiApplication for its text. False when the file could not be written.
bool writePaperFigure(const QString &path, const PaperFigureRequest &request,
                      const std::vector<Rows> &inputs, const MeanCurve &mean);

} // namespace mergon
