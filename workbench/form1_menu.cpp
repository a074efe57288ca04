// The graph's context menu and the files dropped on the window.
#include "engine/commands.h"
#include "plot/curve_drawing.h"
#include "workbench/batch_command.h"
#include "workbench/command_guard.h"
#include "workbench/figure_saving.h"
#include "workbench/form1.h"

#include <QActionGroup>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QShortcut>
#include <QTimer>

namespace mergon {

namespace {

// Adds exclusive, checkable choices to `menu`, the one equal to `current` checked; `choose`
// runs with a choice's value when it is picked.
template <typename Value, typename Choose>
void addChoices(QMenu *menu, std::initializer_list<std::pair<const char *, Value>> choices,
                Value current, Choose choose) {
    auto *group = new QActionGroup(menu);
    for (const auto &[text, value] : choices) {
        QAction *choice = menu->addAction(QString::fromUtf8(text));
        choice->setCheckable(true);
        choice->setChecked(value == current);
        group->addAction(choice);
        QObject::connect(choice, &QAction::triggered, menu,
                         [choose, kind = value] { choose(kind); });
    }
}

// The local files among the dropped URLs.
QStringList localFiles(const QMimeData *mime) {
    QStringList paths;
    if (mime && mime->hasUrls())
        for (const QUrl &url : mime->urls())
            if (url.isLocalFile())
                paths << url.toLocalFile();
    return paths;
}

// The extension of a filter such as "PNG image (*.png)", with its dot.
QString filterSuffix(const QString &filter) {
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("\\*\\.(\\w+)")).match(filter);
    return match.hasMatch() ? match.captured(1) : QString();
}

const QStringList kFigureFilters = {QStringLiteral("PNG image (*.png)"),
                                    QStringLiteral("SVG drawing (*.svg)"),
                                    QStringLiteral("PDF document (*.pdf)")};

} // namespace

void Form1::createGraphMenu() {
    // A name typed without an extension gets the selected filter's; a typed one decides.
    chooseSavePath_ = [this](const QString &caption,
                             const QStringList &filters) -> std::optional<std::string> {
        QFileDialog dialog(this, caption);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilters(filters);
        dialog.setDefaultSuffix(filterSuffix(filters.value(0)));
        connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString &filter) {
            dialog.setDefaultSuffix(filterSuffix(filter));
        });
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().front().toStdString();
    };

    graphMenu_ = new QMenu(this);
    graphMenu_->setObjectName(QStringLiteral("graphMenu"));
    saveFigureAction_ =
        graphMenu_->addAction(QStringLiteral("&Save Figure..."), this, &Form1::saveFigure);
    saveStatisticsAction_ =
        graphMenu_->addAction(QStringLiteral("Save S&tatistics..."), this, &Form1::saveStatistics);
    graphMenu_->addSeparator();

    addChoices(graphMenu_->addMenu(QStringLiteral("S&pread")),
               {std::pair{"None", BandKind::kNone},
                {"Standard Deviation", BandKind::kSd},
                {"Standard Error", BandKind::kSe},
                {"95 % Confidence Interval", BandKind::kCi}},
               spread_, [this](BandKind band) { spread_ = band; });
    addChoices(graphMenu_->addMenu(QStringLiteral("&Average Over")),
               {std::pair{"Common Range", GridRange::kCommon}, {"All Curves", GridRange::kUnion}},
               averageOver_, [this](GridRange range) {
                   averageOver_ = range;
                   updateMenuStates();
               });
    graphMenu_->addSeparator();
    copyCommandAction_ = graphMenu_->addAction(QStringLiteral("&Copy Batch Command"), this,
                                               &Form1::copyBatchCommand);

    auto *menuKey = new QShortcut(QKeySequence(Qt::Key_Menu), this);
    connect(menuKey, &QShortcut::activated, this,
            [this] { showGraphMenu(Picture1->mapToGlobal(Picture1->rect().center())); });
    updateMenuStates();
}

void Form1::showGraphMenu(const QPoint &globalPosition) {
    updateMenuStates();
    graphMenu_->popup(globalPosition);
}

