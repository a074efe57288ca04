// The file chooser driven as a user drives it: modal, with the actions run by a zero-delay timer
// inside exec().
#include "chooser/frm_open_save.h"
#include "chooser/volumes.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace mergon {
namespace {

std::string str(const QString &text) { return text.toStdString(); }

// Double-clicks the one item of the file or folder list shown as name.
void doubleClick(QAbstractItemView *view, const QString &name) {
    const QModelIndexList found =
        view->model()->match(view->model()->index(0, 0), Qt::DisplayRole, name, -1,
                             Qt::MatchExactly | Qt::MatchRecursive);
    ASSERT_EQ(found.size(), 1) << str(name);
    view->scrollTo(found.first());
    const QPoint at = view->visualRect(found.first()).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
}

class ChooserDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        root_ = QDir(tmp_.path()).canonicalPath();
        ASSERT_TRUE(QDir(root_).mkpath("sub/deep") && QDir(root_).mkpath("other/x"));
        for (const char *name : {"a.txt", "b.txt", "c.dat", "d.dat", "sub/inner.txt", "sub/e.dat"})
            ASSERT_TRUE(QFile(at(QLatin1String(name))).open(QIODevice::WriteOnly)) << name;
        ASSERT_TRUE(QDir::setCurrent(root_));
        session_.fileCount = 1; // raised by the caller before it shows the chooser
        session_.chosenFileName = "/earlier/choice.txt";
    }
    void TearDown() override { QDir::setCurrent(saved_); }

    QString at(const QString &relative) const { return root_ + QLatin1Char('/') + relative; }

    // What the caller does between loading the dialog and showing it; messages go to messages_.
    std::unique_ptr<frmOpenSave> prepare(std::unique_ptr<frmOpenSave> dialog) {
        dialog->setWindowTitle(QStringLiteral("Data File Open"));
        dialog->nameBox()->setText(QStringLiteral("*.txt"));
        dialog->nameBox()->setSelection(0, 5);
        messages_.clear();
        dialog->setMessageSink([this](const QString &text) { messages_ << text; });
        return dialog;
    }

    // Shows dialog modally and runs act inside its loop. Returns whether the dialog was still
    // open after act; if so it is ended without its Cancel step.
    bool runModal(frmOpenSave &dialog, const std::function<void()> &act) {
        bool open = false;
        QTimer::singleShot(0, &dialog, [&] {
            EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
            act();
            if ((open = dialog.isVisible()))
                dialog.QDialog::done(QDialog::Rejected);
        });
        QTimer::singleShot(20000, &dialog, [] { // the last resort of a stuck test
            ADD_FAILURE() << "a modal loop did not end";
            for (QWidget *widget : QApplication::topLevelWidgets())
                if (auto *stuck = qobject_cast<QDialog *>(widget); stuck && stuck->isVisible())
                    stuck->QDialog::done(QDialog::Rejected);
        });
        result_ = dialog.exec();
        return open;
    }

    // Types text over the selected name box as the user does, then clicks OK.
    static void typeAndOk(frmOpenSave &dialog, const QString &text) {
        dialog.nameBox()->selectAll();
        QTest::keyClicks(dialog.nameBox(), text);
        dialog.okButton()->click();
    }

    // The folder, file and drive lists, the path label and the process agree on folder.
    void expectShowing(const frmOpenSave &d, const QString &folder, const QString &what) {
        const QString drive = volumeOf(folder, d.driveList()->volumes());
        EXPECT_EQ(
            str(QStringList{d.folderList()->path(), d.fileList()->path(), d.pathLabel()->text(),
                            d.driveList()->drive(), QDir::currentPath()}
                    .join('\n')),
            str(QStringList{folder, folder, folder, drive, QFileInfo(folder).canonicalFilePath()}
                    .join('\n')))
            << str(what);
    }

    QTemporaryDir tmp_;
    QString root_, saved_ = QDir::currentPath();
    QStringList messages_;
    Session session_;
    int result_ = -1;
};

TEST_F(ChooserDialog, OkIsEnabledByAnyTextButTheCallersPatternAndTabGoesRound) {
    auto dialog = prepare(std::make_unique<frmOpenSave>(session_));
    EXPECT_FALSE(dialog->okButton()->isEnabled()) << "the caller's pattern";
    for (const char *text : {"*.TXT", "a", ""}) { // emptied after a name it stays enabled
        dialog->nameBox()->setText(QString::fromUtf8(text));
        EXPECT_TRUE(dialog->okButton()->isEnabled()) << text;
    }
    // OK takes focus only when enabled.
    const QWidget *expected[] = {dialog->folderList(), dialog->nameBox(),      dialog->driveList(),
                                 dialog->okButton(),   dialog->cancelButton(), dialog->fileList()};
    runModal(*dialog, [&] {
        ASSERT_EQ(QApplication::focusWidget(), dialog->fileList());
        for (const QWidget *next : expected) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            EXPECT_EQ(QApplication::focusWidget(), next) << str(next->objectName());
        }
    });
}

