// The graph's context menu driven through its actions: enabled states, the figure and the
// statistics against mergon-batch's files, the spread band on the panel, the copied batch
// command run by a shell; files dropped on the window and named on the command line.
#include "app/command_line.h"
#include "form1_fixture.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QTest>

using namespace mergon;

class GraphMenuTest : public Form1Fixture {
  protected:
    void SetUp() override {
        Form1Fixture::SetUp();
        form->setSaveChooser([this](const QString &, const QStringList &) {
            ++saveDialogs;
            return saveAnswer;
        });
    }

    // The action of the menu or of one of its submenus with this text.
    QAction *action(const QString &text) const {
        for (QAction *candidate : form->graphMenu()->findChildren<QAction *>())
            if (candidate->text() == text)
                return candidate;
        ADD_FAILURE() << "no action " << text.toStdString();
        return nullptr;
    }
    void trigger(const QString &text) const { action(text)->trigger(); }

    // Triggers a "Save ..." item with the save dialog answering `path`.
    void save(const QString &item, const std::string &path) {
        saveAnswer = path;
        trigger(item);
    }

    void addExamples(std::initializer_list<const char *> names) {
        for (const char *name : names)
            add(example(name).toStdString());
        ASSERT_TRUE(messages.empty()) << messages.front().text.toStdString();
    }
    static QString example(const char *name) {
        return QDir(QStringLiteral(MERGON_EXAMPLES)).filePath(QString::fromUtf8(name));
    }

    int saveDialogs = 0;
    std::optional<std::string> saveAnswer;
};

// The choices start at no band over the common range, as the window works without the menu.
TEST_F(GraphMenuTest, ItemStatesThroughASession) {
    EXPECT_TRUE(action("None")->isChecked() && action("Common Range")->isChecked());
    form->Text2[0]->setText(QString::fromStdString(path("out.mrg")));
    // What happens, then the enabled flags of "Save Figure", "Save Statistics" and "Copy Batch
    // Command".
    const std::tuple<const char *, std::function<void()>, const char *> steps[] = {
        {"start", [] {}, "000"},
        {"one file", [&] { addExamples({"run1.txt"}); }, "101"},
        {"a cancelled chooser", [&] { add(""); }, "101"},
        {"two files", [&] { addExamples({"run2.txt"}); }, "101"},
        {"written", [&] { form->Command1->click(); }, "111"},
        {"another range", [&] { trigger("All Curves"); }, "101"},
        {"the written range again", [&] { trigger("Common Range"); }, "111"},
        {"another spread", [&] { trigger("Standard Error"); }, "111"},
        {"a third file", [&] { addExamples({"run3.txt"}); }, "101"},
        {"written again", [&] { form->Command1->click(); }, "111"},
        {"no divisions typed", [&] { form->Text3->setText("0"); }, "111"},
        {"a failed write", [&] { form->Command1->click(); }, "101"},
        {"cleared", [&] { form->Command3->click(); }, "000"},
    };
    for (const auto &[what, run, states] : steps) {
        run();
        EXPECT_EQ(enabledFlags({action("&Save Figure..."), action("Save S&tatistics..."),
                                action("&Copy Batch Command")}),
                  states)
            << what;
    }
    // The choices outlast "Clear"; nothing was drawn or saved through a disabled item.
    EXPECT_TRUE(action("Standard Error")->isChecked() && action("Common Range")->isChecked());
    EXPECT_EQ(messages.size(), 1u); // the failed write's
    trigger("&Save Figure...");
    EXPECT_EQ(saveDialogs, 0);
}

TEST_F(GraphMenuTest, OpensOnARightClickOnTheGraphOrTheMenuKeyOnly) {
    form->show();
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    auto rightClick = [](QWidget *target) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                                target->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(target, &event);
    };
    rightClick(form->Picture1);
    EXPECT_TRUE(form->graphMenu()->isVisible()) << "right-click on the graph";
    form->graphMenu()->hide();
    rightClick(form->findChild<QLabel *>("Label20"));
    EXPECT_FALSE(form->graphMenu()->isVisible()) << "right-click on a caption";
    QTest::keyClick(form->Text3, Qt::Key_Menu);
    EXPECT_TRUE(form->graphMenu()->isVisible()) << "Menu key";
}

