#include "plot/figure_file.h"

#include "plot/paper_figure.h"

#include <QFile>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>

namespace mergon {

namespace {

bool writePng(const QString &path, QSize size, int unitsPerInch,
              const std::function<void(QPainter &)> &draw) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    if (unitsPerInch > 0) {
        const int perMetre = static_cast<int>(std::lround(unitsPerInch / 0.0254));
        image.setDotsPerMeterX(perMetre);
        image.setDotsPerMeterY(perMetre);
    }
    QPainter painter(&image);
    draw(painter);
    painter.end();
    return image.save(path, "PNG");
}

bool writeSvg(const QString &path, QSize size, int unitsPerInch,
              const std::function<void(QPainter &)> &draw) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QSvgGenerator svg;
    svg.setOutputDevice(&file);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setResolution(unitsPerInch); // the width and height are written in mm from it
    svg.setTitle(QStringLiteral("Mergon"));
    QPainter painter;
    if (!painter.begin(&svg))
        return false;
    draw(painter);
    painter.end();
    file.close();
    return file.error() == QFileDevice::NoError;
}

bool writePdf(const QString &path, QSize size, int unitsPerInch,
              const std::function<void(QPainter &)> &draw) {
    QPdfWriter pdf(path);
    pdf.setCreator(QStringLiteral("Mergon"));
    pdf.setResolution(unitsPerInch);
    const QSizeF millimetres = QSizeF(size) * (25.4 / unitsPerInch);
    pdf.setPageLayout(
        QPageLayout(QPageSize(millimetres, QPageSize::Millimeter, QString(), QPageSize::ExactMatch),
                    QPageLayout::Portrait, QMarginsF()));
    QPainter painter;
    if (!painter.begin(&pdf))
        return false;
    draw(painter);
    return painter.end();
}

} // namespace

bool writeFigure(const QString &path, FigureFormat format, QSize size, int unitsPerInch,
                 const std::function<void(QPainter &)> &draw) {
    switch (format) {
    case FigureFormat::kPng:
        return writePng(path, size, unitsPerInch, draw);
    case FigureFormat::kSvg:
        return writeSvg(path, size, unitsPerInch, draw);
    case FigureFormat::kPdf:
        return writePdf(path, size, unitsPerInch, draw);
    }
    return false;
}

bool writePaperFigure(const QString &path, const PaperFigureRequest &request,
                      const std::vector<Rows> &inputs, const MeanCurve &mean) {
    const FigureSize inFormat = sizeInFormatUnits(
        request.size.width > 0 ? request.size : kPaperDefaultSize, request.format, request.dpi);
    // Vector pages in a fine unit: a hundredth of a millimetre for SVG sizes in print units,
    // so that 85 mm stays 85 mm, else a tenth of a point. Qt's PDF writer gives its page whole
    // points, so a PDF figure is drawn on that page.
    const SizeUnit unit = request.size.width > 0 ? request.size.unit : kPaperDefaultSize.unit;
    const bool metric = unit == SizeUnit::kMm || unit == SizeUnit::kCm || unit == SizeUnit::kIn;
    double width = inFormat.width, height = inFormat.height;
    int unitsPerInch = request.dpi;
    if (request.format == FigureFormat::kSvg) {
        unitsPerInch = metric ? 2540 : 720;
        width *= unitsPerInch / 72.0;
        height *= unitsPerInch / 72.0;
    } else if (request.format == FigureFormat::kPdf) {
        unitsPerInch = 720;
        width = std::round(width) * 10;
        height = std::round(height) * 10;
    }
    const double unitsPerPoint = unitsPerInch / 72.0;
    const QSize size(std::max(1, static_cast<int>(std::lround(width))),
                     std::max(1, static_cast<int>(std::lround(height))));
    return writeFigure(path, request.format, size, unitsPerInch, [&](QPainter &painter) {
        drawPaperFigure(painter, QSizeF(size), unitsPerPoint, request, inputs, mean);
    });
}

} // namespace mergon
