#include "chooser/frm_open_save.h"

#include "chooser/typed_names.h"
#include "chooser/volumes.h"
#include "ui/fonts.h"
#include "ui/placement.h"

#include <QButtonGroup>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStorageInfo>

namespace mergon {

using ui::px;

const QString frmOpenSave::kTitle = QStringLiteral("mergon2");
const QString frmOpenSave::kNoFileMessage = QStringLiteral("ファイルが存在しません。");

namespace {

const QString kStartPattern = QStringLiteral("*.txt");

constexpr Qt::WindowFlags kFrameFlags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                        Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                                        Qt::MSWindowsFixedSizeDialogHint;

QLabel *makeLabel(QWidget *parent, int index, const QString &text) {
    auto *label = new QLabel(text, parent);
    label->setObjectName(QStringLiteral("lblOpenSave%1").arg(index));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

} // namespace

frmOpenSave::frmOpenSave(QWidget *parent) : frmOpenSave(mountedVolumeRoots(), parent) {}

frmOpenSave::frmOpenSave(const QStringList &volumeRoots, QWidget *parent)
    : QDialog(parent, kFrameFlags) {
    setObjectName(QStringLiteral("frmOpenSave"));
    setWindowTitle(QStringLiteral("File"));
    setWindowIcon(ui::programIcon());
    setFont(ui::windowFont(9.75));
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(colours);
    setAutoFillBackground(true);
    setFixedSize(px(5760), px(3810));
    buildControls();
    loadStep(volumeRoots);

    connect(drvOpenSave_, &DriveListBox::driveChanged, this, &frmOpenSave::driveStep);
    connect(dirOpenSave_, &FolderListBox::pathChanged, this, [this] { folderStep(); });
    connect(dirOpenSave_, &FolderListBox::openRequested, this, &frmOpenSave::openFolder);
    connect(filOpenSave_, &FileListBox::pathChanged, this, [this] { fileListFolderStep(); });
    connect(filOpenSave_, &FileListBox::patternChanged, this, [this] { fileListPatternStep(); });
    connect(filOpenSave_, &FileListBox::nameSelected, txtOpenSave_, &QLineEdit::setText);
    connect(filOpenSave_, &FileListBox::nameDoubleClicked, this,
            [this](const QString &name) { acceptStep(filOpenSave_->path(), name); });
    connect(txtOpenSave_, &QLineEdit::textChanged, this, [this](const QString &text) {
        // Once enabled, OK stays enabled until the dialog closes.
        if (text != kStartPattern)
            cmdOpenSave_[0]->setEnabled(true);
    });
    connect(cmdGroup_, &QButtonGroup::idClicked, this, &frmOpenSave::onButton);
}

void frmOpenSave::buildControls() {
    lblOpenSave_[0] = makeLabel(this, 0, QStringLiteral("File Name:"));
    ui::placeInTwips(lblOpenSave_[0], 120, 120, 1455, 315);

    txtOpenSave_ = new QLineEdit(kStartPattern, this);
    txtOpenSave_->setObjectName(QStringLiteral("txtOpenSave"));
    txtOpenSave_->setAccessibleName(QStringLiteral("File Name"));
    ui::placeInTwips(txtOpenSave_, 120, 360, 2055, 315);
    lblOpenSave_[0]->setBuddy(txtOpenSave_);

    filOpenSave_ = new FileListBox(this);
    filOpenSave_->setObjectName(QStringLiteral("filOpenSave"));
    filOpenSave_->setAccessibleName(QStringLiteral("Files"));
    ui::placeInTwips(filOpenSave_, 120, 720, 2055, 2820);

    lblOpenSave_[3] = makeLabel(this, 3, QStringLiteral("Drive:"));
    ui::placeInTwips(lblOpenSave_[3], 2280, 120, 1455, 255);

    // The path label lies under the drive list, which is created after it and so drawn over it.
    lblOpenSave_[2] = makeLabel(this, 2, QString());
    lblOpenSave_[2]->setFont(ui::windowFont(9));
    lblOpenSave_[2]->setAccessibleName(QStringLiteral("Folder path"));
    ui::placeInTwips(lblOpenSave_[2], 2280, 480, 3375, 315);

    drvOpenSave_ = new DriveListBox(this);
    drvOpenSave_->setObjectName(QStringLiteral("drvOpenSave"));
    drvOpenSave_->setAccessibleName(QStringLiteral("Drive"));
    ui::placeInTwips(drvOpenSave_, 2280, 360, 3375, 315);
    lblOpenSave_[3]->setBuddy(drvOpenSave_);

    lblOpenSave_[1] = makeLabel(this, 1, QStringLiteral("Folder:"));
    ui::placeInTwips(lblOpenSave_[1], 2280, 720, 1455, 315);

    dirOpenSave_ = new FolderListBox(this);
    dirOpenSave_->setObjectName(QStringLiteral("dirOpenSave"));
    dirOpenSave_->setAccessibleName(QStringLiteral("Folder"));
    ui::placeInTwips(dirOpenSave_, 2280, 960, 3375, 2280);
    lblOpenSave_[1]->setBuddy(dirOpenSave_);

    // cmdOpenSave(0) and (1): one click handler that receives the index.
    cmdGroup_ = new QButtonGroup(this);
    const std::array<QString, 2> captions = {QStringLiteral("OK"), QStringLiteral("Cancel")};
    const std::array<int, 2> lefts = {2640, 4200};
    for (int i = 0; i < 2; ++i) {
        auto *button = new QPushButton(captions[static_cast<std::size_t>(i)], this);
        button->setObjectName(QStringLiteral("cmdOpenSave%1").arg(i));
        ui::placeInTwips(button, lefts[static_cast<std::size_t>(i)], 3360, 1095, 375);
        cmdGroup_->addButton(button, i);
        cmdOpenSave_[static_cast<std::size_t>(i)] = button;
    }
    cmdOpenSave_[0]->setDefault(true);
    cmdOpenSave_[0]->setEnabled(false);

    setTabOrder(filOpenSave_, dirOpenSave_);
    setTabOrder(dirOpenSave_, txtOpenSave_);
    setTabOrder(txtOpenSave_, drvOpenSave_);
    setTabOrder(drvOpenSave_, cmdOpenSave_[0]);
    setTabOrder(cmdOpenSave_[0], cmdOpenSave_[1]);
    filOpenSave_->setFocus();
}

// Load step: centre on the screen, then show the process's current folder in every list. The
// lists take their start values before the steps are connected, so loading runs no step.
void frmOpenSave::loadStep(const QStringList &volumeRoots) {
    ui::centreOnScreen(this);

    QString here = QDir::currentPath();
    if (!QFileInfo(here).isDir())
        here = QDir::rootPath();
    drvOpenSave_->setVolumes(volumeRoots);
    drvOpenSave_->setDrive(here);
    dirOpenSave_->setPath(here);
    filOpenSave_->setPattern(kStartPattern);
    filOpenSave_->setPath(here);
    lblOpenSave_[2]->setText(dirOpenSave_->path());
    setDriveFolder(drvOpenSave_->drive(), dirOpenSave_->path());
}

// Drive step: the folder list goes to the picked volume's current folder (its root the first
// time); the folder step then makes that the process's current folder, and with it the current
// drive. A volume that cannot be shown leaves every list where it was.
void frmOpenSave::driveStep(const QString &root) {
    QString problem;
    const QStorageInfo volume(root);
    if (!volume.isValid() || !volume.isReady()) {
        problem = QStringLiteral("The drive %1 is not ready.").arg(root);
    } else {
        // A remembered folder that has gone since: its nearest ancestor that still exists.
        QString target = driveFolder(root);
        while (!target.isEmpty() && target != root && !QFileInfo(target).isDir())
            target = QFileInfo(target).path();
        if (target.isEmpty() || volumeOf(target, drvOpenSave_->volumes()) != root)
            target = root;
        problem = folderProblem(target);
        if (!problem.isEmpty() && target != root) {
            target = root;
            problem = folderProblem(target);
        }
        if (problem.isEmpty()) {
            dirOpenSave_->setPath(target);
            return;
        }
    }
    {
        const QSignalBlocker blocker(drvOpenSave_);
        drvOpenSave_->setDrive(dirOpenSave_->path());
    }
    showMessage(problem);
}

// Folder step: the folder list's folder changed.
void frmOpenSave::folderStep() {
    filOpenSave_->setPath(dirOpenSave_->path());
    lblOpenSave_[2]->setText(dirOpenSave_->path());
    enterFolder(dirOpenSave_->path());
    // When a drive step gave up on its volume inside a chain, the drive list still has to name
    // the volume of the folder that is shown.
    const QSignalBlocker blocker(drvOpenSave_);
    drvOpenSave_->setDrive(dirOpenSave_->path());
}

// File-list folder step: the file list's folder changed. The name box gets the pattern back.
// The folder is taken once, before the drive list is set: when that moves to another volume,
// its drive step shows the volume's own folder first, and the folder list then still goes to
// the folder that started this step, so the lists end on the folder that was asked for.
void frmOpenSave::fileListFolderStep() {
    const QString folder = filOpenSave_->path();
    txtOpenSave_->setText(filOpenSave_->pattern());
    drvOpenSave_->setDrive(folder);
    dirOpenSave_->setPath(folder);
}

// File-list pattern step: the file list's pattern changed. The name box keeps the typed text.
void frmOpenSave::fileListPatternStep() {
    drvOpenSave_->setDrive(filOpenSave_->path());
    dirOpenSave_->setPath(filOpenSave_->path());
}

void frmOpenSave::acceptStep(const QString &folder, const QString &name) {
    if (ended_)
        return;
    ended_ = true;
    answer_ = QFile::encodeName(joinFolderAndName(folder, name)).toStdString();
    QDialog::accept();
}

// OK step: apply the name box to the file list as a folder, a pattern or a file; a name that is
// none of these goes to the existence lookup, which explains why nothing was accepted.
void frmOpenSave::okStep() {
    const QString text = txtOpenSave_->text();
    const QString here = QDir::currentPath(); // a relative name counts from here, also after a move
    const TypedName typed = readTypedName(text, filOpenSave_->path());
    switch (typed.kind) {
    case TypedName::Kind::Empty:
        return;
    case TypedName::Kind::Folder:
        showFileListFolder(typed.folder);
        return;
    case TypedName::Kind::Pattern:
        if (const QString problem = folderProblem(typed.folder); !problem.isEmpty()) {
            showMessage(problem);
            return;
        }
        // Pattern first, so that the folder step that may follow shows the new pattern.
        filOpenSave_->setPattern(typed.last);
        filOpenSave_->setPath(typed.folder);
        return;
    case TypedName::Kind::File:
        // The lists follow the file's folder when they can show it; the file is accepted anyway.
        if (folderProblem(typed.folder).isEmpty())
            filOpenSave_->setPath(typed.folder);
        filOpenSave_->selectName(typed.last);
        acceptStep(typed.folder, typed.last);
        return;
    case TypedName::Kind::Missing:
        // The lists go to the typed folder; the name box keeps just the name, to be mended.
        if (folderProblem(typed.folder).isEmpty()) {
            filOpenSave_->setPath(typed.folder);
            if (txtOpenSave_->text() != typed.last)
                txtOpenSave_->setText(typed.last);
        }
        break;
    case TypedName::Kind::Unknown:
        break;
    }
    const LookupResult found = findFirstFile(text, here);
    if (!found.failure.isEmpty())
        showMessage(found.failure);
    else if (found.match.isEmpty())
        showMessage(kNoFileMessage);
}

void frmOpenSave::cancelStep() {
    if (ended_)
        return;
    ended_ = true;
    answer_.reset();
    QDialog::reject();
}

void frmOpenSave::reject() { cancelStep(); }

void frmOpenSave::onButton(int index) {
    if (index == 0)
        okStep();
    else
        cancelStep();
}

// A double-click in the folder list.
void frmOpenSave::openFolder(const QString &folder) {
    if (const QString problem = folderProblem(folder); !problem.isEmpty()) {
        showMessage(problem);
        return;
    }
    dirOpenSave_->setPath(folder);
}

void frmOpenSave::showFileListFolder(const QString &folder) {
    if (const QString problem = folderProblem(folder); !problem.isEmpty()) {
        showMessage(problem);
        return;
    }
    filOpenSave_->setPath(folder);
}

// The process's current folder, and that volume's current folder, follow the folder shown.
void frmOpenSave::enterFolder(const QString &folder) {
    QDir::setCurrent(folder);
    setDriveFolder(volumeOf(folder, drvOpenSave_->volumes()), folder);
}

void frmOpenSave::setMessageSink(MessageSink sink) { messageSink_ = std::move(sink); }

void frmOpenSave::showMessage(const QString &text) {
    if (messageSink_) {
        messageSink_(text);
        return;
    }
    QMessageBox box(QMessageBox::Warning, kTitle, text, QMessageBox::Ok, this);
    box.setFont(ui::windowFont(9.75));
    box.exec();
}

} // namespace mergon
