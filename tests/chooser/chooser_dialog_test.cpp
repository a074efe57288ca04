// The file chooser driven as a user drives it: modal, with the actions run by a zero-delay timer
// inside exec().
#include "chooser/frm_open_save.h"
#include "chooser/volumes.h"
#include "ui/fonts.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRawFont>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <system_error>

namespace mergon {
namespace {

using ui::px;

std::string str(const QString &text) { return text.toStdString(); }

// Ends every open modal dialog without running its steps; the last resort of a stuck test.
void endAllDialogs() {
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *dialog = qobject_cast<QDialog *>(widget); dialog && dialog->isVisible())
            dialog->QDialog::done(QDialog::Rejected);
    }
}

// Runs act on the active modal widget (polled, so it also works for nested message boxes).
void whenModal(const std::function<void(QWidget *)> &act, int triesLeft = 200) {
    QTimer::singleShot(triesLeft == 200 ? 0 : 10, [act, triesLeft] {
        QWidget *modal = QApplication::activeModalWidget();
        if (qobject_cast<QMessageBox *>(modal) || triesLeft == 0)
            act(modal);
        else
            whenModal(act, triesLeft - 1);
    });
}

void doubleClick(QAbstractItemView *view, const QModelIndex &index) {
    ASSERT_TRUE(index.isValid());
    view->scrollTo(index);
    const QPoint at = view->visualRect(index).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
}

void doubleClickFile(frmOpenSave &dialog, const QString &name) {
    const auto found = dialog.fileList()->findItems(name, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << str(name);
    doubleClick(dialog.fileList(), dialog.fileList()->indexFromItem(found.first()));
}

void doubleClickFolder(frmOpenSave &dialog, const QString &name) {
    const auto found = dialog.folderList()->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
    ASSERT_EQ(found.size(), 1) << str(name);
    doubleClick(dialog.folderList(), dialog.folderList()->indexFromItem(found.first()));
}

class ChooserDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_ = QDir::currentPath();
        ASSERT_TRUE(tmp_.isValid());
        root_ = QDir(tmp_.path()).canonicalPath();
        for (const char *folder : {"sub/deep", "other/x"})
            ASSERT_TRUE(QDir(root_).mkpath(QLatin1String(folder)));
        for (const char *name : {"a.txt", "b.txt", "c.dat", "d.dat", "E.DAT", ".hidden.dat",
                                 "notes.md", "sub/inner.txt"}) {
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

    // What the caller does between loading the dialog and showing it.
    static void prepare(frmOpenSave &dialog) {
        dialog.setWindowTitle(QStringLiteral("Data File Open"));
        dialog.nameBox()->setText(QStringLiteral("*.txt"));
        dialog.nameBox()->setSelection(0, 5);
    }

    // Shows dialog modally and runs act inside its loop. Returns whether the dialog was still
    // open after act; if so it is ended without its Cancel step.
    bool runModal(frmOpenSave &dialog, const std::function<void()> &act) {
        bool ran = false, open = false;
        QTimer::singleShot(0, &dialog, [&] {
            ran = true;
            EXPECT_EQ(QApplication::activeModalWidget(), &dialog);
            EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
            act();
            open = dialog.isVisible();
            if (open)
                dialog.QDialog::done(QDialog::Rejected);
        });
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [] {
            ADD_FAILURE() << "a modal loop did not end";
            endAllDialogs();
        });
        watchdog.start(20000);
        result_ = dialog.exec();
        EXPECT_TRUE(ran);
        return open;
    }

    // Types text into the name box as the user does: the caller selected all of it.
    static void type(frmOpenSave &dialog, const QString &text) {
        dialog.nameBox()->selectAll();
        if (text.isEmpty())
            QTest::keyClick(dialog.nameBox(), Qt::Key_Backspace);
        else
            QTest::keyClicks(dialog.nameBox(), text);
    }
    static void typeAndOk(frmOpenSave &dialog, const QString &text) {
        type(dialog, text);
        dialog.okButton()->click();
    }

    // The folder, file and drive lists, the path label and the process agree on folder.
    void expectShowing(const frmOpenSave &dialog, const QString &folder, const char *what) {
        const QString canonical = QFileInfo(folder).canonicalFilePath();
        EXPECT_EQ(str(dialog.folderList()->path()), str(folder)) << what;
        EXPECT_EQ(str(dialog.fileList()->path()), str(folder)) << what;
        EXPECT_EQ(str(dialog.pathLabel()->text()), str(folder)) << what;
        EXPECT_EQ(str(dialog.driveList()->drive()),
                  str(volumeOf(folder, dialog.driveList()->volumes())))
            << what;
        EXPECT_EQ(str(QDir::currentPath()), str(canonical)) << what;
    }

    QTemporaryDir tmp_;
    QString root_, saved_;
    Session session_;
    int result_ = -1;
};