// Patterns and folders move the lists; names of no file explain why. Nothing is chosen.
TEST_F(ChooserDialog, TypedTextThatIsNoFileKeepsTheDialogOpen) {
    const struct {
        QString typed, folder, nameBox, message;
        const char *files; // nullptr: not checked
    } cases[] = {
        {"*.dat", root_, "*.dat", {}, "c.dat|d.dat"}, // the name box keeps a typed pattern
        // A folder gives the name box the list's pattern.
        {"sub", at("sub"), "*.txt", {}, "inner.txt"},
        {"..", QFileInfo(root_).path(), "*.txt", {}, nullptr},
        {"~", QDir::homePath(), "*.txt", {}, nullptr},
        {at("other/x"), at("other/x"), "*.txt", {}, ""},
        {"nosuch.txt", root_, "nosuch.txt", frmOpenSave::kNoFileMessage, "a.txt|b.txt"},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(QDir::setCurrent(root_));
        auto dialog = prepare(std::make_unique<frmOpenSave>(session_));
        dialog->nameBox()->setText(QStringLiteral("*.md")); // a text other than the list's pattern
        const bool open = runModal(*dialog, [&] {
            typeAndOk(*dialog, c.typed);
            expectShowing(*dialog, c.folder, c.typed);
            EXPECT_EQ(str(dialog->nameBox()->text()), str(c.nameBox)) << str(c.typed);
            if (c.files) {
                EXPECT_EQ(str(dialog->fileList()->names().join('|')), c.files) << str(c.typed);
            }
        });
        EXPECT_TRUE(open) << str(c.typed);
        EXPECT_EQ(str(messages_.join('\n')), str(c.message)) << str(c.typed);
        EXPECT_EQ(session_.chosenFileName, "/earlier/choice.txt") << str(c.typed);
        EXPECT_EQ(session_.fileCount, 1) << str(c.typed);
    }
}

TEST_F(ChooserDialog, TheRealMessageBoxShowsTheJapaneseMessage) {
    auto dialog = prepare(std::make_unique<frmOpenSave>(session_));
    dialog->setMessageSink({});
    bool shown = false;
    const bool open = runModal(*dialog, [&] {
        QTimer::singleShot(0, dialog.get(), [&] { // runs inside the loop of the box that OK opens
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            shown = true;
            EXPECT_EQ(str(box->windowTitle() + '|' + box->text()),
                      "mergon2|ファイルが存在しません。");
            EXPECT_EQ(box->icon(), QMessageBox::Warning);
            EXPECT_EQ(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
            box->button(QMessageBox::Ok)->click();
        });
        typeAndOk(*dialog, QStringLiteral("nosuch.txt"));
    });
    EXPECT_TRUE(open);
    EXPECT_TRUE(shown);
}

// A picked file gives its full path; ending without one lowers the count (never below zero)
// and clears the earlier choice. Either happens once: closing again afterwards changes nothing.
// The next opening starts where this one ended.
TEST_F(ChooserDialog, EndingTheDialog) {
    const auto cancel = [](frmOpenSave &d) {
        typeAndOk(d, "sub/deep");
        d.cancelButton()->click();
    };
    const struct {
        const char *what;
        std::function<void(frmOpenSave &)> end;
        int16_t countBefore, countAfter;
        QString chosen, next; // chosen empty: ended without a file
    } cases[] = {
        {"double-click", [](auto &d) { doubleClick(d.fileList(), "b.txt"); }, 1, 1, at("b.txt"),
         root_},
        {"typed name outside the pattern", [](auto &d) { typeAndOk(d, "sub/e.dat"); }, 1, 1,
         at("sub/e.dat"), at("sub")},
        {"Cancel in another folder", cancel, 3, 2, "", at("sub/deep")},
        {"Esc", [](auto &d) { QTest::keyClick(d.fileList(), Qt::Key_Escape); }, 3, 2, "", root_},
        {"close box", [](auto &d) { d.close(); }, 3, 2, "", root_},
        {"Cancel with no slot taken", cancel, 0, 0, "", at("sub/deep")},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(QDir::setCurrent(root_));
        session_.fileCount = c.countBefore;
        session_.chosenFileName = str(at("a.txt")); // chosen by an earlier opening
        auto dialog = prepare(std::make_unique<frmOpenSave>(session_));
        EXPECT_FALSE(runModal(*dialog, [&] { c.end(*dialog); })) << c.what;
        EXPECT_EQ(result_, c.chosen.isEmpty() ? QDialog::Rejected : QDialog::Accepted) << c.what;
        dialog->close();
        dialog.reset(); // ending again, or destroying the dialog, changes nothing
        EXPECT_EQ(session_.fileCount, c.countAfter) << c.what;
        EXPECT_EQ(session_.chosenFileName, str(c.chosen)) << c.what;
        expectShowing(frmOpenSave(session_), c.next, c.what);
    }
}

// Folders of the temporary tree stand in for mounted volumes.
TEST_F(ChooserDialog, EachDriveKeepsItsFolderAndTheListsAgree) {
    const QString sub = at("sub"), other = at("other"), missing = at("not-mounted");
    ASSERT_TRUE(QDir::setCurrent(at("sub/deep")));
    auto dialog =
        prepare(std::make_unique<frmOpenSave>(session_, QStringList{"/", sub, other, missing}));
    runModal(*dialog, [&] {
        dialog->driveList()->setDrive(other);
        expectShowing(*dialog, other, "another drive, first time: its root");
        doubleClick(dialog->folderList(), QStringLiteral("x"));
        dialog->driveList()->setDrive(sub);
        expectShowing(*dialog, at("sub/deep"), "back: the drive's own folder");
        dialog->driveList()->setDrive(other);
        expectShowing(*dialog, at("other/x"), "again: the drive's own folder");
        dialog->driveList()->setDrive(sub);
        typeAndOk(*dialog, other); // a typed path on another drive moves the drive list too
        expectShowing(*dialog, other, "typed root of another drive");
        dialog->driveList()->setDrive(missing);
        expectShowing(*dialog, other, "a drive that is not ready");
    });
    EXPECT_EQ(str(messages_.join('\n')),
              str(QStringLiteral("The drive %1 is not ready.").arg(missing)));
}

} // namespace
} // namespace mergon
