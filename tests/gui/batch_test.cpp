// mergon-batch against the window: the same output to the byte, sticky options, errors and
// exit codes, and the rendered graph.
#include "form1_fixture.h"

#include <QImage>
#include <QProcess>

using namespace mergon;

namespace {

struct Result {
    int exitCode = -1;
    QString out, err;
};

Result runBatch(const QStringList &arguments) {
    QProcess process;
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

TEST_F(BatchTest, ErrorsGoToStandardErrorWithTheirTextsAndExitCodes) {
    const QString A = QString::fromStdString(a), B = QString::fromStdString(b);
    struct Case {
        const char *what;
        QStringList arguments;
        int exitCode;
        QString expected; // part of standard error
    } cases[] = {
        {"one file", {A}, 2, "usage:"},
        {"unknown option", {"--colour", A, B}, 2, "unknown option --colour"},
        {"bad plot size", {A, B, "--plot-size", "big"}, 2, "--plot-size"},
        {"missing input", {A, QString::fromStdString(path("none.txt"))}, 1,
         QString::fromStdString(path("none.txt")) +
             ": This file includes error data or you may mistake column or skip indication. (53)"},
        {"text in the y column", {A, QString::fromStdString(writeFile("t.txt", "h\nh\nh\n1 2 3 4 5 six\n"))},
         1, "t.txt: This file includes error data or you may mistake column or skip indication. (13)"},
        {"missing output folder", {A, B, "--output", QString::fromStdString(path("x/y.mrg"))}, 1,
         "This output data file has been opened by another application. (76)"},
        {"zero divisions", {A, B, "--divisions", "0", "--output", QString::fromStdString(path("z.mrg"))},
         1, "z.mrg: "},
    };
    for (const Case &expected : cases) {
        SCOPED_TRACE(expected.what);
        Result r = runBatch(expected.arguments);
        EXPECT_EQ(r.exitCode, expected.exitCode);
        EXPECT_TRUE(r.err.contains(expected.expected)) << r.err.toStdString();
    }
    Result help = runBatch({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith("usage: mergon-batch"));
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
