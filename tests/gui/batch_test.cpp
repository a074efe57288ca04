// mergon-batch against the window: the same output to the byte, sticky options, bad inputs,
// usage errors and exit codes, files in other formats, and the rendered graph.
#include "engine/bad_inputs.h"
#include "form1_fixture.h"

#include <QImage>
#include <QProcess>
#include <QXmlStreamReader>

#include <cmath>
#include <cstdlib>

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

    // The default format named as such, switched to a decimal comma and back: read as the
    // window reads; c's x column by its name.
    // clang-format off
    Result r = runBatch({"--y-coefficient", "3", "--weight", "2", "--separator", "comma",
                         QString::fromStdString(a), QString::fromStdString(b),
                         "--decimal-comma", "--decimal-point", "--x-name", "x", "--y-column=2",
                         "--skip-lines", "1", "--weight", "1.0", QString::fromStdString(c),
                         "--divisions", "37", "--output", QString::fromStdString(path("batch.mrg"))});
    // clang-format on
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

TEST_F(BatchTest, UsageAndOptionErrorsGiveTheirExitStatus) {
    const QString A = QString::fromStdString(a), B = QString::fromStdString(b);
    const QString H = QString::fromStdString(writeFile("h.txt", "h \"h\"\n1 2\n"));
    struct Case {
        const char *what;
        QStringList arguments;
        int exitCode;
        QString expected; // part of standard error
    } cases[] = {
        // clang-format off
        {"no file", {"--divisions", "3"}, 2, "give one or more input files"},
        {"no threads", {"--jobs", "0", A}, 2, "--jobs takes a whole number from 1 to 1024"},
        {"unknown option", {"--colour", A, B}, 2, "unknown option --colour"},
        {"option without its value", {A, B, "--divisions"}, 2, "--divisions needs a value"},
        {"plot neither PNG nor SVG", {A, B, "--plot", "graph.jpg"}, 2, "--plot writes a .png"},
        {"unknown range", {A, B, "--range", "all"}, 2, "--range takes common|union"},
        {"decimal comma with comma separator", {"--separator", "comma", "--decimal-comma", A, B}, 2,
         "--decimal-comma and --separator comma cannot both apply to " + A},
        {"unknown separator", {"--separator", "tab", A, B}, 2, "--separator takes semicolon or comma"},
        {"column name not on the header line", {"--x-name", "Time", A, B}, 1,
         "mergon-batch: " + A + ": The column name \"Time\" is not on the last header line of " + A +
             ". (5)"},
        {"column name twice", {"--skip-lines", "1", "--y-name", "h", H, B}, 1,
         "The column name \"h\" is on the last header line of " + H + " more than once. (5)"},
        {"no header line, no name", {"--skip-lines", "0", "--y-name", "1", A, B}, 1,
         "not on the last header line"},
        {"range ends not numbers", {A, B, "--range", "1:2:3"}, 2, "--range FROM:TO takes two numbers"},
        {"range end not in the files' grammar", {A, B, "--range", "0:inf"}, 2, "takes two numbers"},
        {"range ends equal as written", {A, B, "--range", "1.5E+00:1.5"}, 2, "needs FROM below TO"},
        {"range end beyond single precision", {A, B, "--range", "-1e39:0"}, 2, "single precision"},
        {"range end beyond double precision", {A, B, "--range", "0:1D999"}, 2, "single precision"},
        {"range beyond the data", {A, B, "--range", "0:1", "--output", QString::fromStdString(path("r.mrg"))},
         1, "No input file covers x = 0, so there is nothing to average there. (5)"},
        {"confidence of 1", {A, B, "--statistics", "s.csv", "--confidence", "1"}, 2,
         "--confidence takes a level between 0 and 1"},
        {"confidence without statistics", {A, B, "--confidence", "0.95"}, 2,
         "--confidence needs --statistics"},
        // clang-format on
    };
    for (const Case &expected : cases) {
        Result r = runBatch(expected.arguments);
        EXPECT_EQ(r.exitCode, expected.exitCode) << expected.what;
        EXPECT_TRUE(r.err.contains(expected.expected) &&
                    r.err.contains("usage:") == (expected.exitCode == 2))
            << expected.what << ": " << r.err.toStdString();
    }
    // Sizes from 1 to 10000, as whole numbers and nothing else; digits beyond any integer too.
    for (const char *size : {"big", "0x10", "10x0", "10001x10", "10x10001", "-5x10", "+5x10",
                             "99999999999999999999x10", "10x99999999999999999999", "10x", "x10",
                             "10x10x10", " 10x10", "10.5x10"}) {
        Result r = runBatch({A, B, "--plot-size", size});
        EXPECT_EQ(r.exitCode, 2) << size;
        EXPECT_TRUE(r.err.startsWith("mergon-batch: --plot-size takes WIDTHxHEIGHT, not \"" +
                                     QString::fromUtf8(size) + "\"\n"))
            << r.err.toStdString();
    }
    Result help = runBatch({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith("usage: mergon-batch"));
    for (const char *option : {"--statistics PATH", "--range common|union|FROM:TO",
                               "--confidence LEVEL", "--band sd|se|ci|none"})
        EXPECT_TRUE(help.out.contains(option)) << option;
}

// A chosen range that is the common or the union range writes the same files as that range.
TEST_F(BatchTest, AChosenRangeEqualToTheCommonOrUnionRangeWritesTheSameFiles) {
    auto run = [&](const QString &range, const QString &name) {
        const std::string output = path(name + ".mrg"), table = path(name + ".csv");
        Result r = runBatch({"--verbose", QString::fromStdString(a), QString::fromStdString(b),
                             "--divisions", "37", "--range", range, "--output",
                             QString::fromStdString(output), "--statistics",
                             QString::fromStdString(table)});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        return std::tuple(readAll(output), readAll(table), r.out);
    };
    const struct {
        QString named, chosen, shown;
    } cases[] = {{"common", "0.2:1.1", "chosen range 0.2 to 1.1,"},
                 {"union", "1e-1:1.3", "chosen range 0.1 to 1.3,"}};
    for (const auto &range : cases) {
        SCOPED_TRACE(range.named.toStdString());
        const auto [output, table, out] = run(range.named, range.named);
        const auto [chosenOutput, chosenTable, chosenOut] = run(range.chosen, "chosen");
        EXPECT_TRUE(output.startsWith(" Number") && table.startsWith("number,x,mean"));
        EXPECT_EQ(chosenOutput, output);
        EXPECT_EQ(chosenTable, table);
        EXPECT_TRUE(chosenOut.contains(range.shown)) << chosenOut.toStdString();
    }
}

// A tab-separated file with decimal commas and named columns, and a semicolon file, give the
// table of the same data in the default format.
TEST_F(BatchTest, FilesWithDecimalCommasAndNamedColumnsGiveTheDefaultFormatsTable) {
    const QString tabs = QString::fromStdString(
        writeFile("tabs.txt",
                  "DSC run\r\nsample a\r\nNo\t\"Heat flow/mW\"\tTime/s\tTsample/C\r\n"
                  "1\t1\t0\t0,1\r\n2\t2,5\t3\t0,35\r\n3\t3,0E+00\t6\t,7\r\n4\t-0,25\t9\t1,3\r\n"));
    const QString semicolons = QString::fromStdString(
        writeFile("semicolons.csv", "Tsample/C;No;\"Heat flow/mW\"\r\n"
                                    "0,2;1;2\r\n0,9;2;1,75D0\r\n0,5;3;0,5\r\n1,1;4;4\r\n"));
    Result r = runBatch({QString::fromStdString(a), QString::fromStdString(b), "--output",
                         QString::fromStdString(path("default.mrg"))});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    r = runBatch({"--verbose", "--decimal-comma", "--x-name", "Tsample/C", "--y-name",
                  "Heat flow/mW", tabs, "--skip-lines", "1", semicolons, "--output",
                  QString::fromStdString(path("instrument.mrg"))});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(readAll(path("instrument.mrg")), readAll(path("default.mrg")));
    for (const char *shown :
         {"decimal comma, fields separated by blanks, tabs and semicolons",
          "x column 4 named \"Tsample/C\"", "y column 2 named \"Heat flow/mW\"",
          "x column 1 named \"Tsample/C\"", "y column 3 named \"Heat flow/mW\""})
        EXPECT_TRUE(r.out.contains(QString::fromUtf8(shown))) << shown << "\n"
                                                              << r.out.toStdString();
}

// Many files, one beyond the window's 32767 lines, read on one thread and on three: the same
// output, statistics and report to the byte; with two bad files, the first is the one named.
TEST_F(BatchTest, ManyFilesGiveTheSameBytesOnOneThreadAndOnThree) {
    QStringList files;
    for (int i = 0; i < 13; ++i) {
        QByteArray text = "h\r\nh\r\nt a b c x y\r\n";
        const int lines = i == 5 ? 40000 : 50 + 37 * i;
        for (int j = 0; j < lines; ++j)
            text += QByteArray::number(j) + " 0 0 0 " + QByteArray::number(i * 0.25 + j * 0.01) +
                    " " + QByteArray::number(std::sin(j * 0.05 + i) * (i + 1), 'g', 12) + "\r\n";
        files << QString::fromStdString(writeFile(QString("m%1.txt").arg(i), text));
    }
    auto run = [&](const QStringList &inputs, const QString &jobs) {
        const QString name = "jobs" + jobs;
        Result r = runBatch(QStringList{"--jobs", jobs, "--range", "union", "--divisions", "777",
                                        "--verbose", "--output",
                                        QString::fromStdString(path(name + ".mrg")), "--statistics",
                                        QString::fromStdString(path(name + ".csv"))} +
                            inputs);
        return std::tuple(r.exitCode, r.out.toStdString(), r.err.toStdString(),
                          readAll(path(name + ".mrg")), readAll(path(name + ".csv")));
    };
    const auto one = run(files, "1");
    ASSERT_EQ(std::get<0>(one), 0) << std::get<2>(one);
    EXPECT_TRUE(std::get<1>(one).find("40000 lines") != std::string::npos);
    EXPECT_EQ(std::get<3>(one).count("\r\n"), 779);
    EXPECT_EQ(run(files, "3"), one);

    QStringList bad = files;
    bad[2] = QString::fromStdString(writeFile("bad2.txt", "h\r\nh\r\nh\r\n1 2 3 4 x 6\r\n"));
    bad[8] = QString::fromStdString(writeFile("bad8.txt", ""));
    const auto failing = run(bad, "1");
    EXPECT_EQ(std::get<2>(failing),
              "mergon-batch: " + bad[2].toStdString() + ": " + bad_inputs::added(13) + "\n");
    EXPECT_EQ(run(bad, "3"), failing);
}

// The engine's table of bad inputs, through the command line: exit status 1 and the message
// after the thing it is about, or the output file on success; no input changes.
TEST(BatchBadInputs, EachGivesItsMessageAndExitStatusAndNoInputChanges) {
    bad_inputs::forEachCase([](const bad_inputs::Case &c, const bad_inputs::Prepared &p,
                               const TempDir &dir) {
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
        auto [code, expected] = c.inBatch.value_or(std::pair{c.code, c.expected});
        if (const size_t at = expected.find("from 1 to 32767."); at != std::string::npos)
            expected.replace(at, 16, "from 1 to 16777216.");
        const std::string message =
            code == 0
                ? ""
                : "mergon-batch: " + (p.subject.empty() ? "" : p.subject + ": ") + expected + "\n";
        EXPECT_EQ(std::tuple(r.exitCode, r.err.toStdString(), r.out.toStdString()),
                  std::tuple(code == 0 ? 0 : 1, message, std::string()));
        if (code == 0) {
            const QByteArray output = readAll(dir.file(c.output));
            if (expected.empty())
                EXPECT_EQ(output.count("\r\n"), std::stoll(c.divisions) + 2);
            else
                EXPECT_EQ(output.toStdString(), expected);
        }
    });
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

// Three lines y = x, x + 2, x + 10 over x 0 to 10: the mean is x + 4, the standard deviation
// sqrt(28) = 5.2915, the standard error 3.0551 and t for 2 degrees of freedom 4.3027 at 0.95
// and 9.9248 at 0.99 everywhere. The frame's inner edges, found from the centre outwards, lie
// at the data's extent (band included) widened by 5 %.
TEST_F(BatchTest, PaperFigureDrawsTheMeanAndItsBandWhereTheDataSay) {
    QStringList arguments{"--plot-style", "paper", "--output",
                          QString::fromStdString(path("p.mrg"))};
    for (double offset : {0.0, 2.0, 10.0})
        arguments << QString::fromStdString(
            writeCurve(QStringLiteral("line%1.txt").arg(offset), {{0, offset}, {10, 10 + offset}}));
    const QString table = QString::fromStdString(path("s.csv"));
    const struct {
        const char *band;
        QStringList more;
        double halfWidth;
    } cases[] = {{"sd", {}, 5.2915026},
                 {"se", {}, 3.0550505},
                 {"none", {}, 0},
                 {"ci", {}, 13.1448212}, // 0.95 without --confidence, and without a table
                 {"ci", {"--confidence", "0.99", "--statistics", table}, 30.3208968}};
    const QString png = QString::fromStdString(path("paper.png"));
    for (const auto &band : cases) {
        SCOPED_TRACE(band.band + band.more.join(' ').toStdString());
        Result r =
            runBatch(arguments + band.more + QStringList{"--plot", png, "--band", band.band});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QImage image(png);
        auto walk = [&](QPoint p, QPoint step) { // to the last pixel before the dark frame
            while (QColor(image.pixel(p + step)).value() > 100)
                p += step;
            return p;
        };
        const QPoint centre(image.width() / 2, image.height() / 2);
        const int left = walk(centre, {-1, 0}).x(), right = walk(centre, {1, 0}).x();
        const int top = walk(centre, {0, -1}).y(), bottom = walk(centre, {0, 1}).y();
        // The lowest and highest y drawn: the lines' or the band's.
        const double yLow = std::min(0.0, 4 - band.halfWidth);
        const double yHigh = std::max(20.0, 14 + band.halfWidth);
        const double margin = (yHigh - yLow) / 20;
        auto row = [&](double y) {
            return top + (yHigh + margin - y) / (yHigh - yLow + 2 * margin) * (bottom - top);
        };
        const int column = qRound(left + 5.5 / 11 * (right - left)); // x 5: the mean is 9
        double red = 0, redRows = 0, pink = 0, pinkRows = 0;
        for (int y = top; y <= bottom; ++y) {
            const QColor p = image.pixelColor(column, y);
            if (p == QColor(255, 0, 0))
                red += 1, redRows += y;
            if (p.red() == 255 && std::abs(p.green() - 205) <= 2 && p.green() == p.blue())
                pink += 1, pinkRows += y; // the band over white
        }
        EXPECT_NEAR(redRows / red, row(9), 2.0);
        EXPECT_NEAR(pink, row(9 - band.halfWidth) - row(9 + band.halfWidth), 12);
        if (pink > 0) {
            EXPECT_NEAR(pinkRows / pink, row(9), 6.0);
        }
        if (band.more.contains(table)) { // the table holds the band's interval at x 5
            const QList<QByteArray> fields = readAll(path("s.csv")).split('\n')[51].split(',');
            ASSERT_EQ(fields.size(), 10);
            EXPECT_EQ(fields[1], "5");
            EXPECT_NEAR(fields[9].toDouble() - fields[2].toDouble(), band.halfWidth, 1e-6);
        }
    }
}

// The paper figure as SVG: one path per input curve (grey), one for the mean (red), one for
// the band, in a page of points; the panel as SVG holds the panel's picture.
TEST_F(BatchTest, SvgFiguresParseAndHoldOnePathPerCurve) {
    const QString svg = QString::fromStdString(path("figure.svg"));
    for (QString style : {"paper", "panel"}) {
        SCOPED_TRACE(style.toStdString());
        Result r = runBatch({QString::fromStdString(a), QString::fromStdString(b), "--plot", svg,
                             "--plot-style", style, "--plot-size", "600x400", "--output",
                             QString::fromStdString(path("s.mrg"))});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        QFile file(svg);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&file);
        QMap<QString, int> elements; // paths by the colour of their group, images, the page
        QString colour;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            const auto value = [&](const char *name) {
                return xml.attributes().value(name).toString();
            };
            if (xml.name() == QLatin1String("svg"))
                elements[value("width") + " " + value("viewBox")] = 1;
            else if (xml.name() == QLatin1String("g") && !value("stroke").isEmpty())
                colour = value("stroke") == "none" ? "fill " + value("fill") : value("stroke");
            else if (xml.name() == QLatin1String("path") || xml.name() == QLatin1String("image"))
                ++elements[xml.name() == QLatin1String("image") ? "image" : colour];
        }
        ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
        QMap<QString, int> expected{{"211.667mm 0 0 600 400", 1}}; // 600 points
        if (style == "paper")
            expected.insert({{"#aaaaaa", 2}, {"#ff0000", 1}, {"fill #ff0000", 1}});
        else
            expected["image"] = 1;
        EXPECT_EQ(elements, expected);
    }
}
