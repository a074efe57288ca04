// The drawing module of mergon-batch (see picture.h): the graph panel's frame, axes and curves
// on a backing image, or the paper figure, written as PNG, SVG or PDF.

#include "batch/picture.h"
#include "engine/commands.h"
#include "plot/curve_drawing.h"
#include "plot/figure_file.h"
#include "plot/panel_canvas.h"

#include <QGuiApplication>
#include <QString>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <optional>
#include <vector>

namespace {

using namespace mergon;

// The graph panel, pixel for pixel; in an SVG or PDF file as an embedded picture.
Status drawPanel(const Picture &picture, bool &written) {
    const PaperFigureRequest &figure = picture.figure;
    const FigureSize given = figure.size.width > 0 ? figure.size : kPanelSize;
    const FigureSize inFormat = sizeInFormatUnits(given, figure.format, figure.dpi);
    const QSize size(std::max(1, static_cast<int>(std::lround(inFormat.width))),
                     std::max(1, static_cast<int>(std::lround(inFormat.height))));
    PanelCanvas canvas(size);
    TextFile file; // not read: every file's rows are at hand
    Status status = redrawInputCurves(*picture.session, file, canvas, {}, *picture.rows);
    if (!status.ok())
        return additionFailure(status, status.subject());
    drawMeanCurve(*picture.mean, canvas, {});
    const QString path = QString::fromStdString(picture.path);
    if (figure.format == FigureFormat::kPng && !picture.dpiGiven)
        written = canvas.image().save(path, "PNG");
    else // pixels at the dpi, or points
        written = writeFigure(path, figure.format, canvas.size(),
                              figure.format == FigureFormat::kPng ? figure.dpi : 72,
                              [&](QPainter &painter) { painter.drawImage(0, 0, canvas.image()); });
    return Status::success();
}

// The figure for a publication. Its numbers are set in a font, which takes a (display-less)
// application.
bool drawPaper(const Picture &picture) {
    static int argc = 3;
    static char name[] = "mergon-batch", option[] = "-platform", platform[] = "offscreen";
    static char *argv[] = {name, option, platform, nullptr};
    // Qt's notices about the desktop session (no runtime folder on a headless machine) are
    // not this program's messages; only its errors get through.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::cerr << "mergon-batch: " << text.toStdString() << "\n";
    });
    QGuiApplication application(argc, argv);

    return writePaperFigure(QString::fromStdString(picture.path), picture.figure, *picture.rows,
                            *picture.mean);
}

} // namespace

extern "C" __attribute__((visibility("default"))) void
mergonDrawPicture(const mergon::Picture &picture, mergon::Status &status) {
    using namespace mergon;
    bool written = false;
    if (picture.paper) {
        written = drawPaper(picture);
    } else {
        status = drawPanel(picture, written);
        if (!status.ok())
            return;
    }
    status =
        written ? Status::success()
                : Status::failure(kOutputFailed, "The picture could not be written.", picture.path);
}
