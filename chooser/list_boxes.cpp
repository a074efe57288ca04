#include "chooser/list_boxes.h"

#include "chooser/typed_names.h"
#include "chooser/volumes.h"

#include <QDir>
#include <QHeaderView>
#include <QSignalBlocker>
#include <QStyle>

namespace mergon {

namespace {
constexpr int kPathRole = Qt::UserRole;
}

// ---- drive list

DriveListBox::DriveListBox(QWidget *parent) : QComboBox(parent) {
    connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            emit driveChanged(itemData(index).toString());
    });
}

void DriveListBox::setVolumes(const QStringList &roots) {
    const QSignalBlocker blocker(this);
    const QString selected = drive();
    clear();
    QStringList all = roots;
    if (!all.contains(QStringLiteral("/")))
        all.prepend(QStringLiteral("/"));
    for (const QString &root : all)
        addItem(root, root);
    setCurrentIndex(selected.isEmpty() ? 0 : findData(volumeOf(selected, all)));
}

QStringList DriveListBox::volumes() const {
    QStringList roots;
    for (int i = 0; i < count(); ++i)
        roots.append(itemData(i).toString());
    return roots;
}

QString DriveListBox::drive() const { return currentData().toString(); }

void DriveListBox::setDrive(const QString &path) {
    const int index = findData(volumeOf(QDir::cleanPath(path), volumes()));
    if (index >= 0)
        setCurrentIndex(index); // signals only when the volume changes
}

// ---- folder list

FolderListBox::FolderListBox(QWidget *parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setExpandsOnDoubleClick(false);
    setUniformRowHeights(true);
    setIndentation(10);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *item) {
        emit openRequested(item->data(0, kPathRole).toString());
    });
}

void FolderListBox::setPath(const QString &folder) {
    const QString clean = QDir::cleanPath(folder);
    if (clean == path_)
        return;
    path_ = clean;
    rebuild();
    emit pathChanged(path_);
}

void FolderListBox::rebuild() {
    clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    auto *current = new QTreeWidgetItem(this, {QStringLiteral("/")});
    current->setData(0, kPathRole, QStringLiteral("/"));
    current->setIcon(0, open);
    QString walked = QStringLiteral("/");
    for (const QString &part : path_.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        walked = joinFolderAndName(walked, part);
        current = new QTreeWidgetItem(current, {part});
        current->setData(0, kPathRole, walked);
        current->setIcon(0, open);
    }
    const QStringList subfolders =
        QDir(path_).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::CaseSensitive, QDir::Name);
    for (const QString &name : subfolders) {
        auto *item = new QTreeWidgetItem(current, {name});
        item->setData(0, kPathRole, joinFolderAndName(path_, name));
        item->setIcon(0, closed);
    }
    expandAll();
    setCurrentItem(current);
    scrollToItem(current);
}

// ---- file list

FileListBox::FileListBox(QWidget *parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemSelectionChanged, this, [this] {
        const QString name = selectedName();
        if (!name.isEmpty())
            emit nameSelected(name);
    });
    // A click on the entry that is already selected changes no selection, yet gives its name
    // back to a name box that was typed over since.
    connect(this, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
        if (item->isSelected())
            emit nameSelected(item->text());
    });
    connect(this, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem *item) { emit nameDoubleClicked(item->text()); });
}

void FileListBox::setPath(const QString &folder) {
    const QString clean = QDir::cleanPath(folder);
    if (clean == path_)
        return;
    path_ = clean;
    refresh();
    emit pathChanged(path_);
}

void FileListBox::setPattern(const QString &pattern) {
    if (pattern == pattern_)
        return;
    pattern_ = pattern;
    refresh();
    emit patternChanged(pattern_);
}

void FileListBox::refresh() {
    clear();
    if (path_.isEmpty())
        return;
    const QStringList filters = pattern_.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (filters.isEmpty())
        return;
    // Patterns ignore case, as on the file systems the data files come from.
    addItems(QDir(path_).entryList(filters, QDir::Files, QDir::Name));
}

QString FileListBox::selectedName() const {
    const QList<QListWidgetItem *> items = selectedItems();
    return items.isEmpty() ? QString() : items.first()->text();
}

QStringList FileListBox::names() const {
    QStringList all;
    for (int i = 0; i < count(); ++i)
        all.append(item(i)->text());
    return all;
}

void FileListBox::selectName(const QString &name) {
    const QList<QListWidgetItem *> found =
        findItems(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (!found.isEmpty())
        setCurrentItem(found.first());
}

} // namespace mergon
