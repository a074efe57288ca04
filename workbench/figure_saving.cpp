#include "workbench/figure_saving.h"

#include "engine/messages.h"
#include "plot/figure_file.h"
#include "plot/paper_figure.h"

#include <QPageSize>
#include <QPdfWriter>

#include <vector>

namespace mergon {

namespace {

bool isPdf(const std::string &path) {
    return QString::fromStdString(path).endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive);
}

// One page of `size` points.
bool writePdf(const QString &path, QSize size, const std::function<void(QPainter &)> &draw) {
    QPdfWriter pdf(path);
    pdf.setTitle(QStringLiteral("Mergon"));
    pdf.setResolution(72);
    pdf.setPageSize(QPageSize(QSizeF(size), QPageSize::Point, QString(), QPageSize::ExactMatch));
    pdf.setPageMargins(QMarginsF());
    QPainter painter;
    if (!painter.begin(&pdf))
        return false;
    draw(painter);
    return painter.end();
}

} // namespace

Status savePaperFigure(const std::string &path, const Session &session, const RowsBySlot &rows,
                       const MeanCurve &mean, BandKind band) {
    std::vector<std::vector<Row>> inputs;
    for (int k = 1; k <= session.fileCount; ++k)
        inputs.push_back(rows[static_cast<size_t>(k)]);
    const QSize size(1200, 800);
    const auto draw = [&](QPainter &painter) {
        drawPaperFigure(painter, size, inputs, mean, band);
    };
    const QString file = QString::fromStdString(path);
    bool written = false;
    if (const std::optional<FigureFormat> format = figureFormatOf(path))
        written = writeFigure(file, *format, size, draw);
    else if (isPdf(path))
        written = writePdf(file, size, draw);
    if (written)
        return Status::success();
    return Status::failure(kOutputFailed,
                           failureText("The picture could not be written.", kOutputFailed), path);
}

} // namespace mergon
