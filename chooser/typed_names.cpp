#include "chooser/typed_names.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <filesystem>
#include <system_error>

namespace mergon {

namespace fs = std::filesystem;

namespace {

fs::path toFsPath(const QString &path) { return fs::path(QFile::encodeName(path).toStdString()); }

QString fromFsName(const fs::path &name) { return QFile::decodeName(name.native().c_str()); }

QString errorText(const std::error_code &error) {
    return QString::fromLocal8Bit(error.message().c_str());
}

bool meansMissing(const std::error_code &error) {
    return error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory;
}

QString expandHome(const QString &name) {
    if (name == QLatin1String("~"))
        return QDir::homePath();
    if (name.startsWith(QLatin1String("~/")))
        return joinFolderAndName(QDir::homePath(), name.mid(2));
    return name;
}

QString absoluteFrom(const QString &base, const QString &name) {
    return QDir::cleanPath(QDir(base).absoluteFilePath(name));
}

bool hasWildcard(const QString &name) {
    return name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?'));
}

} // namespace

QString joinFolderAndName(const QString &folder, const QString &name) {
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

TypedName readTypedName(const QString &text, const QString &base) {
    TypedName result;
    if (text.isEmpty()) {
        result.kind = TypedName::Kind::Empty;
        return result;
    }
    const QString name = expandHome(text);
    const QString whole = absoluteFrom(base, name);
    if (QFileInfo(whole).isDir()) {
        result.kind = TypedName::Kind::Folder;
        result.folder = whole;
        return result;
    }
    // Folder part up to and including the last "/", then the last part.
    const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
    result.folder = slash < 0 ? QDir::cleanPath(base) : absoluteFrom(base, name.left(slash + 1));
    result.last = name.mid(slash + 1);
    if (result.last.isEmpty() || !QFileInfo(result.folder).isDir())
        return result;
    const QFileInfo file(joinFolderAndName(result.folder, result.last));
    if (hasWildcard(result.last))
        result.kind = TypedName::Kind::Pattern;
    else if (file.isFile())
        result.kind = TypedName::Kind::File;
    else if (!file.exists())
        result.kind = TypedName::Kind::Missing;
    return result;
}

LookupResult findFirstFile(const QString &name, const QString &base) {
    LookupResult result;
    // Not cleaned: the file system itself judges "..", "." and a trailing "/".
    const QString path = QDir(base).absoluteFilePath(expandHome(name));
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString last = path.mid(slash + 1);
    std::error_code error;
    if (!hasWildcard(last)) {
        const fs::file_status status = fs::status(toFsPath(path), error);
        if (error) {
            if (!meansMissing(error))
                result.failure = errorText(error);
        } else if (fs::exists(status) && !fs::is_directory(status)) {
            result.match = last;
        }
        return result;
    }
    const QRegularExpression pattern(QRegularExpression::wildcardToRegularExpression(last),
                                     QRegularExpression::CaseInsensitiveOption);
    fs::directory_iterator entries(toFsPath(slash == 0 ? QStringLiteral("/") : path.left(slash)),
                                   error);
    if (error) {
        if (!meansMissing(error))
            result.failure = errorText(error);
        return result;
    }
    for (; entries != fs::directory_iterator(); entries.increment(error)) {
        const QString entryName = fromFsName(entries->path().filename());
        std::error_code typeError;
        if (!entries->is_directory(typeError) && pattern.match(entryName).hasMatch()) {
            result.match = entryName;
            return result;
        }
    }
    if (error)
        result.failure = errorText(error);
    return result;
}

QString folderProblem(const QString &folder) {
    std::error_code error;
    fs::directory_iterator probe(toFsPath(folder), error);
    if (!error)
        return {};
    return QStringLiteral("Cannot open the folder %1: %2.").arg(folder, errorText(error));
}

} // namespace mergon
