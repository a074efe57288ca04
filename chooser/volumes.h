#pragma once
// The chooser's "drives": the mounted volumes, and the folder last shown on each of them.

#include <QString>
#include <QStringList>

namespace mergon {

// Root paths of the mounted volumes that hold real file systems, "/" first and then the others
// sorted by path. Memory and kernel file systems (proc, sysfs, tmpfs, cgroup, ...) and mount
// points that are not folders are left out; folders on them belong to the volume above them.
QStringList mountedVolumeRoots();

// The volume among roots that holds path: the longest root that is path itself or one of its
// ancestors. Both are absolute, clean paths. Empty when no root holds path.
QString volumeOf(const QString &path, const QStringList &roots);

// The folder last shown on the volume at root during this run, or empty before the first time.
// Like the per-drive current folder of a process with drive letters, this outlives the dialog
// (it is the only chooser state besides the process's current folder that does).
QString driveFolder(const QString &root);
void setDriveFolder(const QString &root, const QString &folder);

} // namespace mergon