TEST_F(ChooserDialog, LoadsInTheProcessFolderWithTheDesignState) {
    frmOpenSave dialog(session_);
    EXPECT_EQ(str(dialog.windowTitle()), "File");
    prepare(dialog);
    EXPECT_EQ(str(dialog.fileList()->names().join('|')), "a.txt|b.txt");
    EXPECT_EQ(str(dialog.fileList()->pattern()), "*.txt");
    EXPECT_EQ(str(dialog.nameBox()->selectedText()), "*.txt");
    EXPECT_FALSE(dialog.okButton()->isEnabled());
    EXPECT_TRUE(dialog.okButton()->isDefault());
    expectShowing(dialog, root_, "at load");
    const QStringList folders = dialog.folderList()->shownFolders();
    ASSERT_GE(folders.size(), 3);
    EXPECT_EQ(str(folders.first()), "/");
    EXPECT_EQ(str(folders.mid(folders.size() - 3).join('|')),
              str(QStringList{root_, at("other"), at("sub")}.join('|')));

    const bool open = runModal(dialog, [&] {
        EXPECT_EQ(QApplication::focusWidget(), dialog.fileList());
        EXPECT_TRUE(dialog.fileList()->selectedItems().isEmpty());
        EXPECT_FALSE(dialog.okButton()->isEnabled());
        EXPECT_EQ(str(dialog.windowTitle()), "Data File Open");
        // Centred on the screen, not on a parent.
        const QRect screen = dialog.screen()->geometry();
        const QRect outer = dialog.frameGeometry();
        EXPECT_NEAR(outer.left() - screen.left(), (screen.width() - outer.width()) / 2, 1);
        EXPECT_NEAR(outer.top() - screen.top(), (screen.height() - outer.height()) / 2, 1);
    });
    EXPECT_TRUE(open);
}

