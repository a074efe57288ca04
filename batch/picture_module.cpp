// The drawing module of mergon-batch (see picture.h): the same frame, axes and curves as the
// graph panel, on a backing image saved as PNG.

#include "batch/picture.h"
#include "engine/commands.h"
#include "plot/curve_drawing.h"
#include "plot/panel_canvas.h"

#include <QString>

extern "C" __attribute__((visibility("default"))) void
mergonDrawPicture(const mergon::Picture &picture, mergon::Status &status) {
    using namespace mergon;
    PanelCanvas canvas(QSize(picture.width, picture.height));
    TextFile file; // not read: every file's rows are at hand
    status = redrawInputCurves(*picture.session, file, canvas, {}, *picture.rows);
    if (!status.ok()) {
        status = additionFailure(status, status.subject());
        return;
    }
    drawMeanCurve(*picture.mean, canvas, {});
    if (!canvas.image().save(QString::fromStdString(picture.path), "PNG"))
        status = Status::failure(kOutputFailed, "The picture could not be written.", picture.path);
}
