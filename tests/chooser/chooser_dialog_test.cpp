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
#include <QRawFont>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <system_error>

namespace mergon {
namespace {

std::string str(const QString &text) { return text.toStdString(); }

// Ends every open modal dialog without running its steps; the last resort of a stuck test.
void endAllDialogs() {
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *dialog = qobject_cast<QDialog *>(widget); dialog && dialog->isVisible())
            dialog->QDialog::done(QDialog::Rejected);
    }
}

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
        saved_ = QDir::currentPath();
        ASSERT_TRUE(tmp_.isValid());
        root_ = QDir(tmp_.path()).canonicalPath();
        for (const char *folder : {"sub/deep", "other/x"})
            ASSERT_TRUE(QDir(root_).mkpath(QLatin1String(folder)));
        for (const char *name : {"a.txt", "b.txt", "c.dat", "d.dat", "sub/inner.txt"}) {
            QFile file(at(QLatin1String(name)));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << name;
        }
        ASSERT_TRUE(QDir::setCurrent(root_));
        session_.fileCount = 1; // raised by the caller before it shows the chooser
        session_.chosenFileName = "/earlier/choice.txt";
    }
    void TearDown() override {
        endAllDialogs();
        QDir::setCurrent(saved_);
    }

    QString at(const QString &relative) const { return root_ + QLatin1Char('/') + relative; }

    // What the caller does between loading the dialog and showing it; messages go to messages_.
    void prepare(frmOpenSave &dialog) {
        dialog.setWindowTitle(QStringLiteral("Data File Open"));
        dialog.nameBox()->setText(QStringLiteral("*.txt"));
        dialog.nameBox()->setSelection(0, 5);
        messages_.clear();
        dialog.setMessageSink([this](const QString &text) { messages_ << text; });
    }

    // Shows dialog modally and runs act inside its loop. Returns whether the dialog was still
    // open after act; if so it is ended without its Cancel step.
    bool runModal(frmOpenSave &dialog, const std::function<void()> &act) {
        bool open = false;
        QTimer::singleShot(0, &dialog, [&] {
            EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
            act();
            open = dialog.isVisible();
            if (open)
                dialog.QDialog::done(QDialog::Rejected);
        });
        QTimer::singleShot(20000, &dialog, [] {
            ADD_FAILURE() << "a modal loop did not end";
            endAllDialogs();
        });
        result_ = dialog.exec();
        return open;
    }

    // Types text into the name box as the user does (all of it selected), then clicks OK.
    static void typeAndOk(frmOpenSave &dialog, const QString &text) {
        dialog.nameBox()->selectAll();
        QTest::keyClick(dialog.nameBox(), Qt::Key_Backspace);
        QTest::keyClicks(dialog.nameBox(), text);
        dialog.okButton()->click();
    }

    // The folder, file and drive lists, the path label and the process agree on folder.
    void expectShowing(const frmOpenSave &dialog, const QString &folder, const QString &what) {
        EXPECT_EQ(str(dialog.folderList()->path()), str(folder)) << str(what);
        EXPECT_EQ(str(dialog.fileList()->path()), str(folder)) << str(what);
        EXPECT_EQ(str(dialog.pathLabel()->text()), str(folder)) << str(what);
        EXPECT_EQ(str(dialog.driveList()->drive()),
                  str(volumeOf(folder, dialog.driveList()->volumes())))
            << str(what);
        EXPECT_EQ(str(QDir::currentPath()), str(QFileInfo(folder).canonicalFilePath()))
            << str(what);
    }

    QTemporaryDir tmp_;
    QString root_, saved_;
    QStringList messages_;
    Session session_;
    int result_ = -1;
};

TEST_F(ChooserDialog, TabGoesFromTheFileListToCancelAndRound) {
    frmOpenSave dialog(session_);
    prepare(dialog);
    dialog.nameBox()->setText(QStringLiteral("*.TXT")); // OK takes focus only when enabled
    const QWidget *expected[] = {dialog.folderList(), dialog.nameBox(),      dialog.driveList(),
                                 dialog.okButton(),   dialog.cancelButton(), dialog.fileList()};
    runModal(dialog, [&] {
        ASSERT_EQ(QApplication::focusWidget(), dialog.fileList());
        for (const QWidget *next : expected) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            EXPECT_EQ(QApplication::focusWidget(), next) << str(next->objectName());
        }
    });
}

