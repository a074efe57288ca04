// "Write to File" in the window: the failure box, and clicks during the command's yields. How
// the mean is computed and written, and how that fails, is in the engine's tests and the table
// of bad inputs; the window's bytes are the batch program's in its test.
#include "form1_fixture.h"

#include <QDir>
#include <QTimer>

using namespace mergon;

using WriteMeanCurveTest = Form1Fixture;

// A refusal before the probe, and a failure after it (an input gone since it was added, named
// in the box): one "Error" box each, the status emptied, no mean drawn, no input changed, the
// earlier output as it was and no other file; then the next write works.
TEST_F(WriteMeanCurveTest, FailuresShowTheBoxDrawNothingAndLeaveTheSessionUsable) {
    loadTwoLines();
    const std::string a = path("a.txt"), b = path("b.txt"), output = path("out.mrg");
    const QByteArray inputs = readAll(a) + readAll(b);
    writeFile("out.mrg", "an earlier result\r\n");
    const auto entries = [this] {
        return QDir(QString::fromStdString(path(""))).entryList(QDir::AllEntries | QDir::Hidden);
    };
    const QStringList files = entries();
    for (const std::string &name : {a, output}) {
        SCOPED_TRACE(name);
        messages.clear();
        const bool gone = name == output;
        if (gone)
            std::filesystem::rename(b, b + ".away");
        form->Text2[0]->setText(QString::fromStdString(name));
        form->Command1->click();
        if (gone)
            std::filesystem::rename(b + ".away", b);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_TRUE(messages[0].title == "Error" &&
                    messages[0].text.endsWith(gone ? QString::fromStdString(b) + " (53)" : "(75)"))
            << messages[0].text.toStdString();
        EXPECT_EQ(std::tuple(status(), readAll(a) + readAll(b), readAll(output), entries(),
                             countColour(form->Picture1->canvas().image(), QColor(255, 0, 0))),
                  std::tuple(QString(), inputs, QByteArray("an earlier result\r\n"), files, 0));
    }
    form->Command1->click();
    EXPECT_EQ(std::tuple(status(), readAll(output).count("\r\n")), std::tuple("Finish", 1 + 101));
}

// Open, Write and Clear clicked, and a file dropped, at every yield of "Write to File", among them
// the one after the first input file: all are ignored; the session ends as an undisturbed
// write leaves it, with the same output to the byte. Then the same in "Data File Open", with
// Exit.
TEST_F(WriteMeanCurveTest, OpenWriteAndClearClickedDuringItsYieldsAreIgnored) {
    const QDir examples(QStringLiteral(MERGON_EXAMPLES));
    const QStringList runs = examples.entryList({"run*.txt"}, QDir::Files, QDir::Name);
    ASSERT_GE(runs.size(), 3);
    for (const QString &run : runs)
        add(examples.filePath(run).toStdString());
    const std::string first = form->session().curves[0].fileName;
    form->Text2[0]->setText(QString::fromStdString(path("quiet.mrg")));
    form->Command1->click(); // undisturbed
    Session expected = form->session();
    expected.outputFileName = path("window.mrg");

    form->Text2[0]->setText(QString::fromStdString(path("window.mrg")));
    form->setYieldInterval(0);
    int clicks = 0, afterFirstFile = 0;
    QTimer clicker;
    QObject::connect(&clicker, &QTimer::timeout, [&] {
        if (!form->commandRunning())
            return;
        ++clicks;
        afterFirstFile += form->session().chosenFileName == first;
        answers.push_back(first);
        for (QPushButton *button : {form->Command2, form->Command1, form->Command3})
            button->click();
        drop({QString::fromStdString(first)});
    });
    clicker.start(0);
    chooserShown = 0;
    form->Command1->click();
    QCoreApplication::processEvents(); // where a drop's files would be added
    EXPECT_GT(afterFirstFile, 0) << clicks << " clicks, none after the first file";
    EXPECT_EQ(std::tuple(messages.size(), chooserShown, status()),
              std::tuple(0u, 0, QString("Finish")));
    EXPECT_TRUE(form->session() == expected);
    EXPECT_EQ(readAll(path("window.mrg")), readAll(path("quiet.mrg")));

    // During "Data File Open", in its chooser: the slot stays taken, and only Exit acts, at once.
    const int files = form->session().fileCount();
    form->setChooser([&]() -> std::optional<std::string> {
        EXPECT_TRUE(form->commandRunning());
        for (QPushButton *button : {form->Command3, form->Command1, form->Command2})
            button->click();
        EXPECT_EQ(form->session().fileCount(), files + 1);
        form->Command4->click();
        return first;
    });
    form->Command2->click();
    EXPECT_EQ(std::tuple(programEnds, endedDuringCommand, form->commandRunning()),
              std::tuple(1, true, false));
}
