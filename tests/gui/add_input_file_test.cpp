// "Data File Open": measuring, reading and drawing a new file, cancelling, and failures.
#include "form1_fixture.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

using namespace mergon;

namespace {
const QByteArray kFourRows = "run 7\r\nsample B\r\nno t a b x y\r\n"
                             "1 0.0 5 5 1.5 10\r\n"
                             "2 0.5 5 5 2.5 12.5\r\n"
                             "3 1.0 5 5 3.5 11\r\n"
                             "4 1.5 5 5 4.0 -2\r\n";

QString failure(int code) {
    return QStringLiteral("This file includes error data or you may mistake column or skip "
                          "indication. (%1)")
        .arg(code);
}
} // namespace

TEST_F(Form1Fixture, AddingAFileMeasuresItAndWidensTheRanges) {
    std::string a = writeFile("a.txt", kFourRows);
    add(a);
    ASSERT_TRUE(messages.empty()) << messages.front().text.toStdString();
    const Session &s = form->session();
    EXPECT_EQ(std::tuple(s.fileCount, s.fileNames[1], form->Text2[1]->text().toStdString()),
              std::tuple(int16_t{1}, a, a));
    // Measured sizes, then the settings of the boxes: columns, skip lines, x factor, weight.
    EXPECT_EQ(std::tuple(s.lineCount[1], s.fieldsPerLine[1], s.xColumn[1], s.yColumn[1],
                         s.skipLines[1], s.xCoefficient[1], s.yWeight[1]),
              std::tuple(4, 6, 5, 6, 3, 1.0f, 1.0f));
    // The file's x extent and the plot range cover exactly its points.
    EXPECT_EQ(std::tuple(s.fileXMin[1], s.fileXMax[1], s.plotXMin, s.plotXMax, s.plotYMin,
                         s.plotYMax),
              std::tuple(1.5f, 4.0f, 1.5f, 4.0f, -2.0f, 12.5f));
    EXPECT_EQ(status(), "File 1");
    EXPECT_EQ(s.outputFileName, path("a.mrg"));
    EXPECT_EQ(form->Text2[0]->text().toStdString(), path("a.mrg"));
    EXPECT_EQ(buttonStates(), "1011");

    // Settings are copied from the boxes as they stand when the file is added.
    form->Text6->setText("2");
    form->Text8[2]->setText("3");
    std::string b = writeFile("b.txt", kFourRows);
    add(b);
    EXPECT_EQ(std::tuple(s.xCoefficient[2], s.yWeight[2], s.xCoefficient[1]),
              std::tuple(2.0f, 3.0f, 1.0f));
    // The wider second file widens the range and the frame; y is 12.5 * 1 * 3 at most.
    EXPECT_EQ(std::tuple(s.fileXMax[2], s.plotXMax, s.plotYMax), std::tuple(8.0f, 8.0f, 37.5f));
    EXPECT_DOUBLE_EQ(form->Picture1->canvas().frame().right, 1.05 * 8.0);
    EXPECT_EQ(s.outputFileName, path("a.mrg")); // only the first file names the output
    EXPECT_EQ(buttonStates(), "1111");
    EXPECT_EQ(status(), "File 2");
}

TEST_F(Form1Fixture, FailuresShowTheirCodeAndKeepTheSlot) {
    struct Case {
        const char *what;
        QByteArray content;
        int code;
    } cases[] = {
        {"7 numbers on 2 lines", "h\r\nh\r\nh\r\n1 2 3 4\r\n5 6 7\r\n", 62},
        {"header only", "h\r\nh\r\nh\r\n", 62},
        {"text in the y column", "h\r\nh\r\nh\r\n1 2 3 4 5 six\r\n", 13},
    };
    int slot = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        messages.clear();
        std::string file = writeFile(QStringLiteral("bad%1.txt").arg(slot), c.content);
        add(file);
        ++slot;
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].title, "Error");
        EXPECT_EQ(messages[0].text, failure(c.code));
        EXPECT_TRUE(status().isEmpty());
        EXPECT_EQ(form->session().fileCount, slot);
        EXPECT_EQ(form->Text2[slot]->text().toStdString(), file);
        EXPECT_EQ(form->session().fileNames[slot], file);
    }
    // "Clear" after failures gives an empty, usable session.
    form->Command3->click();
    EXPECT_EQ(form->session().fileCount, 0);
    add(writeFile("good.txt", kFourRows));
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(form->session().lineCount[1], 4);
}