TEST_F(ChooserDialog, OkIsEnabledByAnyTextButTheCallersPatternAndStaysEnabled) {
    const struct {
        const char *what;
        QStringList texts; // set one after the other
        bool enabled;
    } cases[] = {
        {"the caller's pattern", {"*.txt"}, false},
        {"the pattern in capitals", {"*.TXT"}, true},
        {"emptied after a name", {"a", ""}, true},
    };
    for (const auto &c : cases) {
        frmOpenSave dialog(session_);
        prepare(dialog);
        for (const QString &text : c.texts)
            dialog.nameBox()->setText(text);
        EXPECT_EQ(dialog.okButton()->isEnabled(), c.enabled) << c.what;
    }
}

// Patterns and folders move the lists; names of no file explain why. Nothing is chosen.
TEST_F(ChooserDialog, TypedTextThatIsNoFileKeepsTheDialogOpen) {
    const QString tooLong(300, QLatin1Char('n'));
    const QString noFile = frmOpenSave::kNoFileMessage;
    const struct {
        QString typed, folder, nameBox;
        const char *files; // nullptr: not checked
        QString message;
    } cases[] = {
        {"*.dat", root_, "*.dat", "c.dat|d.dat", {}}, // the name box keeps a typed pattern
        {"sub/*.txt", at("sub"), "*.txt", "inner.txt", {}},
        // A folder gives the name box the list's pattern.
        {"sub", at("sub"), "*.txt", "inner.txt", {}},
        {"..", QFileInfo(root_).path(), "*.txt", nullptr, {}},
        {"~", QDir::homePath(), "*.txt", nullptr, {}},
        {at("other/x"), at("other/x"), "*.txt", "", {}},
        {"nosuch.txt", root_, "nosuch.txt", "a.txt|b.txt", noFile},
        {"A.TXT", root_, "A.TXT", "a.txt|b.txt", noFile},
        {tooLong, root_, tooLong, "a.txt|b.txt",
         QString::fromLocal8Bit(
             std::make_error_code(std::errc::filename_too_long).message().c_str())},
        {QString(), root_, QString(), "a.txt|b.txt", {}},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(QDir::setCurrent(root_));
        frmOpenSave dialog(session_);
        prepare(dialog);
        dialog.nameBox()->setText(QStringLiteral("*.md")); // a text other than the list's pattern
        const bool open = runModal(dialog, [&] {
            typeAndOk(dialog, c.typed);
            expectShowing(dialog, c.folder, c.typed);
            EXPECT_EQ(str(dialog.nameBox()->text()), str(c.nameBox)) << str(c.typed);
            if (c.files) {
                EXPECT_EQ(str(dialog.fileList()->names().join('|')), c.files) << str(c.typed);
            }
        });
        EXPECT_TRUE(open) << str(c.typed);
        EXPECT_EQ(str(messages_.join('\n')), str(c.message)) << str(c.typed);
        EXPECT_EQ(session_.chosenFileName, "/earlier/choice.txt") << str(c.typed);
        EXPECT_EQ(session_.fileCount, 1) << str(c.typed);
    }
}

TEST_F(ChooserDialog, TheRealMessageBoxShowsTheJapaneseMessage) {
    frmOpenSave dialog(session_);
    prepare(dialog);
    dialog.setMessageSink({});
    bool shown = false;
    const bool open = runModal(dialog, [&] {
        // Runs inside the loop of the message box that OK opens.
        QTimer::singleShot(0, &dialog, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            shown = true;
            EXPECT_EQ(str(box->windowTitle()), "mergon2");
            EXPECT_EQ(str(box->text()), "ファイルが存在しません。");
            EXPECT_EQ(box->icon(), QMessageBox::Warning);
            EXPECT_EQ(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
            // The face the label draws with has real glyphs for every character of the message.
            const auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
            const QRawFont face = QRawFont::fromFont(label ? label->font() : QFont());
            for (const QChar c : box->text())
                EXPECT_TRUE(face.supportsCharacter(c))
                    << str(face.familyName()) << " U+" << std::hex << static_cast<int>(c.unicode());
            box->button(QMessageBox::Ok)->click();
        });
        typeAndOk(dialog, QStringLiteral("nosuch.txt"));
    });
    EXPECT_TRUE(open);
    EXPECT_TRUE(shown);
}

