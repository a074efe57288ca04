#pragma once
// Writing a drawing as a picture file: PNG (pixels) or SVG (points), chosen by the extension.

#include <QPainter>
#include <QSize>
#include <QString>

#include <functional>
#include <optional>

namespace mergon {

enum class FigureFormat { kPng, kSvg };

// The format named by the path's extension (.png or .svg, in any case); nullopt for others.
std::optional<FigureFormat> figureFormatOf(const QString &path);

// Runs `draw` on a painter over a page of `size` and writes the page to `path`. False when the
// file could not be written.
bool writeFigure(const QString &path, FigureFormat format, QSize size,
                 const std::function<void(QPainter &)> &draw);

} // namespace mergon
