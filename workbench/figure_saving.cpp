#include "workbench/figure_saving.h"

#include "engine/input_files.h"
#include "engine/messages.h"
#include "engine/replaced_file.h"
#include "plot/figure_file.h"

namespace mergon {

Status savePaperFigure(const std::string &path, const Session &session, TextFile &file,
                       const RowsBySlot &rows, const MeanCurve &mean, BandKind band) {
    const std::optional<FigureFormat> format = figureFormatOf(path);
    const Status unwritten = Status::failure(
        kOutputFailed, failureText("The picture could not be written.", kOutputFailed), path);
    if (!format)
        return unwritten;
    ReplacedFile output;
    if (Status status = output.prepare(path, InPlace::kRefused); !status.ok())
        return Status::failure(status.code(), probeFailureText(status.code()), path);

    PaperFigureRequest request;
    request.format = *format;
    request.band = band;
    request.confidence = 0.95;
    if (!session.curves.empty()) {
        const Curve &first = session.curves.front();
        request.xLabel = columnName(first, file, first.xColumn);
        request.yLabel = columnName(first, file, first.yColumn);
    }
    if (!writePaperFigure(QString::fromStdString(output.newPath()), request, rows, mean))
        return unwritten;
    if (Status status = output.commit(); !status.ok())
        return Status::failure(status.code(), failureText(status.message(), status.code()), path);
    return Status::success();
}

} // namespace mergon