TEST_F(ChooserDialog, LooksAsDesigned) {
    frmOpenSave dialog(session_);
    EXPECT_EQ(dialog.minimumSize(), QSize(384, 254));
    EXPECT_EQ(dialog.maximumSize(), QSize(384, 254));
    EXPECT_EQ(dialog.palette().color(QPalette::Window), QColor(192, 192, 192));
    EXPECT_FALSE(dialog.windowIcon().isNull());
    const Qt::WindowFlags flags = dialog.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::MSWindowsFixedSizeDialogHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));

    const struct {
        const char *name, *text;
        int left, top, width, height;
        double points;
    } controls[] = {
        {"lblOpenSave0", "File Name:", 120, 120, 1455, 315, 9.75},
        {"txtOpenSave", "*.txt", 120, 360, 2055, 315, 9.75},
        {"filOpenSave", nullptr, 120, 720, 2055, 2820, 9.75},
        {"lblOpenSave3", "Drive:", 2280, 120, 1455, 255, 9.75},
        {"drvOpenSave", nullptr, 2280, 360, 3375, 315, 9.75},
        {"lblOpenSave2", nullptr, 2280, 480, 3375, 315, 9.0},
        {"lblOpenSave1", "Folder:", 2280, 720, 1455, 315, 9.75},
        {"dirOpenSave", nullptr, 2280, 960, 3375, 2280, 9.75},
        {"cmdOpenSave0", "OK", 2640, 3360, 1095, 375, 9.75},
        {"cmdOpenSave1", "Cancel", 4200, 3360, 1095, 375, 9.75},
    };
    for (const auto &c : controls) {
        const auto *widget = dialog.findChild<QWidget *>(QLatin1String(c.name));
        ASSERT_NE(widget, nullptr) << c.name;
        EXPECT_EQ(widget->geometry(), QRect(px(c.left), px(c.top), px(c.width), px(c.height)))
            << c.name;
        EXPECT_DOUBLE_EQ(widget->font().pointSizeF(), c.points) << c.name;
        EXPECT_EQ(widget->font().families(), ui::windowFont().families()) << c.name;
        if (!c.text)
            continue;
        if (const auto *label = qobject_cast<const QLabel *>(widget)) {
            EXPECT_EQ(str(label->text()), c.text) << c.name;
        } else if (const auto *box = qobject_cast<const QLineEdit *>(widget)) {
            EXPECT_EQ(str(box->text()), c.text) << c.name;
        } else if (const auto *button = qobject_cast<const QPushButton *>(widget)) {
            EXPECT_EQ(str(button->text()), c.text) << c.name;
        } else {
            ADD_FAILURE() << c.name << " has no caption";
        }
    }
    // The drive list is drawn over the path label.
    EXPECT_GT(dialog.children().indexOf(dialog.driveList()),
              dialog.children().indexOf(dialog.pathLabel()));
    EXPECT_EQ(str(dialog.driveList()->accessibleName()), "Drive");
    EXPECT_EQ(str(dialog.folderList()->accessibleName()), "Folder");
    EXPECT_EQ(str(dialog.nameBox()->accessibleName()), "File Name");
}

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
        {"a name", {"a"}, true},
        {"emptied after a name", {"a", ""}, true},
        {"the caller's pattern again", {"a", "*.txt"}, true},
    };
    for (const auto &c : cases) {
        frmOpenSave dialog(session_);
        prepare(dialog);
        for (const QString &text : c.texts)
            dialog.nameBox()->setText(text);
        EXPECT_EQ(dialog.okButton()->isEnabled(), c.enabled) << c.what;
    }
    frmOpenSave dialog(session_);
    prepare(dialog);
    dialog.fileList()->setCurrentRow(1);
    EXPECT_EQ(str(dialog.nameBox()->text()), "b.txt");
    EXPECT_TRUE(dialog.okButton()->isEnabled()) << "a file selected";
}

TEST_F(ChooserDialog, TypedPatternsFilterTheFileListAndKeepTheText) {
    frmOpenSave dialog(session_);
    prepare(dialog);
    QStringList messages;
    dialog.setMessageSink([&](const QString &text) { messages << text; });
    const bool open = runModal(dialog, [&] {
        typeAndOk(dialog, QStringLiteral("*.dat"));
        EXPECT_EQ(str(dialog.fileList()->names().join('|')), "c.dat|d.dat");
        EXPECT_EQ(str(dialog.nameBox()->text()), "*.dat");
        expectShowing(dialog, root_, "*.dat");
        EXPECT_TRUE(dialog.isVisible());

        typeAndOk(dialog, QStringLiteral("*.txt;*.md"));
        EXPECT_EQ(str(dialog.fileList()->names().join('|')), "a.txt|b.txt|notes.md");

        // A pattern with a folder part: the name box then shows the pattern in the new folder.
        typeAndOk(dialog, QStringLiteral("sub/*.txt"));
        EXPECT_EQ(str(dialog.fileList()->names().join('|')), "inner.txt");
        EXPECT_EQ(str(dialog.nameBox()->text()), "*.txt");
        expectShowing(dialog, at("sub"), "sub/*.txt");
    });
    EXPECT_TRUE(open);
    EXPECT_TRUE(messages.isEmpty()) << str(messages.join('\n'));
    EXPECT_EQ(session_.chosenFileName, "/earlier/choice.txt");
    EXPECT_EQ(session_.fileCount, 1);
}