void Form1::updateMenuStates() {
    const bool loaded = session_.fileCount() > 0;
    saveFigureAction_->setEnabled(loaded);
    copyCommandAction_->setEnabled(loaded);
    saveStatisticsAction_->setEnabled(written_ && written_->range == averageOver_);
}

// The graph takes no clicks itself, so a right-click on it arrives here.
void Form1::contextMenuEvent(QContextMenuEvent *event) {
    const bool mouse = event->reason() == QContextMenuEvent::Mouse;
    if (mouse && !Picture1->geometry().contains(event->pos())) {
        event->ignore();
        return;
    }
    event->accept();
    showGraphMenu(mouse ? event->globalPos() : Picture1->mapToGlobal(Picture1->rect().center()));
}

void Form1::dragEnterEvent(QDragEnterEvent *event) {
    if (!busy_ && !localFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent *event) {
    const QStringList paths = localFiles(event->mimeData());

    if (busy_ || paths.isEmpty())
        return;
    event->acceptProposedAction();
    // Added once the drop is over, so that the file manager is not held up meanwhile.
    QTimer::singleShot(0, this, [this, paths] { addFiles(paths); });
}

void Form1::addFiles(const QStringList &paths) {
    if (busy_)
        return;
    CommandGuard guard(busy_);
    for (const QString &path : paths) {
        if (session_.fileCount() >= kMaxInputFiles)
            break;
        if (!addFileFrom([&path] { return std::optional<std::string>(path.toStdString()); }))
            break;
    }
    updateMenuStates();
}

MeanOptions Form1::meanOptions(GridRange range) const {
    // As mergon-batch asks for its paper figure's band.
    MeanOptions options;
    options.range = range;
    options.statistics = spread_ != BandKind::kNone;
    options.confidence = spread_ == BandKind::kCi ? 0.95 : 0;
    return options;
}

void Form1::saveFigure() {
    if (busy_ || session_.fileCount() < 1)
        return;
    CommandGuard guard(busy_);
    const std::optional<std::string> path =
        chooseSavePath_(QStringLiteral("Save Figure"), kFigureFilters);
    if (!path)
        return;
    // Computed on a copy: the figure leaves the window's session as it is.
    Session session = session_;
    RowsBySlot rows;
    MeanCurve mean;
    Status status = readAllRows(session, file_, rows);
    if (status.ok())
        status = computeMean(session, file_, Text3->text().toStdString(), mean, {},
                             meanOptions(averageOver_), {&rows});
    if (status.ok())
        status = savePaperFigure(*path, session, file_, rows, mean, spread_);
    if (!status.ok())
        fail(status);
}

void Form1::saveStatistics() {
    if (busy_ || !written_ || written_->range != averageOver_)
        return;
    CommandGuard guard(busy_);
    const std::optional<std::string> path =
        chooseSavePath_(QStringLiteral("Save Statistics"), {QStringLiteral("CSV table (*.csv)")});
    if (!path)
        return;
    // The mean of the last "Write to File" once more, with its statistics; as mergon-batch
    // --statistics (and --confidence 0.95 for the interval).
    Session session = session_;
    MeanOptions options = meanOptions(written_->range);
    options.statistics = true;
    options.intervalInTable = spread_ == BandKind::kCi;
    MeanCurve mean;
    Status status = computeMean(session, file_, written_->divisionText, mean, {}, options);
    if (status.ok())
        status = writeStatistics(session, file_, *path, written_->outputName, mean,
                                 options.intervalInTable);
    if (!status.ok())
        fail(status);
}

void Form1::copyBatchCommand() {
    if (busy_ || session_.fileCount() < 1)
        return;
    BatchCommand command;
    for (size_t i = 0; i < session_.curves.size(); ++i)
        command.files.push_back({session_.curves[i].fileName, slotTexts_[i + 1]});
    command.divisions = Text3->text().toStdString();
    // The output as "Write to File" would take it, from wherever the command is run.
    const QString output = Text2[0]->text();
    command.output =
        (output.isEmpty() ? output : QFileInfo(output).absoluteFilePath()).toStdString();
    command.range = averageOver_;
    command.band = spread_;
    QGuiApplication::clipboard()->setText(QString::fromStdString(batchCommandLine(command)));
}

} // namespace mergon
