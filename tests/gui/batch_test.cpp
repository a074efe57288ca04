// mergon-batch against the window: the same output to the byte, sticky options, bad inputs,
// usage errors and exit codes, and the rendered graph.
#include "engine/bad_inputs.h"
#include "form1_fixture.h"

#include <QImage>
#include <QProcess>

#include <iostream>

using namespace mergon;

namespace {

struct Result {
    int exitCode = -1;
    QString out, err;
};

Result runBatch(const QStringList &arguments, const QString &folder = {}) {
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(QStringLiteral(MERGON_BATCH), arguments);
    EXPECT_TRUE(process.waitForFinished(60000));
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

} // namespace

class BatchTest : public Form1Fixture {
protected:
    void SetUp() override {
        Form1Fixture::SetUp();
        a = writeCurve("a.txt", {{0.1, 1}, {0.35, 2.5}, {0.7, 3}, {1.3, -0.25}});
        b = writeCurve("b.txt", {{0.2, 2}, {0.9, 1.75}, {0.5, 0.5}, {1.1, 4}});
        c = writeFile("c.csv", "x,y\r\n0.0,1e-3\r\n0.4,2.5E+2\r\n1.2,-7\r\n");
    }
    std::string a, b, c;
};

TEST_F(BatchTest, WritesTheWindowsFileByteForByteWithStickyOptions) {
    // The window: a and b with weight 2 and y coefficient 3, c in its own layout, weight 1.
    form->Text7->setText("3");
    form->Text8[1]->setText("2");
    form->Text8[2]->setText("2");
    add(a);
    add(b);
    form->Text4->setText("1");
    form->Text5->setText("2");
    form->Text10->setText("1");
    add(c);
    form->Text3->setText("37");
    form->Text2[0]->setText(QString::fromStdString(path("window.mrg")));
    form->Command1->click();
    ASSERT_TRUE(messages.empty()) << messages.front().text.toStdString();

    Result r = runBatch({"--y-coefficient", "3", "--weight", "2", QString::fromStdString(a),
                         QString::fromStdString(b), "--x-column", "1", "--y-column=2",
                         "--skip-lines", "1", "--weight", "1.0", QString::fromStdString(c),
                         "--divisions", "37", "--output", QString::fromStdString(path("batch.mrg"))});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(r.err.isEmpty());
    QByteArray window = readAll(path("window.mrg"));
    EXPECT_EQ(readAll(path("batch.mrg")), window);
    EXPECT_EQ(window.count("\r\n"), 39);
}

TEST_F(BatchTest, DefaultsMatchTheWindowsStartSettingsAndOutputName) {
    add(a);
    add(b);
    form->Command1->click(); // writes to the derived name a.mrg
    ASSERT_TRUE(messages.empty()) << messages.front().text.toStdString();
    QByteArray window = readAll(path("a.mrg"));
    QFile::remove(QString::fromStdString(path("a.mrg")));

    Result r = runBatch({"--verbose", QString::fromStdString(a), QString::fromStdString(b)});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(readAll(path("a.mrg")), window);
    EXPECT_TRUE(r.out.contains("4 lines, 6 fields per line")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("common range 0.2 to 1.1")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("100 divisions")) << r.out.toStdString();
}

TEST_F(BatchTest, UsageErrorsExitWithTwo) {
    const QString A = QString::fromStdString(a), B = QString::fromStdString(b);
    struct Case {
        const char *what;
        QStringList arguments;
        QString expected; // part of standard error
    } cases[] = {
        {"one file", {A}, "give 2 to 10 input files, not 1"},
        {"unknown option", {"--colour", A, B}, "unknown option --colour"},
        {"option without its value", {A, B, "--divisions"}, "--divisions needs a value"},
    };
    for (const Case &expected : cases) {
        Result r = runBatch(expected.arguments);
        EXPECT_EQ(r.exitCode, 2) << expected.what;
        EXPECT_TRUE(r.err.contains(expected.expected) && r.err.contains("usage:"))
            << expected.what << ": " << r.err.toStdString();
    }
    // Sizes from 1 to 10000, as whole numbers and nothing else; digits beyond any integer too.
    for (const char *size : {"big", "0x10", "10x0", "10001x10", "10x10001", "-5x10", "+5x10",
                             "99999999999999999999x10", "10x99999999999999999999", "10x", "x10",
                             "10x10x10", " 10x10", "10.5x10"}) {
        Result r = runBatch({A, B, "--plot-size", size});
        EXPECT_EQ(r.exitCode, 2) << size;
        EXPECT_TRUE(
            r.err.startsWith("mergon-batch: --plot-size takes WIDTHxHEIGHT in pixels, not \"" +
                             QString::fromUtf8(size) + "\"\n"))
            << r.err.toStdString();
    }
    Result help = runBatch({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith("usage: mergon-batch"));
}

// The engine's table of bad inputs, through the command line: exit status 1 and the message
// after the thing it is about, or the output file on success; no input changes.
TEST(BatchBadInputs, EachGivesItsMessageAndExitStatusAndNoInputChanges) {
    for (const bad_inputs::Case &c : bad_inputs::cases()) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const bad_inputs::Prepared p = bad_inputs::prepare(c, dir);
        if (!p.skipped.empty()) {
            std::cout << "skipped \"" << c.what << "\": " << p.skipped << "\n";
            continue;
        }
        const auto before = bad_inputs::fingerprints(p.inputs);
        QStringList arguments;
        for (size_t i = 0; i < c.inputs.size(); ++i) {
            const SettingTexts &t = c.inputs[i].settings;
            for (const auto &[option, value] : {std::pair{"--x-column", t.xColumn},
                                                {"--y-column", t.yColumn},
                                                {"--x-coefficient", t.xCoefficient},
                                                {"--y-coefficient", t.yCoefficient},
                                                {"--weight", t.yWeight},
                                                {"--skip-lines", t.skipLines}})
                arguments << QString::fromUtf8(option) << QString::fromStdString(value);
            arguments << QString::fromStdString(p.inputs[i]);
        }
        if (!c.output.empty())
            arguments << "--output" << QString::fromStdString(c.output);
        arguments << "--divisions" << QString::fromStdString(c.divisions);

        Result r = runBatch(arguments, QString::fromStdString(dir.root.string()));
        const std::string message =
            c.code == 0 ? ""
                        : "mergon-batch: " + (p.subject.empty() ? "" : p.subject + ": ") +
                              c.expected + "\n";
        EXPECT_EQ(std::tuple(r.exitCode, r.err.toStdString(), r.out.toStdString()),
                  std::tuple(c.code == 0 ? 0 : 1, message, std::string()));
        EXPECT_EQ(bad_inputs::fingerprints(p.inputs), before) << "an input changed";
        if (c.code == 0) {
            EXPECT_EQ(readAll(dir.file(c.output)).toStdString(), c.expected);
        }
    }
}

TEST_F(BatchTest, PlotsTheGraphWithTheRedMean) {
    const QString png = QString::fromStdString(path("graph.png"));
    Result r = runBatch({QString::fromStdString(a), QString::fromStdString(b), "--plot", png,
                         "--output", QString::fromStdString(path("p.mrg"))});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QImage image(png);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(329, 217));
    auto count = [&](const QColor &colour) { return countColour(image, colour); };
    EXPECT_GT(count(QColor(255, 0, 0)), 50);
    EXPECT_GT(count(QColor(0, 0, 255)), 50);
    EXPECT_GT(count(QColor(0, 0, 0)), 50);

    r = runBatch({QString::fromStdString(a), QString::fromStdString(b), "--plot", png,
                  "--plot-size", "640x480", "--output", QString::fromStdString(path("p.mrg"))});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(QImage(png).size(), QSize(640, 480));
}