TEST_F(ChooserDialog, TypedFoldersMoveEveryList) {
    const QString parent = QFileInfo(root_).path();
    const struct {
        QString typed, folder;
    } cases[] = {
        {"sub", at("sub")}, {"..", parent}, {"~", QDir::homePath()}, {at("other/x"), at("other/x")},
        {"/", "/"},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(QDir::setCurrent(root_));
        frmOpenSave dialog(session_);
        prepare(dialog);
        dialog.nameBox()->setText(QStringLiteral("*.dat")); // a pattern other than the list's
        QStringList messages;
        dialog.setMessageSink([&](const QString &text) { messages << text; });
        const bool open = runModal(dialog, [&] {
            typeAndOk(dialog, c.typed);
            expectShowing(dialog, c.folder, qPrintable(c.typed));
            EXPECT_EQ(str(dialog.nameBox()->text()), "*.txt") << str(c.typed);
        });
        EXPECT_TRUE(open) << str(c.typed);
        EXPECT_TRUE(messages.isEmpty()) << str(c.typed) << ": " << str(messages.join('\n'));
        EXPECT_EQ(session_.fileCount, 1) << str(c.typed);
    }
}

TEST_F(ChooserDialog, EveryWayOfPickingAFileGivesItsFullPath) {
    const struct {
        const char *what;
        std::function<void(frmOpenSave &)> pick;
        QString path;
    } cases[] = {
        {"double-click", [](frmOpenSave &d) { doubleClickFile(d, QStringLiteral("b.txt")); },
         at("b.txt")},
        {"select and Enter",
         [](frmOpenSave &d) {
             d.fileList()->setCurrentRow(1);
             QTest::keyClick(d.fileList(), Qt::Key_Return);
         },
         at("b.txt")},
        {"type the name", [](frmOpenSave &d) { typeAndOk(d, QStringLiteral("b.txt")); },
         at("b.txt")},
        {"type the name, Enter",
         [](frmOpenSave &d) {
             type(d, QStringLiteral("b.txt"));
             QTest::keyClick(d.nameBox(), Qt::Key_Enter);
         },
         at("b.txt")},
        {"type the full path", [this](frmOpenSave &d) { typeAndOk(d, at("b.txt")); }, at("b.txt")},
        {"type a name outside the pattern",
         [](frmOpenSave &d) { typeAndOk(d, QStringLiteral("c.dat")); }, at("c.dat")},
        {"type a name in a subfolder",
         [](frmOpenSave &d) { typeAndOk(d, QStringLiteral("sub/inner.txt")); },
         at("sub/inner.txt")},
        {"double-click after a pattern",
         [](frmOpenSave &d) {
             typeAndOk(d, QStringLiteral("*.dat"));
             doubleClickFile(d, QStringLiteral("d.dat"));
         },
         at("d.dat")},
        {"open a folder, then double-click",
         [](frmOpenSave &d) {
             doubleClickFolder(d, QStringLiteral("sub"));
             doubleClickFile(d, QStringLiteral("inner.txt"));
         },
         at("sub/inner.txt")},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(QDir::setCurrent(root_));
        session_.fileCount = 1;
        session_.chosenFileName = "/earlier/choice.txt";
        frmOpenSave dialog(session_);
        prepare(dialog);
        const bool open = runModal(dialog, [&] { c.pick(dialog); });
        EXPECT_FALSE(open) << c.what;
        EXPECT_EQ(result_, QDialog::Accepted) << c.what;
        EXPECT_EQ(session_.chosenFileName, str(c.path)) << c.what;
        EXPECT_EQ(session_.fileCount, 1) << c.what;
        EXPECT_EQ(str(QDir::currentPath()), str(QFileInfo(c.path).path())) << c.what;
    }
}

