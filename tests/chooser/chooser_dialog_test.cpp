// The file chooser driven as a user drives it: modal, with the actions run by a zero-delay timer
// inside exec().
#include "chooser/frm_open_save.h"
#include "chooser/volumes.h"

#include <QTest>
#include <QtWidgets>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <tuple>

namespace mergon {
namespace {

std::string str(const QString &text) { return text.toStdString(); }
std::string str(const QStringList &parts) { return parts.join('|').toStdString(); }

// Clicks, or double-clicks, the one item of the file or folder list shown as name.
void click(QAbstractItemView *view, const QString &name, bool twice = false) {
    const auto found = view->model()->match(view->model()->index(0, 0), Qt::DisplayRole, name, -1,
                                            Qt::MatchExactly | Qt::MatchRecursive);
    ASSERT_EQ(found.size(), 1) << str(name);
    view->scrollTo(found.first());
    const QPoint at = view->visualRect(found.first()).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    if (twice)
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
}

class ChooserDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid() && QDir(root_).mkpath("sub/deep") &&
                    QDir(root_).mkpath("other/x"));
        for (const char *name :
             {"a.txt", "b.txt", "c.dat", "d.dat", "sub/inner.txt", "sub/e.dat", "sub/RUN1.TXT"})
            ASSERT_TRUE(QFile(at(QLatin1String(name))).open(QIODevice::WriteOnly)) << name;
    }
    void TearDown() override { QDir::setCurrent(saved_); }

    QString at(const QString &relative) const { return root_ + QLatin1Char('/') + relative; }

    // Loads the dialog in folder with the caller's pattern in the name box; messages go to
    // messages_.
    std::unique_ptr<frmOpenSave> prepare(const QString &folder,
                                         const QStringList &roots = mountedVolumeRoots()) {
        EXPECT_TRUE(QDir::setCurrent(folder)) << str(folder);
        auto dialog = std::make_unique<frmOpenSave>(roots);
        dialog->nameBox()->setText(QStringLiteral("*.txt"));
        messages_.clear();
        dialog->setMessageSink([this](const QString &text) { messages_ << text; });
        return dialog;
    }

    // Shows dialog modally and runs act inside its loop. Returns whether the dialog was still
    // open after act; if so it is ended without its Cancel step, with a code of neither button.
    bool runModal(frmOpenSave &dialog, const std::function<void()> &act) {
        QTimer::singleShot(0, &dialog, [&] {
            EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
            act();
            if (dialog.isVisible())
                dialog.QDialog::done(-1);
        });
        QTimer::singleShot(20000, &dialog, [] { // the last resort of a stuck test
            ADD_FAILURE() << "a modal loop did not end";
            if (auto *stuck = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                stuck->QDialog::done(QDialog::Rejected);
        });
        return (result_ = dialog.exec()) == -1;
    }

    // Types text over the name box as the user does, then clicks OK.
    static void typeAndOk(frmOpenSave &dialog, const QString &text) {
        dialog.nameBox()->selectAll();
        QTest::keyClicks(dialog.nameBox(), text);
        dialog.okButton()->click();
    }

    // The folder, file and drive lists, the path label and the process agree on folder.
    static void expectShowing(const frmOpenSave &d, const QString &folder, const QString &what) {
        EXPECT_EQ(str({d.folderList()->path(), d.fileList()->path(), d.pathLabel()->text(),
                       d.driveList()->drive(), QDir::currentPath()}),
                  str({folder, folder, folder, volumeOf(folder, d.driveList()->volumes()),
                       QFileInfo(folder).canonicalFilePath()}))
            << str(what);
    }

    QTemporaryDir tmp_;
    QString root_ = QDir(tmp_.path()).canonicalPath(), saved_ = QDir::currentPath();
    QStringList messages_;
    int result_ = -1;
};

