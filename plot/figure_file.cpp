#include "plot/figure_file.h"

#include <QFile>
#include <QImage>
#include <QSvgGenerator>

namespace mergon {

bool writeFigure(const QString &path, FigureFormat format, QSize size,
                 const std::function<void(QPainter &)> &draw) {
    if (format == FigureFormat::kPng) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        draw(painter);
        painter.end();
        return image.save(path, "PNG");
    }
    // 72 units to the inch: the size is in points.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QSvgGenerator svg;
    svg.setOutputDevice(&file);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setResolution(72);
    svg.setTitle(QStringLiteral("Mergon"));
    QPainter painter;
    if (!painter.begin(&svg))
        return false;
    draw(painter);
    painter.end();
    file.close();
    return file.error() == QFileDevice::NoError;
}

} // namespace mergon
