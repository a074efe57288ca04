// The drawing module of mergon-batch (see picture.h): the graph panel's frame, axes and curves
// on a backing image, or the paper figure, written as PNG or SVG.

#include "batch/picture.h"
#include "engine/commands.h"
#include "plot/curve_drawing.h"
#include "plot/figure_file.h"
#include "plot/panel_canvas.h"
#include "plot/paper_figure.h"

#include <QGuiApplication>
#include <QString>

#include <iostream>
#include <optional>
#include <vector>

namespace {

using namespace mergon;

// The graph panel, pixel for pixel; in an SVG file as an embedded picture.
Status drawPanel(const Picture &picture, bool &written) {
    const QSize size(picture.width > 0 ? picture.width : 329,
                     picture.height > 0 ? picture.height : 217); // the graph panel's size
    PanelCanvas canvas(size);
    TextFile file; // not read: every file's rows are at hand
    Status status = redrawInputCurves(*picture.session, file, canvas, {}, *picture.rows);
    if (!status.ok())
        return additionFailure(status, status.subject());
    drawMeanCurve(*picture.mean, canvas, {});
    const QString path = QString::fromStdString(picture.path);
    if (picture.format == FigureFormat::kPng)
        written = canvas.image().save(path, "PNG");
    else
        written = writeFigure(path, picture.format, canvas.size(),
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

    const std::vector<std::vector<Row>> &inputs = *picture.rows;
    const QSize size(picture.width > 0 ? picture.width : 1200,
                     picture.height > 0 ? picture.height : 800);
    return writeFigure(QString::fromStdString(picture.path), picture.format, size,
                       [&](QPainter &painter) {
                           drawPaperFigure(painter, size, inputs, *picture.mean, picture.band);
                       });
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