// A picked file gives its full path; ending without one lowers the count (never below zero)
// and clears the earlier choice. Either happens once: closing again afterwards changes nothing.
TEST_F(ChooserDialog, EndingTheDialog) {
    const struct {
        const char *what;
        std::function<void(frmOpenSave &)> end;
        int16_t countBefore, countAfter;
        int result;
        QString chosen;
    } cases[] = {
        {"double-click", [](frmOpenSave &d) { doubleClick(d.fileList(), "b.txt"); }, 1, 1,
         QDialog::Accepted, at("b.txt")},
        {"type a name outside the pattern", [](frmOpenSave &d) { typeAndOk(d, "c.dat"); }, 1, 1,
         QDialog::Accepted, at("c.dat")},
        {"Cancel", [](frmOpenSave &d) { d.cancelButton()->click(); }, 3, 2, QDialog::Rejected, ""},
        {"Esc", [](frmOpenSave &d) { QTest::keyClick(d.fileList(), Qt::Key_Escape); }, 3, 2,
         QDialog::Rejected, ""},
        {"close box", [](frmOpenSave &d) { d.close(); }, 3, 2, QDialog::Rejected, ""},
        {"Cancel with no slot taken", [](frmOpenSave &d) { d.cancelButton()->click(); }, 0, 0,
         QDialog::Rejected, ""},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(QDir::setCurrent(root_));
        session_.fileCount = c.countBefore;
        session_.chosenFileName = str(at("a.txt")); // chosen by an earlier opening
        {
            frmOpenSave dialog(session_);
            prepare(dialog);
            const bool open = runModal(dialog, [&] { c.end(dialog); });
            EXPECT_FALSE(open) << c.what;
            EXPECT_EQ(result_, c.result) << c.what;
            dialog.close();
        }
        EXPECT_EQ(session_.fileCount, c.countAfter) << c.what;
        EXPECT_EQ(session_.chosenFileName, str(c.chosen)) << c.what;
    }
}

TEST_F(ChooserDialog, TheNextOpeningStartsWhereTheLastEnded) {
    frmOpenSave first(session_);
    prepare(first);
    runModal(first, [&] { typeAndOk(first, QStringLiteral("sub/inner.txt")); });
    EXPECT_EQ(session_.chosenFileName, str(at("sub/inner.txt")));
    frmOpenSave second(session_);
    prepare(second);
    expectShowing(second, at("sub"), "after a file was accepted");
    runModal(second, [&] {
        typeAndOk(second, QStringLiteral("deep"));
        second.cancelButton()->click();
    });
    const frmOpenSave third(session_);
    expectShowing(third, at("sub/deep"), "after Cancel");
}

// Folders of the temporary tree stand in for mounted volumes.
TEST_F(ChooserDialog, EachDriveKeepsItsFolderAndTheListsAgree) {
    const QString sub = at("sub"), other = at("other"), missing = at("not-mounted");
    ASSERT_TRUE(QDir::setCurrent(at("sub/deep")));
    frmOpenSave dialog(session_, {"/", sub, other, missing});
    prepare(dialog);
    auto pick = [&](const QString &root) {
        dialog.driveList()->setCurrentIndex(dialog.driveList()->findData(root));
    };
    runModal(dialog, [&] {
        pick(other);
        expectShowing(dialog, other, "another drive, first time: its root");
        doubleClick(dialog.folderList(), QStringLiteral("x"));
        pick(sub);
        expectShowing(dialog, at("sub/deep"), "back: the drive's own folder");
        pick(other);
        expectShowing(dialog, at("other/x"), "again: the drive's own folder");

        // A typed path on another drive: the lists agree on the typed folder.
        pick(sub);
        typeAndOk(dialog, other);
        expectShowing(dialog, other, "typed root of another drive");

        pick(missing);
        expectShowing(dialog, other, "a drive that is not ready");
    });
    EXPECT_EQ(str(messages_.join('\n')),
              str(QStringLiteral("The drive %1 is not ready.").arg(missing)));
}

} // namespace
} // namespace mergon
