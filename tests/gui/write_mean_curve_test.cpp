// "Write to File": the probe, the grid, the mean, its red curve, the output file, and the
// failures after the probe.
#include "form1_fixture.h"

#include <QDir>
#include <QTimer>

#include <unistd.h>

using namespace mergon;

namespace {

int countRed(const QImage &image) { return countColour(image, QColor(255, 0, 0)); }

const char *const kProbeFailure =
    "This output data file has been opened by another application. (%1)";

} // namespace

class WriteMeanCurveTest : public Form1Fixture {
protected:
    void loadTwoLines() {
        add(writeCurve("a.txt", {{0, 0}, {1, 1}, {2, 2}}));
        add(writeCurve("b.txt", {{0, 2}, {1, 3}, {2, 4}}));
        ASSERT_TRUE(messages.empty());
        output = path("out.mrg");
        form->Text2[0]->setText(QString::fromStdString(output));
    }
    std::string output;
};

TEST_F(WriteMeanCurveTest, WritesTheMeanTableByteForByte) {
    loadTwoLines();
    form->Text3->setText("4");
    form->Command1->click();
    ASSERT_TRUE(messages.empty()) << messages.front().text.toStdString();
    EXPECT_EQ(readAll(output), QByteArray(" Number        X-axis        Y-axis\r\n"
                                          " 1             0             1 \r\n"
                                          " 2             .5            1.5 \r\n"
                                          " 3             1             2 \r\n"
                                          " 4             1.5           2.5 \r\n"
                                          " 5             2             3 \r\n"));
    EXPECT_EQ(status(), "Finish");
    const Session &s = form->session();
    // chosenFileName holds the last input file read.
    EXPECT_EQ(std::tuple(s.divisionCount, s.xStep, s.commonXMin, s.commonXMax, s.chosenFileName,
                         s.outputFileName),
              std::tuple(int16_t{4}, 0.5f, 0.0f, 2.0f, path("b.txt"), output));
    EXPECT_GT(countRed(form->Picture1->canvas().image()), 20);

    // Pressed again without a change: the same file, the curve drawn once more.
    QByteArray first = readAll(output);
    form->Command1->click();
    EXPECT_EQ(readAll(output), first);
}

TEST_F(WriteMeanCurveTest, DivisionTextsRoundHalfToEven) {
    loadTwoLines();
    for (auto [text, lines] : {std::pair{"2.5", 2 + 2}, {"3.5", 4 + 2}}) {
        form->Text3->setText(QString::fromUtf8(text));
        form->Command1->click();
        EXPECT_EQ(readAll(output).count("\r\n"), lines) << text;
    }
    EXPECT_TRUE(messages.empty());
}

// An output that is one of the inputs is refused before anything is written; one that cannot
// be written fails the probe. Either way nothing is computed or drawn, and the session stays
// usable.
TEST_F(WriteMeanCurveTest, RefusedOutputOrFailedProbeShowsTheBoxAndComputesNothing) {
    loadTwoLines();
    const QByteArray input = readAll(path("a.txt"));
    struct Case {
        const char *what;
        std::string output;
        QString message;
    } cases[] = {
        {"one of the inputs", path("a.txt"),
         "The output file is one of the input files; choose another output file name. (75)"},
        {"missing folder", path("no/such/folder/out.mrg"), QString::fromUtf8(kProbeFailure).arg(76)},
        {"a folder in the place of the file", dir.path().toStdString(),
         QString::fromUtf8(kProbeFailure).arg(75)},
    };
    // A protected file: read-only for an ordinary user; root may write any ordinary file, but
    // not this attribute file of the kernel.
    std::string readOnly = writeFile("locked.mrg", "kept\r\n");
    QFile(QString::fromStdString(readOnly)).setPermissions(QFile::ReadOwner);
    if (geteuid() == 0)
        readOnly = "/sys/kernel/notes";
    std::vector<Case> all(std::begin(cases), std::end(cases));
    if (QFile::exists(QString::fromStdString(readOnly)))
        all.push_back({"a read-only file", readOnly, QString::fromUtf8(kProbeFailure).arg(70)});
    for (const Case &c : all) {
        SCOPED_TRACE(c.what);
        messages.clear();
        form->Text2[0]->setText(QString::fromStdString(c.output));
        form->Command1->click();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].title, "Error");
        EXPECT_EQ(messages[0].text, c.message);
        EXPECT_TRUE(status().isEmpty());
        EXPECT_EQ(form->session().commonXMin, kRunningMaxStart); // nothing computed
        EXPECT_EQ(form->session().outputFileName, c.output);
        EXPECT_EQ(countRed(form->Picture1->canvas().image()), 0);
    }
    EXPECT_EQ(readAll(path("a.txt")), input);
    form->Text2[0]->setText(QString::fromStdString(output));
    form->Command1->click();
    EXPECT_EQ(status(), "Finish");
}

