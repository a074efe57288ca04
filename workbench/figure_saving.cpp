#include "workbench/figure_saving.h"

#include "engine/input_files.h"
#include "engine/messages.h"
#include "engine/replaced_file.h"
#include "plot/figure_file.h"

#include <vector>

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
    request.xLabel = columnName(session, file, 1, session.xColumn[1]);
    request.yLabel = columnName(session, file, 1, session.yColumn[1]);
    std::vector<std::vector<Row>> inputs;
    for (int k = 1; k <= session.fileCount; ++k)
        inputs.push_back(rows[static_cast<size_t>(k)]);
    if (!writePaperFigure(QString::fromStdString(output.newPath()), request, inputs, mean))
        return unwritten;
    if (Status status = output.commit(); !status.ok())
        return Status::failure(status.code(), failureText(status.message(), status.code()), path);
    return Status::success();
}

} // namespace mergon
