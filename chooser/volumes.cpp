#include "chooser/volumes.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>
#include <map>

namespace mergon {

namespace {

bool isPseudoFileSystem(const QByteArray &type) {
    static const QByteArrayList pseudo = {
        "proc",       "sysfs",     "devtmpfs", "devpts",          "tmpfs",
        "ramfs",      "cgroup",    "cgroup2",  "securityfs",      "debugfs",
        "tracefs",    "pstore",    "bpf",      "configfs",        "fusectl",
        "mqueue",     "hugetlbfs", "autofs",   "binfmt_misc",     "efivarfs",
        "rpc_pipefs", "nsfs",      "squashfs", "fuse.gvfsd-fuse", "fuse.portal"};
    return pseudo.contains(type);
}

// True when ancestor is folder itself or one of its ancestors (by whole path components).
bool holds(const QString &ancestor, const QString &folder) {
    if (ancestor == folder || ancestor == QLatin1String("/"))
        return folder.startsWith(QLatin1Char('/'));
    return folder.startsWith(ancestor) && folder.size() > ancestor.size() &&
           folder.at(ancestor.size()) == QLatin1Char('/');
}

std::map<QString, QString> &folderPerDrive() {
    static std::map<QString, QString> folders;
    return folders;
}

} // namespace

QStringList mountedVolumeRoots() {
    QStringList roots;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady() || isPseudoFileSystem(volume.fileSystemType()))
            continue;
        const QString root = QDir::cleanPath(volume.rootPath());
        if (root != QLatin1String("/") && QFileInfo(root).isDir())
            roots.append(root);
    }
    std::sort(roots.begin(), roots.end());
    roots.removeDuplicates();
    roots.prepend(QStringLiteral("/"));
    return roots;
}

QString volumeOf(const QString &path, const QStringList &roots) {
    QString best;
    for (const QString &root : roots) {
        if (holds(root, path) && root.size() > best.size())
            best = root;
    }
    return best;
}

QString driveFolder(const QString &root) {
    const auto &folders = folderPerDrive();
    const auto it = folders.find(root);
    return it == folders.end() ? QString() : it->second;
}

void setDriveFolder(const QString &root, const QString &folder) {
    if (!root.isEmpty())
        folderPerDrive()[root] = folder;
}

} // namespace mergon
