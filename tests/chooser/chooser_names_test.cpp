// Path joining, typed names, the existence lookup and the volumes of the file chooser.
#include "chooser/typed_names.h"
#include "chooser/volumes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <system_error>
#include <tuple>

namespace mergon {
namespace {

std::string str(const QString &text) { return text.toStdString(); }

// Joining a folder and a name with exactly one separator, what a typed name stands for, what the
// existence lookup finds for it, and why a folder cannot be shown. Plain folders, patterns and
// names of no file are covered through the dialog.
TEST(ChooserNames, JoiningTypedNamesTheLookupAndFolderProblems) {
    EXPECT_EQ(str(joinFolderAndName("/", "a.txt") + ' ' + joinFolderAndName("/data", "a.txt")),
              "/a.txt /data/a.txt");
    QTemporaryDir tmp;
    const QString base = QDir(tmp.path()).canonicalPath();
    ASSERT_TRUE(tmp.isValid() && QDir(base).mkpath(QStringLiteral("sub/deep")));
    for (const char *name : {"a.txt", ".hidden.txt", "sub/b.txt"})
        ASSERT_TRUE(QFile(base + '/' + name).open(QIODevice::WriteOnly)) << name;
    using Kind = TypedName::Kind;
    // shown: "folder|last", checked unless the kind is Unknown; match: what the lookup finds
    // clang-format off
    const struct { QString text; Kind kind; QString shown, match; } cases[] = {
        {"sub/?.TXT", Kind::Pattern, base + "/sub|?.TXT", "b.txt"}, // either case
        {"sub/B.TXT", Kind::Missing, base + "/sub|B.TXT", {}},     // a plain name as written
        {".hidden.txt", Kind::File, base + "|.hidden.txt", ".hidden.txt"},
        {"sub/deep/../b.txt", Kind::File, base + "/sub|b.txt", "b.txt"},
        // A folder is not a file, and a file is not a folder.
        {"sub", Kind::Folder, base + "/sub|", {}}, {"a.txt/x", Kind::Unknown, {}, {}},
        {"nosuch/*.txt", Kind::Unknown, {}, {}},
        {"/dev/null", Kind::Unknown, {}, "null"}, // there, but no regular file: not missing
    };
    // clang-format on
    for (const auto &c : cases) {
        const TypedName typed = readTypedName(c.text, base);
        const LookupResult found = findFirstFile(c.text, base);
        const QString shown = c.kind == Kind::Unknown ? QString() : typed.folder + '|' + typed.last;
        EXPECT_EQ(std::tuple(typed.kind, str(shown), str(found.match), str(found.failure)),
                  std::tuple(c.kind, str(c.shown), str(c.match), std::string()))
            << str(c.text);
    }
    // The reasons as the C library words them.
    for (const auto &[name, reason] : {std::pair{"/a.txt", "Not a directory"},
                                       std::pair{"/nosuch", "No such file or directory"}})
        EXPECT_EQ(str(folderProblem(base + name)),
                  "Cannot open the folder " + str(base) + name + ": " + reason + ".");
}

TEST(VolumeOf, TakesTheLongestRootThatHoldsThePath) {
    // clang-format off
    const char *cases[][2] = {{"/", "/"}, {"/home", "/home"}, {"/home/u/a", "/home"},
        {"/homework", "/"}, {"/mnt/usb/x/y", "/mnt/usb"}, {"/mnt", "/"}, {"relative/x", ""}};
    // clang-format on
    for (const auto &c : cases)
        EXPECT_EQ(str(volumeOf(c[0], {"/", "/home", "/mnt/usb"})), c[1]) << c[0];
}

} // namespace
} // namespace mergon