TEST_F(WriteMeanCurveTest, FailuresAfterTheProbeLeaveOnlyTheTestLine) {
    loadTwoLines();
    const QByteArray testLine = "Test output\r\n";
    for (const char *division : {"0", "40000"}) {
        messages.clear();
        form->Text3->setText(QString::fromUtf8(division));
        form->Command1->click();
        ASSERT_EQ(messages.size(), 1u) << division;
        EXPECT_EQ(messages[0].title, "Error");
        EXPECT_FALSE(messages[0].text.isEmpty());
        EXPECT_EQ(readAll(output), testLine) << division;
        EXPECT_TRUE(status().isEmpty());
    }

    // An input file that vanished since it was added: the box names it and its code.
    form->Text3->setText("10");
    messages.clear();
    QFile::remove(QString::fromStdString(path("b.txt")));
    form->Command1->click();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.contains(QString::fromStdString(path("b.txt"))))
        << messages[0].text.toStdString();
    EXPECT_TRUE(messages[0].text.endsWith("(53)")) << messages[0].text.toStdString();
    EXPECT_EQ(readAll(output), testLine);
    EXPECT_EQ(countRed(form->Picture1->canvas().image()), 0);

    // The session stays usable.
    writeCurve("b.txt", {{0, 2}, {1, 3}, {2, 4}});
    form->Command1->click();
    EXPECT_EQ(status(), "Finish");
    EXPECT_EQ(readAll(output).count("\r\n"), 12);
}

TEST_F(WriteMeanCurveTest, ClearClickedDuringTheRunIsIgnored) {
    loadTwoLines();
    bool fired = false;
    QTimer::singleShot(0, [&] {
        fired = true;
        form->Command3->click();
    });
    form->Command1->click();
    EXPECT_TRUE(fired); // the yield after "Data writing..." let the click through
    EXPECT_EQ(form->session().fileCount, 2);
    EXPECT_EQ(status(), "Finish");
    EXPECT_EQ(readAll(output).count("\r\n"), 102);
}

TEST_F(WriteMeanCurveTest, SampleCurvesAreAveragedOverTheirCommonRange) {
    QDir examples(QStringLiteral(MERGON_EXAMPLES));
    const QStringList runs = examples.entryList({"run*.txt"}, QDir::Files, QDir::Name);
    ASSERT_GE(runs.size(), 3);
    for (const QString &run : runs)
        add(examples.filePath(run).toStdString());
    form->Text2[0]->setText(QString::fromStdString(path("samples.mrg")));
    form->Command1->click();
    ASSERT_TRUE(messages.empty()) << messages.front().text.toStdString();
    const Session &s = form->session();
    float widestMin = -1e9f, narrowestMax = 1e9f;
    for (int k = 1; k <= s.fileCount; ++k) {
        widestMin = std::max(widestMin, s.fileXMin[k]);
        narrowestMax = std::min(narrowestMax, s.fileXMax[k]);
    }
    EXPECT_EQ(s.commonXMin, widestMin);
    EXPECT_EQ(s.commonXMax, narrowestMax);
    EXPECT_EQ(readAll(path("samples.mrg")).count("\r\n"), 1 + 101);
}
