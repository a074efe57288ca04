// Path joining, typed names, the existence lookup and the volumes of the file chooser.
#include "chooser/typed_names.h"
#include "chooser/volumes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <system_error>

namespace mergon {
namespace {

std::string str(const QString &text) { return text.toStdString(); }

TEST(JoinFolderAndName, PutsExactlyOneSeparator) {
    const char *cases[][3] = {{"/", "a.txt", "/a.txt"}, {"/data", "a.txt", "/data/a.txt"}};
    for (const auto &c : cases)
        EXPECT_EQ(str(joinFolderAndName(c[0], c[1])), c[2]) << c[0] << " + " << c[1];
}

// What a typed name stands for, what the existence lookup finds for it, and why a folder cannot
// be shown. Plain folders, patterns and names of no file are covered through the dialog.
TEST(ChooserNames, TypedNamesTheLookupAndFolderProblems) {
    QTemporaryDir tmp;
    const QString base = QDir(tmp.path()).canonicalPath();
    ASSERT_TRUE(tmp.isValid() && QDir(base).mkpath(QStringLiteral("sub/deep")));
    for (const char *name : {"a.txt", ".hidden.txt", "sub/b.txt"})
        ASSERT_TRUE(QFile(base + '/' + name).open(QIODevice::WriteOnly)) << name;
    using Kind = TypedName::Kind;
    const struct {
        QString text;
        Kind kind;
        QString shown, match; // shown: "folder|last", checked unless the kind is Unknown
    } cases[] = {
        {"sub/?.txt", Kind::Pattern, base + "/sub|?.txt", "b.txt"},
        {".hidden.txt", Kind::File, base + "|.hidden.txt", ".hidden.txt"},
        {"sub/deep/../b.txt", Kind::File, base + "/sub|b.txt", "b.txt"},
        {"sub", Kind::Folder, base + "/sub|", {}}, // a folder is not a file
        {"a.txt/x", Kind::Unknown, {}, {}},        // a file is not a folder
        {"nosuch/*.txt", Kind::Unknown, {}, {}},
    };
    for (const auto &c : cases) {
        const TypedName typed = readTypedName(c.text, base);
        EXPECT_EQ(typed.kind, c.kind) << str(c.text);
        if (c.kind != Kind::Unknown) {
            EXPECT_EQ(str(typed.folder + '|' + typed.last), str(c.shown)) << str(c.text);
        }
        const LookupResult found = findFirstFile(c.text, base);
        EXPECT_EQ(str(found.match) + "|" + str(found.failure), str(c.match) + "|") << str(c.text);
    }
    for (const auto &[name, code] : {std::pair{"/a.txt", std::errc::not_a_directory},
                                     std::pair{"/nosuch", std::errc::no_such_file_or_directory}}) {
        const QString reason = QString::fromLocal8Bit(std::make_error_code(code).message());
        EXPECT_EQ(str(folderProblem(base + name)),
                  str(QStringLiteral("Cannot open the folder %1: %2.").arg(base + name, reason)));
    }
}

TEST(VolumeOf, TakesTheLongestRootThatHoldsThePath) {
    const QStringList roots = {"/", "/home", "/mnt/usb"};
    const char *cases[][2] = {
        {"/", "/"},         {"/home", "/home"},           {"/home/u/a", "/home"},
        {"/homework", "/"}, {"/mnt/usb/x/y", "/mnt/usb"}, {"/mnt", "/"},
        {"relative/x", ""}};
    for (const auto &c : cases)
        EXPECT_EQ(str(volumeOf(c[0], roots)), c[1]) << c[0];
}

} // namespace
} // namespace mergon
