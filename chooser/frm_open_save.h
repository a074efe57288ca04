#pragma once
// frmOpenSave: the modal file chooser of "Data File Open".
//
// Created afresh for each use; the constructor is the load step. The caller sets the title,
// puts "*.txt" into the name box with all of it selected, and runs exec():
//
//     frmOpenSave chooser(this);
//     chooser.setWindowTitle(QStringLiteral("Data File Open"));
//     chooser.nameBox()->setText(QStringLiteral("*.txt"));
//     chooser.nameBox()->setSelection(0, 5);
//     chooser.exec();
//
// Afterwards answer() holds the accepted file's full path, or nothing when the user cancelled
// (Cancel, Esc, the close box or the window menu). The chooser also leaves the process's current
// folder, and the current folder of each volume it visited, at the last folder it showed (so
// that relative paths and the next chooser start there); it changes nothing else.
//
// Controls carry their names as object names: "lblOpenSave0" to "lblOpenSave3",
// "txtOpenSave", "filOpenSave", "drvOpenSave", "dirOpenSave", "cmdOpenSave0" (OK) and
// "cmdOpenSave1" (Cancel).

#include "chooser/list_boxes.h"

#include <QDialog>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>
#include <string>

class QButtonGroup;
class QLabel;
class QLineEdit;
class QPushButton;

namespace mergon {

class frmOpenSave : public QDialog {
    Q_OBJECT
  public:
    // Shows the mounted volumes in the drive list.
    explicit frmOpenSave(QWidget *parent = nullptr);
    // Shows the given volume roots in the drive list ("/" is always among them).
    frmOpenSave(const QStringList &volumeRoots, QWidget *parent = nullptr);

    // The accepted file's full path in the file system's encoding; nothing when cancelled.
    const std::optional<std::string> &answer() const { return answer_; }

    QLineEdit *nameBox() const { return txtOpenSave_; }
    FileListBox *fileList() const { return filOpenSave_; }
    FolderListBox *folderList() const { return dirOpenSave_; }
    DriveListBox *driveList() const { return drvOpenSave_; }
    QLabel *pathLabel() const { return lblOpenSave_[2]; }
    QPushButton *okButton() const { return cmdOpenSave_[0]; }
    QPushButton *cancelButton() const { return cmdOpenSave_[1]; }

    // Where the chooser's messages go; by default a modal warning box titled "mergon2".
    using MessageSink = std::function<void(const QString &text)>;
    void setMessageSink(MessageSink sink);

    static const QString kTitle;         // "mergon2", the caption of the message boxes
    static const QString kNoFileMessage; // the message for a name that matches nothing

    // Esc, the close box and the window menu end the dialog as Cancel does.
    void reject() override;

  private:
    void buildControls();
    void loadStep(const QStringList &volumeRoots);
    void driveStep(const QString &root);
    void folderStep();
    void fileListFolderStep();
    void fileListPatternStep();
    void acceptStep(const QString &folder, const QString &name);
    void okStep();
    void cancelStep();
    void onButton(int index);
    void openFolder(const QString &folder);
    void enterFolder(const QString &folder);
    void showFileListFolder(const QString &folder);
    void showMessage(const QString &text);

    std::optional<std::string> answer_;
    bool ended_ = false; // set by the accept or Cancel step: the dialog ends only once
    MessageSink messageSink_;

    std::array<QLabel *, 4> lblOpenSave_{};
    QLineEdit *txtOpenSave_ = nullptr;
    FileListBox *filOpenSave_ = nullptr;
    DriveListBox *drvOpenSave_ = nullptr;
    FolderListBox *dirOpenSave_ = nullptr;
    std::array<QPushButton *, 2> cmdOpenSave_{};
    QButtonGroup *cmdGroup_ = nullptr;
};

} // namespace mergon