TEST_F(ChooserDialog, NamesThatMatchNothingExplainAndKeepTheDialogOpen) {
    const QString tooLong(300, QLatin1Char('n'));
    const struct {
        QString typed, message; // an empty message: none is shown
    } cases[] = {
        {"nosuch.txt", frmOpenSave::kNoFileMessage},
        {"A.TXT", frmOpenSave::kNoFileMessage},
        {"nosuch/a.txt", frmOpenSave::kNoFileMessage},
        {"a.txt/", frmOpenSave::kNoFileMessage},
        {tooLong, QString::fromLocal8Bit(
                      std::make_error_code(std::errc::filename_too_long).message().c_str())},
        {QString(), QString()},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(QDir::setCurrent(root_));
        frmOpenSave dialog(session_);
        prepare(dialog);
        QStringList messages;
        dialog.setMessageSink([&](const QString &text) { messages << text; });
        const bool open = runModal(dialog, [&] {
            typeAndOk(dialog, c.typed);
            EXPECT_EQ(str(dialog.nameBox()->text()), str(c.typed));
            EXPECT_EQ(str(dialog.fileList()->names().join('|')), "a.txt|b.txt");
            expectShowing(dialog, root_, qPrintable(c.typed));
        });
        EXPECT_TRUE(open) << str(c.typed);
        EXPECT_EQ(str(messages.join('\n')), str(c.message)) << str(c.typed);
        EXPECT_EQ(session_.chosenFileName, "/earlier/choice.txt") << str(c.typed);
        EXPECT_EQ(session_.fileCount, 1) << str(c.typed);
    }
}

TEST_F(ChooserDialog, TheRealMessageBoxShowsTheJapaneseMessage) {
    frmOpenSave dialog(session_);
    prepare(dialog);
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QFont font;
    const bool open = runModal(dialog, [&] {
        whenModal([&](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            ASSERT_NE(box, nullptr);
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            buttons = box->standardButtons();
            if (const auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label")))
                font = label->font();
            box->button(QMessageBox::Ok)->click();
        });
        typeAndOk(dialog, QStringLiteral("nosuch.txt"));
        EXPECT_EQ(str(dialog.nameBox()->text()), "nosuch.txt");
    });
    EXPECT_TRUE(open);
    EXPECT_EQ(str(title), "mergon2");
    EXPECT_EQ(str(text), "ファイルが存在しません。");
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    // The face the label draws with has real glyphs for every character of the message.
    const QRawFont face = QRawFont::fromFont(font);
    ASSERT_TRUE(face.isValid());
    for (const QChar c : text)
        EXPECT_TRUE(face.supportsCharacter(c))
            << str(face.familyName()) << " U+" << std::hex << static_cast<int>(c.unicode());
}

TEST_F(ChooserDialog, EndingWithoutAFileLowersTheCountOnceAndClearsTheChoice) {
    const struct {
        const char *what;
        std::function<void(frmOpenSave &)> end;
        int16_t countBefore, countAfter;
    } cases[] = {
        {"Cancel", [](frmOpenSave &d) { d.cancelButton()->click(); }, 3, 2},
        {"Esc", [](frmOpenSave &d) { QTest::keyClick(d.fileList(), Qt::Key_Escape); }, 3, 2},
        {"close box", [](frmOpenSave &d) { d.close(); }, 3, 2},
        {"Esc, then close",
         [](frmOpenSave &d) {
             QTest::keyClick(d.fileList(), Qt::Key_Escape);
             d.close();
         },
         3, 2},
        {"rejected twice",
         [](frmOpenSave &d) {
             d.reject();
             d.reject();
         },
         3, 2},
        {"Cancel after a typed pattern",
         [](frmOpenSave &d) {
             typeAndOk(d, QStringLiteral("*.dat"));
             d.cancelButton()->click();
         },
         1, 0},
        {"Cancel with no slot taken", [](frmOpenSave &d) { d.cancelButton()->click(); }, 0, 0},
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
            EXPECT_EQ(result_, QDialog::Rejected) << c.what;
            dialog.close(); // closing again after exec changes nothing
        }
        EXPECT_EQ(session_.fileCount, c.countAfter) << c.what;
        EXPECT_EQ(session_.chosenFileName, "") << c.what;
    }
}