// Each figure, and the table of the last "Write to File", are the ones mergon-batch writes for
// the same files, division count, range and band: the same pixels, the same SVG, a PDF page of
// the same size, the same table (with the interval's columns under "95 % Confidence Interval").
TEST_F(GraphMenuTest, SavedFiguresAndStatisticsAreMergonBatchs) {
    addExamples({"run1.txt", "run2.txt"});
    const std::string output = path("out.mrg");
    form->Text2[0]->setText(QString::fromStdString(output));
    const char *cases[][5] = {
        // the file, the spread, its band, the range and its option
        {"fig.png", "95 % Confidence Interval", "ci", "Common Range", "common"},
        {"fig.SVG", "Standard Deviation", "sd", "All Curves", "union"},
        {"fig.svg", "Standard Error", "se", "Common Range", "common"},
        {"fig.pdf", "None", "none", "Common Range", "common"},
    };
    const QStringList interval{"--confidence", "0.95"};
    const QByteArray page = "/MediaBox [0 0 340.000000 227.000000]"; // in whole points
    for (const auto &[file, spread, band, averageOver, range] : cases) {
        SCOPED_TRACE(file);
        trigger(QString::fromUtf8(spread));
        trigger(QString::fromUtf8(averageOver));
        form->Text3->setText("37");
        const Session before = form->session();
        save("&Save Figure...", path(file));
        EXPECT_TRUE(form->session() == before); // the window's session is left alone
        form->Command1->click();
        form->Text3->setText("5"); // the table is the write's, whatever the box says now
        save("Save S&tatistics...", path("window.csv"));
        ASSERT_TRUE(messages.empty()) << messages.front().text.toStdString();
        const std::string batchFile = path(QStringLiteral("batch-") + file);
        Result r = runBatch(QStringList{example("run1.txt"), example("run2.txt"), "--divisions",
                                        "37", "--output", QString::fromStdString(path("batch.mrg")),
                                        "--statistics", QString::fromStdString(path("batch.csv")),
                                        "--plot", QString::fromStdString(batchFile), "--plot-style",
                                        "paper", "--band", band, "--range", range} +
                            (band == std::string("ci") ? interval : QStringList()));
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(std::tuple(readAll(output), readAll(path("window.csv")),
                             readAll(path("window.csv")).count("\r\n")),
                  std::tuple(readAll(path("batch.mrg")), readAll(path("batch.csv")), 39));
        // The same pixels, the same SVG, 120 x 80 mm; PDF pages of that size in whole points
        // (their creation dates differ).
        const QByteArray window = readAll(path(file)), batch = readAll(batchFile);
        if (QByteArray(file).endsWith(".png"))
            EXPECT_TRUE(QImage::fromData(window) == QImage::fromData(batch));
        else if (QByteArray(file).endsWith(".pdf"))
            EXPECT_TRUE(window.contains(page) && batch.contains(page));
        else
            EXPECT_TRUE(window == batch && window.contains(R"(width="120mm" height="80mm")"));
    }

    // A type that none of the three is, and a table over the output file: the box, no file
    // changed.
    const QByteArray written = readAll(output);
    save("&Save Figure...", path("fig.jpg"));
    save("Save S&tatistics...", output);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(std::tuple(messages[0].text, messages[1].text.right(4), readAll(path("fig.jpg")),
                         readAll(output)),
              std::tuple("The picture could not be written. (75)", "(75)", QByteArray("<missing>"),
                         written));
}

// Three flat curves at y 0, 1 and 2 (the first reaching out to -10 and 10 to widen the frame):
// the band lies under the red mean at 1, pale red on both sides. The frame spans y 10.5 down to
// -10.5 over 213 pixels, 10.14 to 1, and x 0 to 12.6 over 325, so x 5 is column 129 and the mean
// row 96; the spread is 1, the standard error 0.577, the 95 % interval 4.303 * 0.577 = 2.484.
TEST_F(GraphMenuTest, WriteDrawsTheChosenBandUnderTheMeanCurve) {
    const std::string files[] = {writeCurve("a.txt", {{0, 0}, {10, 0}, {11, 10}, {12, -10}}),
                                 writeCurve("b.txt", {{0, 1}, {10, 1}}),
                                 writeCurve("c.txt", {{0, 2}, {10, 2}})};
    form->Text2[0]->setText(QString::fromStdString(path("out.mrg")));
    // The spreads, with the pale rows each puts on each side of the mean.
    for (const auto &[spread, rows] : {std::pair("None", 0.0),
                                       {"Standard Error", 5.86},
                                       {"Standard Deviation", 10.14},
                                       {"95 % Confidence Interval", 25.19}}) {
        SCOPED_TRACE(spread);
        form->Command3->click();
        for (const std::string &file : files)
            add(file);
        trigger(QString::fromUtf8(spread));
        form->Command1->click();
        ASSERT_TRUE(messages.empty()) << messages.front().text.toStdString();
        const QImage image = form->Picture1->canvas().image();
        ASSERT_EQ(image.pixelColor(129, 96), QColor(255, 0, 0));
        const QColor pale(255, 205, 205);
        EXPECT_NEAR(countColour(image.copy(129, 0, 1, 96), pale), rows, 1.5);
        EXPECT_NEAR(countColour(image.copy(129, 97, 1, image.height() - 97), pale), rows, 1.5);
    }
}