TEST_F(ChooserDialog, OkIsEnabledByAnyTextButTheCallersPatternAndTabGoesRound) {
    auto dialog = prepare(root_);
    EXPECT_FALSE(dialog->okButton()->isEnabled()) << "the caller's pattern";
    for (const char *text : {"*.TXT", "a", ""}) { // emptied after a name it stays enabled
        dialog->nameBox()->setText(QString::fromUtf8(text));
        EXPECT_TRUE(dialog->okButton()->isEnabled()) << text;
    }
    // OK takes focus only when enabled.
    const QWidget *expected[] = {dialog->fileList(),  dialog->folderList(), dialog->nameBox(),
                                 dialog->driveList(), dialog->okButton(),   dialog->cancelButton(),
                                 dialog->fileList()};
    runModal(*dialog, [&] {
        for (const QWidget *next : expected) {
            EXPECT_EQ(QApplication::focusWidget(), next) << str(next->objectName());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
    });
}

// Patterns and folders move the lists; names of no file explain why. Nothing is chosen.
// A folder gives the name box the list's pattern; a pattern stays in it. Patterns match in
// either case. A missing file in an existing folder moves the lists there and leaves its bare
// name. A reclicked file is clicked before the typing and again after OK: its name comes back.
TEST_F(ChooserDialog, TypedTextThatIsNoFileKeepsTheDialogOpen) {
    const QString noFile = QString::fromUtf8("ファイルが存在しません。"); // "No such file."
    // clang-format off
    struct { QString typed, folder, nameBox; const char *files; QString message = {}, reclick = {}; }
    cases[] = {
        {"*.DAT", root_, "*.DAT", "c.dat|d.dat"}, {"sub", at("sub"), "*.txt", "RUN1.TXT|inner.txt"},
        {"..", QFileInfo(root_).path(), "*.txt", nullptr}, // files nullptr: not checked
        {"~", QDir::homePath(), "*.txt", nullptr},     {at("other/x"), at("other/x"), "*.txt", ""},
        {"nosuch.txt", root_, "nosuch.txt", "a.txt|b.txt", noFile},
        {"sub/deep/../nosuch.txt", at("sub"), "nosuch.txt", "RUN1.TXT|inner.txt", noFile},
        {"nosuch.txt", root_, "b.txt", "a.txt|b.txt", noFile, "b.txt"},
    };
    // clang-format on
    for (const auto &c : cases) {
        auto dialog = prepare(root_);
        EXPECT_TRUE(runModal(*dialog, [&] {
            if (!c.reclick.isEmpty())
                click(dialog->fileList(), c.reclick);
            typeAndOk(*dialog, c.typed);
            if (!c.reclick.isEmpty())
                click(dialog->fileList(), c.reclick);
            expectShowing(*dialog, c.folder, c.typed);
            const QString files = c.files ? dialog->fileList()->names().join('|') : QString();
            EXPECT_EQ(str({dialog->nameBox()->text(), files, messages_.join('\n'),
                           QString::fromStdString(dialog->answer().value_or("<none>"))}),
                      str({c.nameBox, c.files, c.message, "<none>"}))
                << str(c.typed);
        })) << str(c.typed);
    }
}

// A picked file, or a typed name outside the list's pattern, gives its full path; ending without
// one gives no answer. Either happens once: closing again afterwards changes nothing. The next
// opening starts where this one ended.
TEST_F(ChooserDialog, EndingTheDialog) {
    using End = std::function<void(frmOpenSave &)>;
    // clang-format off
    const End cancel = [](auto &d) { typeAndOk(d, "sub/deep"); d.cancelButton()->click(); };
    struct { const char *what; End end; QString chosen, next; } cases[] = {
        {"picked", [](auto &d) { click(d.fileList(), "b.txt", true); }, at("b.txt"), root_},
        {"typed", [](auto &d) { typeAndOk(d, "sub/e.dat"); }, at("sub/e.dat"), at("sub")},
        {"Cancel in another folder", cancel, "", at("sub/deep")},
        {"Esc", [](auto &d) { QTest::keyClick(d.fileList(), Qt::Key_Escape); }, "", root_},
        {"close box", [](auto &d) { d.close(); }, "", root_},
    }; // chosen empty: ended without a file
    // clang-format on
    for (const auto &c : cases) {
        auto dialog = prepare(root_);
        runModal(*dialog, [&] { c.end(*dialog); });
        dialog->close();
        EXPECT_EQ(
            std::tuple(result_, dialog->answer().value_or("")),
            std::tuple(c.chosen.isEmpty() ? QDialog::Rejected : QDialog::Accepted, str(c.chosen)))
            << c.what;
        dialog.reset(); // ending again, or destroying the dialog, changes nothing
        expectShowing(frmOpenSave(), c.next, c.what);
    }
}

// Folders of the temporary tree stand in for mounted volumes.
TEST_F(ChooserDialog, EachDriveKeepsItsFolderAndTheListsAgree) {
    const QString sub = at("sub"), other = at("other"), missing = at("not-mounted");
    auto dialog = prepare(at("sub/deep"), {"/", sub, other, missing});
    const auto onDrive = [&](const QString &root) -> frmOpenSave & {
        dialog->driveList()->setDrive(root);
        return *dialog;
    };
    runModal(*dialog, [&] {
        expectShowing(onDrive(other), other, "another drive, first time: its root");
        click(dialog->folderList(), QStringLiteral("x"), true);
        expectShowing(onDrive(sub), at("sub/deep"), "back: the drive's own folder");
        expectShowing(onDrive(other), at("other/x"), "again: the drive's own folder");
        typeAndOk(onDrive(sub), other); // a typed path on another drive moves the drive list too
        expectShowing(*dialog, other, "typed root of another drive");
        expectShowing(onDrive(missing), other, "a drive that is not ready");
    });
    EXPECT_EQ(str(messages_), "The drive " + str(missing) + " is not ready.");
}

} // namespace
} // namespace mergon