TEST_F(ChooserDialog, TheNextOpeningStartsWhereTheLastEnded) {
    {
        frmOpenSave dialog(session_);
        prepare(dialog);
        runModal(dialog, [&] {
            typeAndOk(dialog, QStringLiteral("sub"));
            dialog.cancelButton()->click();
        });
    }
    {
        frmOpenSave dialog(session_);
        prepare(dialog);
        expectShowing(dialog, at("sub"), "after Cancel");
        EXPECT_EQ(str(dialog.fileList()->pattern()), "*.txt");
        EXPECT_FALSE(dialog.okButton()->isEnabled());
        session_.fileCount = 1;
        runModal(dialog, [&] {
            doubleClickFolder(dialog, QStringLiteral("deep"));
            typeAndOk(dialog, QStringLiteral("../inner.txt"));
        });
        EXPECT_EQ(session_.chosenFileName, str(at("sub/inner.txt")));
    }
    frmOpenSave dialog(session_);
    expectShowing(dialog, at("sub"), "after a file was accepted");
}

TEST_F(ChooserDialog, FolderListOpensAncestorsAndSubfoldersAndReportsFailures) {
    frmOpenSave dialog(session_);
    prepare(dialog);
    QStringList messages;
    dialog.setMessageSink([&](const QString &text) { messages << text; });
    runModal(dialog, [&] {
        doubleClickFolder(dialog, QStringLiteral("sub"));
        expectShowing(dialog, at("sub"), "subfolder");
        EXPECT_EQ(str(dialog.fileList()->names().join('|')), "inner.txt");
        EXPECT_EQ(str(dialog.folderList()->shownFolders().last()), str(at("sub/deep")));

        doubleClickFolder(dialog, QFileInfo(root_).fileName());
        expectShowing(dialog, root_, "ancestor");
        EXPECT_TRUE(messages.isEmpty());

        // A folder that disappears after it was listed cannot be opened.
        ASSERT_TRUE(QDir(at("other")).removeRecursively());
        doubleClickFolder(dialog, QStringLiteral("other"));
        expectShowing(dialog, root_, "a folder that has gone");
    });
    const QString reason = QString::fromLocal8Bit(
        std::make_error_code(std::errc::no_such_file_or_directory).message().c_str());
    EXPECT_EQ(str(messages.join('\n')),
              str(QStringLiteral("Cannot open the folder %1: %2.").arg(at("other"), reason)));
}

// Folders of the temporary tree stand in for mounted volumes.
TEST_F(ChooserDialog, EachDriveKeepsItsFolderAndTheListsAgree) {
    const QString sub = at("sub"), other = at("other");
    const QStringList volumes = {"/", sub, other, at("not-mounted"), at("a.txt")};
    ASSERT_TRUE(QDir::setCurrent(at("sub/deep")));
    frmOpenSave dialog(session_, volumes);
    prepare(dialog);
    QStringList messages;
    dialog.setMessageSink([&](const QString &text) { messages << text; });
    auto pick = [&](const QString &root) {
        dialog.driveList()->setCurrentIndex(dialog.driveList()->findData(root));
    };
    EXPECT_EQ(str(dialog.driveList()->volumes().join('|')), str(volumes.join('|')));
    EXPECT_EQ(str(dialog.driveList()->drive()), str(sub));
    runModal(dialog, [&] {
        pick(other);
        expectShowing(dialog, other, "another drive, first time: its root");
        doubleClickFolder(dialog, QStringLiteral("x"));
        pick(sub);
        expectShowing(dialog, at("sub/deep"), "back: the drive's own folder");
        pick(other);
        expectShowing(dialog, at("other/x"), "again: the drive's own folder");
        EXPECT_TRUE(messages.isEmpty()) << str(messages.join('\n'));

        // A typed path on another drive: the lists agree on the typed folder.
        pick(sub);
        typeAndOk(dialog, other);
        expectShowing(dialog, other, "typed root of another drive");

        pick(at("not-mounted"));
        expectShowing(dialog, other, "a drive that is not ready");
        pick(at("a.txt"));
        expectShowing(dialog, other, "a drive that cannot be read");
    });
    const QString notDirectory =
        QString::fromLocal8Bit(std::make_error_code(std::errc::not_a_directory).message().c_str());
    EXPECT_EQ(str(messages.join('\n')),
              str(QStringLiteral("The drive %1 is not ready.\nCannot open the folder %2: %3.")
                      .arg(at("not-mounted"), at("a.txt"), notDirectory)));
}

} // namespace
} // namespace mergon