// Files with quotes, blanks and a dollar in their names, each with its own settings, over the
// common range and all curves: the copied command, run by /bin/sh, and the command typed by hand
// write the window's file again.
TEST_F(GraphMenuTest, CopiedBatchCommandRemakesTheOutputFile) {
    const std::string a = writeCurve("it's a.txt", {{0.1, 1}, {0.35, 2.5}, {0.7, 3}, {1.3, -0.25}});
    const std::string b = writeCurve("b $HOME.txt", {{0.2, 2}, {0.9, 1.75}, {1.1, 4}});
    const std::string c = writeFile("-c.csv", "x,y\r\n0.0,1e-3\r\n0.4,2.5E+2\r\n1.2,-7\r\n");
    form->Text7->setText(" 0.3 mW");
    form->Text8[1]->setText("2.5e0x");
    add(a);
    add(b);
    for (auto [box, text] :
         {std::pair{form->Text7, "1"}, {form->Text4, "1"}, {form->Text5, "2"}, {form->Text10, "1"}})
        box->setText(text);
    add(c);
    form->Text3->setText(" 37 ");
    const std::string output = path("out 'put'.mrg");
    form->Text2[0]->setText(QString::fromStdString(output));
    for (const bool union_ : {false, true}) { // Common Range and no band, then All Curves and se
        SCOPED_TRACE(union_);
        trigger(union_ ? "All Curves" : "Common Range");
        trigger(union_ ? "Standard Error" : "None");
        form->Command1->click();
        ASSERT_TRUE(messages.empty()) << messages.front().text.toStdString();
        const QByteArray window = readAll(output);
        ASSERT_TRUE(QFile::remove(QString::fromStdString(output)));

        trigger("&Copy Batch Command");
        const QString command = QApplication::clipboard()->text();
        EXPECT_TRUE(command.startsWith("mergon-batch ") &&
                    command.contains("--range union") == union_)
            << command.toStdString();
        const Result shell = runProgram({"-c", command}, QDir::rootPath(), "/bin/sh");
        EXPECT_EQ(std::pair(shell.exitCode, readAll(output)), std::pair(0, window))
            << command.toStdString() << "\n"
            << shell.err.toStdString();

        // The same typed by hand: options stick until given again; the default format named as
        // such, then a decimal comma and back; c's x column by its name.
        const std::string typedOutput = path("typed.mrg");
        // clang-format off
        const Result typed = runBatch(QStringList{"--y-coefficient", "0.3", "--weight", "2.5",
            "--separator", "comma", QString::fromStdString(a), "--weight", "1.0",
            QString::fromStdString(b), "--decimal-comma", "--decimal-point", "--x-name", "x",
            "--y-column=2", "--skip-lines", "1", "--y-coefficient", "1", QString::fromStdString(c),
            "--divisions", "37", "--output", QString::fromStdString(typedOutput)} +
            (union_ ? QStringList{"--range", "union"} : QStringList{}));
        // clang-format on
        EXPECT_EQ(std::tuple(typed.exitCode, typed.out + typed.err, readAll(typedOutput),
                             window.count("\r\n")),
                  std::tuple(0, QString(), window, 39));
    }
}

// Dropped files are added as if chosen, with the boxes' settings, up to ten in all; the first
// that fails stops the rest with its box. (A drop while a command runs is ignored: in the test
// of clicks during "Write to File".)
TEST_F(GraphMenuTest, DroppedFilesAreAddedOneAfterAnother) {
    const QString good = example("run1.txt");
    const QString bad = QString::fromStdString(writeFile("bad.txt", "h\nh\nh\n1 2 3 4 x 6\n"));
    // What is dropped, the files added and the boxes shown.
    const std::tuple<const char *, QStringList, int, int> cases[] = {
        {"three files", {good, example("run2.txt"), example("run3.txt")}, 3, 0},
        {"twelve files", QStringList(12, good), 10, 0},
        {"a bad file in the middle", {good, bad, good}, 2, 1},
    };
    for (const auto &[what, dropped, added, boxes] : cases) {
        form->Command3->click();
        messages.clear();
        drop(dropped);
        const auto shown =
            std::count_if(std::next(form->Text2.begin()), form->Text2.end(),
                          [](const QLineEdit *box) { return !box->text().isEmpty(); });
        EXPECT_EQ(std::tuple(form->session().fileCount(), shown, int(messages.size())),
                  std::tuple(added, added, boxes))
            << what;
    }
    EXPECT_EQ(std::tuple(messages[0].text.right(4), chooserShown, form->Text2[0]->text()),
              std::tuple("(13)", 0, QString(good).chopped(3) + "mrg"));
}

// `mergon run1.txt run2.txt` in the examples folder starts with the two files; --version and
// --help answer as Qt programs do.
TEST_F(GraphMenuTest, CommandLineNamesTheFilesToAdd) {
    const QString here = QDir::currentPath();
    QDir::setCurrent(QStringLiteral(MERGON_EXAMPLES));
    const QStringList files = filesToOpen({"mergon", "run1.txt", "./run2.txt"});
    QDir::setCurrent(here);
    form->addFiles(files);
    EXPECT_EQ(
        std::tuple(form->session().fileCount(), form->Text2[1]->text(), form->Text2[2]->text()),
        std::tuple(int16_t{2}, example("run1.txt"), example("run2.txt")));

    for (const auto &[option, answer] :
         {std::pair("--version", "mergon " MERGON_VERSION "\n"), {"--help", "[FILE...]"}}) {
        const Result r = runProgram({QString::fromUtf8(option)}, {}, QStringLiteral(MERGON_APP));
        EXPECT_TRUE(r.exitCode == 0 && r.out.contains(QString::fromUtf8(answer)))
            << option << ": " << r.out.toStdString();
    }
}
