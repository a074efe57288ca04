#pragma once
// Writing a drawing as a picture file: PNG (pixels) or SVG (points), chosen by the extension.

#include "plot/figure_kinds.h"

#include <QPainter>
#include <QSize>
#include <QString>

#include <functional>

namespace mergon {

// Runs `draw` on a painter over a page of `size` and writes the page to `path`. False when the
// file could not be written.
bool writeFigure(const QString &path, FigureFormat format, QSize size,
                 const std::function<void(QPainter &)> &draw);

} // namespace mergon