TEST_F(Form1Fixture, FileDeletedAfterChoosingAndOversizedSettingsFail) {
    add(path("gone.txt"));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, failure(53));
    EXPECT_EQ(form->session().fileCount, 1);

    for (auto [box, text] : {std::pair{form->Text4, "40000"}, {form->Text10, "-32769"},
                             {form->Text5, "1e9"}}) {
        QString saved = box->text();
        box->setText(QString::fromUtf8(text));
        add(writeFile("ok.txt", kFourRows));
        box->setText(saved);
        EXPECT_EQ(messages.back().text, failure(6)) << text;
    }
    EXPECT_EQ(form->session().fileCount, 4);
    EXPECT_EQ(form->session().fileNames[4], path("ok.txt"));
}

TEST_F(Form1Fixture, CancellingGivesTheSlotBack) {
    add(writeFile("a.txt", kFourRows));
    add(writeFile("b.txt", kFourRows));
    const Session &s = form->session();
    Session before = s;
    add(""); // cancel
    EXPECT_EQ(s.fileCount, 2);
    EXPECT_EQ(status(), "File 2");
    EXPECT_EQ(s.fileNames[3], "");
    EXPECT_EQ(s.outputFileName, before.outputFileName);
    EXPECT_EQ(s.plotXMax, before.plotXMax);
    EXPECT_TRUE(form->Command1->isEnabled());

    form->Command3->click();
    add("");
    EXPECT_EQ(status(), "File 0");
    EXPECT_EQ(s.fileCount, 0);
    EXPECT_FALSE(form->Command3->isEnabled()); // a cancelled choice changes no button
}

TEST_F(Form1Fixture, TenthAdditionDisablesOpenAtOnceEvenWhenCancelled) {
    std::string a = writeFile("a.txt", kFourRows);
    for (int i = 0; i < 9; ++i)
        add(a);
    ASSERT_EQ(form->session().fileCount, 9);
    EXPECT_TRUE(form->Command2->isEnabled());

    bool disabledWhileChoosing = true;
    form->setChooser([&]() -> std::optional<std::string> {
        disabledWhileChoosing = !form->Command2->isEnabled();
        return std::nullopt;
    });
    form->Command2->click();
    EXPECT_TRUE(disabledWhileChoosing);
    EXPECT_EQ(form->session().fileCount, 9);
    EXPECT_EQ(status(), "File 9");
    EXPECT_FALSE(form->Command2->isEnabled());
    form->Command2->click(); // disabled: nothing happens
    EXPECT_EQ(form->session().fileCount, 9);

    form->Command3->click();
    EXPECT_TRUE(form->Command2->isEnabled());
}

TEST_F(Form1Fixture, ClicksDuringACommandAreIgnoredButExitEndsAtOnce) {
    add(writeFile("a.txt", kFourRows));
    add(writeFile("b.txt", kFourRows));
    form->setChooser([&]() -> std::optional<std::string> {
        const Session &s = form->session();
        EXPECT_TRUE(form->commandRunning());
        form->Command3->click(); // "Clear" would reset the slots under the running command
        form->Command1->click();
        form->Command2->click();
        EXPECT_EQ(s.fileCount, 3);
        EXPECT_EQ(s.fileNames[1], path("a.txt"));
        form->Command4->click();
        return path("a.txt");
    });
    form->Command2->click();
    EXPECT_EQ(programEnds, 1);
    EXPECT_TRUE(endedDuringCommand);
    EXPECT_FALSE(form->commandRunning());
}

TEST(Form1MessageBox, FailureShowsAModalWarningWithOneOkButton) {
    Form1 form;
    form.setChooser([] { return std::optional<std::string>("/nonexistent/folder/x.txt"); });
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = static_cast<int>(box->buttons().size());
        box->accept();
    });
    form.Command2->click();
    EXPECT_EQ(title, "Error");
    EXPECT_EQ(text, failure(53));
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(buttons, 1);
}
