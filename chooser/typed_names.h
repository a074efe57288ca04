#pragma once
// File names in the chooser: joining a folder and a name, reading a typed name, the lookup of
// the first matching file, and why a folder cannot be shown.

#include <QString>

namespace mergon {

// folder and name with exactly one "/" between them ("/" + "a.txt" gives "/a.txt").
QString joinFolderAndName(const QString &folder, const QString &name);

// What a name typed into the name box stands for. Names are absolute or count from base, ".."
// may lead up, and "~" at the start is the home folder.
struct TypedName {
    enum class Kind {
        Empty,   // nothing typed
        Folder,  // an existing folder: folder
        Pattern, // an existing folder and a last part with wildcards: folder, last
        File,    // an existing file (of any name) in an existing folder: folder, last
        Missing, // an existing folder and a last part naming nothing, no wildcards: folder, last
        Unknown, // anything else
    };
    Kind kind = Kind::Unknown;
    QString folder; // absolute and clean
    QString last;
};
TypedName readTypedName(const QString &text, const QString &base);

// The existence lookup: the file name of the first entry other than a folder that matches name
// (relative to base). Its last part may hold wildcards, which match in either case; without
// them the name is taken as written. A missing folder or entry gives an empty match; any other
// failure of the file system gives its message in failure.
struct LookupResult {
    QString match;
    QString failure;
};
LookupResult findFirstFile(const QString &name, const QString &base);

// The message to show when folder cannot be listed; empty when it can.
QString folderProblem(const QString &folder);

} // namespace mergon
