#pragma once
// The chooser's drive, folder and file lists. Each holds its value (drive, folder, pattern) and
// signals a change only when a setting changes that value, which ends the chains of steps in
// which the dialog sets one list from another.

#include <QComboBox>
#include <QListWidget>
#include <QStringList>
#include <QTreeWidget>

namespace mergon {

// Drop-down list of volumes, shown by their root paths.
class DriveListBox : public QComboBox {
    Q_OBJECT
  public:
    explicit DriveListBox(QWidget *parent = nullptr);

    // Replaces the listed volumes ("/" is always listed) without signalling.
    void setVolumes(const QStringList &roots);
    QStringList volumes() const;

    // Root of the selected volume.
    QString drive() const;
    // Selects the volume that holds path.
    void setDrive(const QString &path);

  signals:
    // The selected volume changed, by the user or by setDrive().
    void driveChanged(const QString &root);
};

// The path to the current folder, root first, each ancestor one level deeper, and the current
// folder's subfolders below it.
class FolderListBox : public QTreeWidget {
    Q_OBJECT
  public:
    explicit FolderListBox(QWidget *parent = nullptr);

    QString path() const { return path_; }
    void setPath(const QString &folder);

  signals:
    void pathChanged(const QString &folder);
    // The user double-clicked an entry (an ancestor, the current folder or a subfolder).
    void openRequested(const QString &folder);

  protected:
    // Every entry is always open: no expand and collapse marks.
    void drawBranches(QPainter *, const QRect &, const QModelIndex &) const override {}

  private:
    void rebuild();

    QString path_;
};

// The regular files of a folder that match a pattern ("*.txt", or several joined by ";") in
// either case, sorted by name, hidden files left out.
class FileListBox : public QListWidget {
    Q_OBJECT
  public:
    explicit FileListBox(QWidget *parent = nullptr);

    QString path() const { return path_; }
    void setPath(const QString &folder);
    QString pattern() const { return pattern_; }
    void setPattern(const QString &pattern);
    // The file name of the selected entry; empty when none is selected.
    QString selectedName() const;
    QStringList names() const;
    // Selects the entry with that file name, if listed.
    void selectName(const QString &name);

  signals:
    void pathChanged(const QString &folder);
    void patternChanged(const QString &pattern);
    // An entry was selected, or the selected entry clicked again.
    void nameSelected(const QString &name);
    void nameDoubleClicked(const QString &name);

  private:
    void refresh();

    QString path_;
    QString pattern_;
};

} // namespace mergon
