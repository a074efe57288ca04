// Path joining, typed names, the existence lookup and the volumes of the file chooser.
#include "chooser/typed_names.h"
#include "chooser/volumes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <system_error>

namespace mergon {
namespace {

std::string str(const QString &text) { return text.toStdString(); }

QString errorMessage(std::errc code) {
    return QString::fromLocal8Bit(std::make_error_code(code).message().c_str());
}

TEST(JoinFolderAndName, PutsExactlyOneSeparator) {
    const struct {
        const char *folder, *name, *expected;
    } cases[] = {
        {"/", "a.txt", "/a.txt"},
        {"/data", "a.txt", "/data/a.txt"},
        {"/data/", "a.txt", "/data/a.txt"},
        {"/mnt/usb/run 1", "b c.dat", "/mnt/usb/run 1/b c.dat"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(str(joinFolderAndName(c.folder, c.name)), c.expected)
            << c.folder << " + " << c.name;
}

class ChooserNames : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        base_ = QDir(tmp_.path()).canonicalPath();
        ASSERT_TRUE(QDir(base_).mkpath(QStringLiteral("sub/deep")));
        for (const char *name : {"a.txt", "x.dat", ".hidden.txt", "sub/b.txt"}) {
            QFile file(base_ + QLatin1Char('/') + QLatin1String(name));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << name;
        }
    }

    QString at(const QString &relative) const { return base_ + QLatin1Char('/') + relative; }

    QTemporaryDir tmp_;
    QString base_;
};

TEST_F(ChooserNames, TypedNamesAreFoldersPatternsOrFiles) {
    using Kind = TypedName::Kind;
    const QString parent = QFileInfo(base_).path();
    const QString leaf = QFileInfo(base_).fileName();
    const struct {
        QString text;
        Kind kind;
        QString folder, last; // checked unless the kind is Empty or Unknown
    } cases[] = {
        {QString(), Kind::Empty, {}, {}},
        {"sub", Kind::Folder, at("sub"), {}},
        {"sub/", Kind::Folder, at("sub"), {}},
        {"sub/deep/..", Kind::Folder, at("sub"), {}},
        {"..", Kind::Folder, parent, {}},
        {"/", Kind::Folder, "/", {}},
        {"~", Kind::Folder, QDir::homePath(), {}},
        {"~/", Kind::Folder, QDir::homePath(), {}},
        {at("sub/deep"), Kind::Folder, at("sub/deep"), {}},
        {"*.dat", Kind::Pattern, base_, "*.dat"},
        {"sub/?.txt", Kind::Pattern, at("sub"), "?.txt"},
        {"../" + leaf + "/*.txt", Kind::Pattern, base_, "*.txt"},
        {"a.txt", Kind::File, base_, "a.txt"},
        {"x.dat", Kind::File, base_, "x.dat"},
        {".hidden.txt", Kind::File, base_, ".hidden.txt"},
        {"sub/b.txt", Kind::File, at("sub"), "b.txt"},
        {at("sub/b.txt"), Kind::File, at("sub"), "b.txt"},
        {"sub/deep/../b.txt", Kind::File, at("sub"), "b.txt"},
        {"../" + leaf + "/a.txt", Kind::File, base_, "a.txt"},
        {"nosuch.txt", Kind::Unknown, {}, {}},
        {"A.TXT", Kind::Unknown, {}, {}},
        {"nosuch/a.txt", Kind::Unknown, {}, {}},
        {"nosuch/*.txt", Kind::Unknown, {}, {}},
        {"nosuch/", Kind::Unknown, {}, {}},
        {"a.txt/x", Kind::Unknown, {}, {}},
    };
    for (const auto &c : cases) {
        const TypedName typed = readTypedName(c.text, base_);
        EXPECT_EQ(typed.kind, c.kind) << '"' << str(c.text) << '"';
        if (c.kind == Kind::Empty || c.kind == Kind::Unknown)
            continue;
        EXPECT_EQ(str(typed.folder), str(c.folder)) << '"' << str(c.text) << '"';
        EXPECT_EQ(str(typed.last), str(c.last)) << '"' << str(c.text) << '"';
    }
}

TEST_F(ChooserNames, LookupFindsTheFirstMatchOrExplainsItsFailure) {
    const struct {
        QString name, match, failure;
    } cases[] = {
        {"a.txt", "a.txt", {}},
        {at("x.dat"), "x.dat", {}},
        {"sub/b.txt", "b.txt", {}},
        {"*.dat", "x.dat", {}},
        {"sub/?.txt", "b.txt", {}},
        {"nosuch.txt", {}, {}},
        {"*.none", {}, {}},
        {"sub", {}, {}}, // a folder is not a file
        {"nosuch/*.txt", {}, {}},
        {"a.txt/x", {}, {}},
        {"a.txt/", {}, {}}, // a file is not a folder
        {"sub/../a.txt", "a.txt", {}},
        {QString(300, QLatin1Char('n')), {}, errorMessage(std::errc::filename_too_long)},
    };
    for (const auto &c : cases) {
        const LookupResult found = findFirstFile(c.name, base_);
        EXPECT_EQ(str(found.match), str(c.match)) << '"' << str(c.name) << '"';
        EXPECT_EQ(str(found.failure), str(c.failure)) << '"' << str(c.name) << '"';
    }
}

TEST_F(ChooserNames, FolderProblemNamesTheFolderAndTheReason) {
    EXPECT_EQ(str(folderProblem(base_)), "");
    EXPECT_EQ(str(folderProblem("/")), "");
    const struct {
        QString folder, reason;
    } cases[] = {
        {at("a.txt"), errorMessage(std::errc::not_a_directory)},
        {at("nosuch"), errorMessage(std::errc::no_such_file_or_directory)},
    };
    for (const auto &c : cases)
        EXPECT_EQ(str(folderProblem(c.folder)),
                  str(QStringLiteral("Cannot open the folder %1: %2.").arg(c.folder, c.reason)));
}

TEST(VolumeOf, TakesTheLongestRootThatHoldsThePath) {
    const QStringList roots = {"/", "/home", "/mnt/usb"};
    const struct {
        const char *path, *volume;
    } cases[] = {
        {"/", "/"},
        {"/tmp/x", "/"},
        {"/home", "/home"},
        {"/home/u/a", "/home"},
        {"/homework", "/"},
        {"/mnt/usb", "/mnt/usb"},
        {"/mnt/usb/x/y", "/mnt/usb"},
        {"/mnt/usb2/x", "/"},
        {"/mnt", "/"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(str(volumeOf(c.path, roots)), c.volume) << c.path;
    EXPECT_EQ(str(volumeOf("/x", {"/home"})), "");
    EXPECT_EQ(str(volumeOf("relative/x", roots)), "");
}

TEST(MountedVolumeRoots, RootFirstThenRealFileSystemsByPath) {
    const QStringList roots = mountedVolumeRoots();
    ASSERT_FALSE(roots.isEmpty());
    EXPECT_EQ(str(roots.first()), "/");
    for (qsizetype i = 1; i < roots.size(); ++i) {
        EXPECT_LT(roots.at(i - 1), roots.at(i)) << str(roots.at(i));
        EXPECT_TRUE(QFileInfo(roots.at(i)).isDir()) << str(roots.at(i));
    }
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        const QByteArray type = volume.fileSystemType();
        if (type == "tmpfs" || type == "proc" || type == "sysfs" || type.startsWith("cgroup")) {
            EXPECT_FALSE(roots.contains(volume.rootPath()) && volume.rootPath() != "/")
                << str(volume.rootPath()) << " (" << type.toStdString() << ")";
        }
    }
}

} // namespace
} // namespace mergon
