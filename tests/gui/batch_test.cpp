// mergon-batch against the window: the same output to the byte, sticky options, bad inputs,
// usage errors and exit codes, files in other formats, and the rendered graph.
#include "engine/bad_inputs.h"
#include "engine/real_files.h"
#include "form1_fixture.h"

#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>

#include <sstream>

using namespace mergon;

class BatchTest : public Form1Fixture {
  protected:
    void SetUp() override {
        Form1Fixture::SetUp();
        A = q(writeCurve("a.txt", {{0.1, 1}, {0.35, 2.5}, {0.7, 3}, {1.3, -0.25}}));
        B = q(writeCurve("b.txt", {{0.2, 2}, {0.9, 1.75}, {0.5, 0.5}, {1.1, 4}}));
    }
    static QString q(const std::string &text) { return QString::fromStdString(text); }
    QString A, B;
};

// At the start settings, with the verbose report. Files with their own settings: the copied
// batch command test.
TEST_F(BatchTest, WritesTheWindowsFilesByteForByte) {
    add(A.toStdString());
    add(B.toStdString());
    form->Command1->click(); // writes to the derived name a.mrg
    ASSERT_TRUE(messages.empty()) << messages.front().text.toStdString();
    const QByteArray atStart = readAll(path("a.mrg"));
    QFile::remove(q(path("a.mrg")));
    Result r = runBatch({"--verbose", A, B});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(readAll(path("a.mrg")), atStart);
    EXPECT_TRUE(r.out.contains("common range 0.2 to 1.1, 100 divisions")) << r.out.toStdString();
}

TEST_F(BatchTest, UsageAndOptionErrorsGiveTheirExitStatus) {
    const QString H = q(writeFile("h.txt", "h \"h\"\n1 2\n"));
    // The arguments, the exit status and part of standard error.
    std::vector<std::tuple<QStringList, int, QString>> cases = {
        // clang-format off
        {{"--divisions", "3"}, 2, "give one or more input files"},
        {{"--jobs", "0", A}, 2, "--jobs takes a whole number from 1 to 1024"},
        {{"--colour", A, B}, 2, "unknown option --colour\n"},
        {{"--divisons", "5", A, B}, 2, "unknown option --divisons; did you mean '--divisions'?\n"},
        {{A, B, "--verb"}, 2, "unknown option --verb; did you mean '--verbose'?\n"},
        {{A, B, "--verbose=yes"}, 2, "--verbose takes no value"},
        {{A, B, "--dpi", "300.5"}, 2, "--dpi takes a whole number from 10 to 10000"},
        {{A, B, "--font-size=0"}, 2, "--font-size takes points from 1 to 100"},
        {{A, B, "--legend", "yes"}, 2, "--legend takes on|off, not \"yes\""},
        {{A, B, "--y-limits", "2:1"}, 2, "--y-limits needs A below B"},
        {{A, B, "--x-limits", "0:"}, 2, "--x-limits takes two numbers A:B"},
        {{A, B, "--plot", "f.png", "--plot-size", "900x10mm", "--dpi", "600"}, 2,
         "the figure must be 1 to 10000 pixels a side, not 21260x236 at 600 dpi"},
        {{A, B, "--divisions"}, 2, "--divisions needs a value"},
        {{A, B, "--plot", "graph.jpg"}, 2, "--plot writes a .png, .svg or .pdf file"},
        {{A, B, "--range", "all"}, 2, "--range takes common|union"},
        {{"--separator", "comma", "--decimal-comma", A, B}, 2,
         "--decimal-comma and --separator comma cannot both apply to " + A},
        {{"--separator", "tab", A, B}, 2, "--separator takes semicolon or comma"},
        {{"--x-name", "Time", A, B}, 1,
         "mergon-batch: " + A + ": The column name \"Time\" is not on the last header line of " + A + ". (5)"},
        {{"--skip-lines", "1", "--y-name", "h", H, B}, 1,
         "The column name \"h\" is on the last header line of " + H + " more than once. (5)"},
        {{"--skip-lines", "0", "--y-name", "1", A, B}, 1, "not on the last header line"}, // no header line
        {{A, B, "--range", "1:2:3"}, 2, "--range FROM:TO takes two numbers"},
        {{A, B, "--range", "0:inf"}, 2, "takes two numbers"}, // an end not in the files' grammar
        {{A, B, "--range", "1.5E+00:1.5"}, 2, "needs FROM below TO"}, // equal as written
        {{A, B, "--range", "-1e39:0"}, 2, "single precision"},
        {{A, B, "--range", "0:1D999"}, 2, "single precision"}, // beyond double precision too
        {{A, B, "--range", "0:1", "--output", q(path("r.mrg"))}, 1,
         "No input file covers x = 0, so there is nothing to average there. (5)"},
        {{A, B, "--statistics", "s.csv", "--confidence", "1"}, 2, "--confidence takes a level between 0 and 1"},
        {{A, B, "--confidence", "0.95"}, 2, "--confidence needs --statistics"},
        // Option values are numbers of the input files' grammar, the whole text; counts whole
        // numbers within their limits (the whole text one number is the engine's test).
        {{"--x-column", "abc", A}, 2, "--x-column takes a whole number of 1 or more, not \"abc\""},
        {{"--y-column", "0", A}, 2, "--y-column takes a whole number of 1 or more, not \"0\""},
        {{"--skip-lines", "-1", A}, 2, "--skip-lines takes a whole number of 0 or more, not \"-1\""},
        {{"--divisions", "50.5", A}, 2, "--divisions takes a whole number of 1 or more, not \"50.5\""},
        {{"--weight", "0,5", A}, 2, "--weight takes a number, not \"0,5\""},
        {{"--x-coefficient", "1.5 ", A}, 2, "--x-coefficient takes a number, not \"1.5 \""},
        {{"--y-coefficient", "inf", A}, 2, "--y-coefficient takes a number, not \"inf\""},
        // clang-format on
    };
    // Sizes from 1 to 10000, as whole numbers and nothing else; digits beyond any integer too.
    // clang-format off
    for (const char *size : {"big", "0x10", "10x10001", "-5x10", "+5x10", "99999999999999999999x10",
                             "10x", "10x10x10", " 10x10", "10.5x10", "0x60mm", "85x60 mm",
                             "85x60mmm", "inx1in", "1e2x1cm", "1x1m"})
        // clang-format on
        cases.emplace_back(QStringList{A, B, "--plot-size", size}, 2,
                           QStringLiteral("mergon-batch: --plot-size takes WIDTHxHEIGHT with an "
                                          "optional unit px, mm, cm, in or pt, not \"%1\"\n")
                               .arg(size));
    // A usage error is one line, then where to read more; a failure is one line.
    for (const auto &[arguments, exitCode, expected] : cases) {
        const Result r = runBatch(arguments);
        EXPECT_TRUE(
            r.exitCode == exitCode && r.err.contains(expected) && r.err.count('\n') == exitCode &&
            r.err.endsWith("Try 'mergon-batch --help' for more information.\n") == (exitCode == 2))
            << r.exitCode << ' ' << (arguments.join(' ') + ": " + r.err).toStdString();
    }
    const Result help = runBatch({"--help"});
    EXPECT_TRUE(help.exitCode == 0 && help.out.startsWith("Usage: mergon-batch"));
    for (const char *option : {"--version", "-V"}) { // the text, then the exit status
        const Result v = runBatch({option});
        EXPECT_EQ(v.out + QString::number(v.exitCode), "mergon-batch " MERGON_VERSION "\n0");
    }
}

// A tab-separated file with decimal commas and named columns, and a semicolon file, hold the
// data of a and b: they give the table of a and b in the default format. Whole numbers written
// with an exponent, and values with a decimal comma, give what the plain forms give.
TEST_F(BatchTest, FilesInOtherFormatsAndOptionValuesInOtherFormsGiveTheSameTable) {
    const QString tabs = q(
        writeFile("tabs.txt",
                  "DSC run\r\nsample a\r\nNo\t\"Heat flow/mW\"\tTime/s\tTsample/C\r\n"
                  "1\t1\t0\t0,1\r\n2\t2,5\t3\t0,35\r\n3\t3,0E+00\t6\t,7\r\n4\t-0,25\t9\t1,3\r\n"));
    const QString semicolons =
        q(writeFile("semicolons.csv", "Tsample/C;No;\"Heat flow/mW\"\r\n"
                                      "0,2;1;2\r\n0,9;2;1,75D0\r\n0,5;3;0,5\r\n1,1;4;4\r\n"));
    const QString plain = q(path("plain.mrg")), other = q(path("other.mrg"));
    Result r =
        runBatch({"--verbose", "--weight", "0.5", A, B, "--range", "0.2:1.1", "--output", plain});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("chosen range 0.2 to 1.1,")) << r.out.toStdString();
    const QStringList names{"--x-name", "Tsample/C", "--y-name", "Heat flow/mW"};
    r = runBatch(QStringList{"--verbose", "--decimal-comma", "--weight", "0,5"} + names +
                 QStringList{"--skip-lines", "3E+00", tabs, "--skip-lines", "1", semicolons} +
                 QStringList{"--divisions", "1E+02", "--range", "0,2:1.1", "--output", other});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(readAll(other.toStdString()), readAll(plain.toStdString()));
    // Each file's rules, then the columns its names stand for.
    const QString shown =
        "  decimal comma, fields separated by blanks, tabs and semicolons\n"
        "  x column %1 named \"Tsample/C\"\n  y column %2 named \"Heat flow/mW\"\n";
    EXPECT_TRUE(r.out.contains(shown.arg(4).arg(2)) && r.out.contains(shown.arg(1).arg(3)))
        << r.out.toStdString();
    // A file named twice counts twice, with a warning.
    r = runBatch({A, A, "--output", other});
    EXPECT_EQ(std::tuple(r.exitCode, r.err),
              std::tuple(0, "mergon-batch: warning: " + A +
                                " is named more than once; it counts each time\n"));
}

// Many files, one beyond the window's 32767 lines, read on one thread and on three: the same
// output, statistics and report to the byte (tables long enough for the threads to make their
// lines ahead of the writing); with two bad files, the first is the one named.
TEST_F(BatchTest, ManyFilesGiveTheSameBytesOnOneThreadAndOnThree) {
    QStringList files;
    for (int i = 0; i < 13; ++i) {
        QByteArray text = "h\r\nh\r\nt a b c x y\r\n";
        for (int j = 0; j < (i == 5 ? 40000 : 50 + 37 * i); ++j)
            text += QByteArray::number(j) + " 0 0 0 " + QByteArray::number(i * 0.25 + j * 0.01) +
                    " " + QByteArray::number(std::sin(j * 0.05 + i) * (i + 1), 'g', 12) + "\r\n";
        files << q(writeFile(QString("m%1.txt").arg(i), text));
    }
    auto run = [&](const QStringList &inputs, const QString &jobs) {
        const QString name = "jobs" + jobs;
        Result r = runBatch(QStringList{"--jobs", jobs, "--range", "union", "--divisions", "20000",
                                        "--verbose", "--output", q(path(name + ".mrg")),
                                        "--statistics", q(path(name + ".csv"))} +
                            inputs);
        return std::tuple(r.exitCode, r.out.toStdString(), r.err.toStdString(),
                          readAll(path(name + ".mrg")), readAll(path(name + ".csv")));
    };
    const auto one = run(files, "1");
    ASSERT_EQ(std::get<0>(one), 0) << std::get<2>(one);
    EXPECT_TRUE(std::get<1>(one).find("40000 lines") != std::string::npos);
    EXPECT_EQ(std::get<3>(one).count("\r\n"), 20002);
    EXPECT_EQ(run(files, "3"), one);

    QStringList bad = files;
    bad[2] = q(writeFile("bad2.txt", "h\r\nh\r\nh\r\n1 2 3 4 x 6\r\n"));
    bad[8] = q(writeFile("bad8.txt", ""));
    const auto failing = run(bad, "1");
    EXPECT_EQ(std::get<2>(failing),
              "mergon-batch: " + bad[2].toStdString() + ": " + bad_inputs::added(13) +
                  "\nmergon-batch: line 4, column 5: \"x 6\" is not a number\n");
    EXPECT_EQ(run(bad, "3"), failing);
}

// The engine's table of bad inputs, through the command line: exit status 1 and the message
// after the thing it is about (2 and the usage for options refused at once), or the output
// file on success; no input changes, and a failure changes no file.
TEST(BatchBadInputs, EachGivesItsMessageAndExitStatusAndAFailureChangesNoFile) {
    bad_inputs::forEachCase(
        [](const bad_inputs::Case &c, const bad_inputs::Prepared &p, const TempDir &dir) {
            QStringList arguments;
            for (size_t i = 0; i < c.inputs.size(); ++i)
                arguments << inputArguments(c.inputs[i].settings, p.inputs[i]);
            for (const auto &[option, value] : {std::pair{"--output", c.output},
                                                {"--statistics", c.statistics},
                                                {"--plot", c.plot}})
                if (!value.empty())
                    arguments << QString::fromUtf8(option) << QString::fromStdString(value);
            arguments << "--divisions" << QString::fromStdString(c.divisions);

            if (c.unprivileged() && !ordinaryUserMayRunBatch()) {
                std::cout << "skipped \"" << c.what << "\": an ordinary user may not run "
                          << MERGON_BATCH << "\n";
                return c.code == 0 ? 0 : 1;
            }
            Result r =
                runBatch(arguments, QString::fromStdString(dir.root.string()), c.unprivileged());
            const auto [code, expected] = c.inBatch.value_or(std::pair{c.code, c.expected});
            const std::string message =
                !c.usage.empty() ? "mergon-batch: " + c.usage +
                                       "\nTry 'mergon-batch --help' for more information.\n"
                : code == 0 ? ""
                            : "mergon-batch: " + (p.subject.empty() ? "" : p.subject + ": ") +
                                  expected + "\n";
            // A failed addition names its cause on a second line (real_files.h checks the
            // words).
            const QRegularExpression err(
                "^" + QRegularExpression::escape(QString::fromStdString(message)) +
                (code != 0 && c.failingInput != 0 ? "mergon-batch: [^\n]+\n$" : "$"));
            EXPECT_EQ(std::tuple(r.exitCode, err.match(r.err).hasMatch(), r.out.toStdString()),
                      std::tuple(c.usage.empty() ? int(code != 0) : 2, true, std::string()))
                << r.err.toStdString();
            if (code == 0) {
                const QByteArray output = readAll(dir.file(c.output));
                if (expected.empty())
                    EXPECT_EQ(output.count("\r\n"), std::stoll(c.divisions) + 2);
                else
                    EXPECT_EQ(output.toStdString(), expected);
            }
            return code;
        },
        true);
}

// The table of real-file shapes through the command line: the verbose line of the file each
// row is about, the same output and statistics as its rows in rising order, and on a failure
// the window's sentence, then its cause.
TEST(BatchRealFiles, ReadAsWrittenAndFailuresNameTheirCause) {
    const auto argumentsOf = [](const std::vector<real_files::Input> &inputs,
                                const std::vector<std::string> &paths) {
        QStringList arguments{"--verbose", "--range",  "union",  "--statistics",
                              "out.csv",   "--output", "out.mrg"};
        for (size_t i = 0; i < inputs.size(); ++i)
            arguments << inputArguments(inputs[i].settings, paths[i]);
        return arguments;
    };
    real_files::forEachShape([&](const real_files::Shape &shape,
                                 const std::vector<std::string> &paths, const TempDir &dir) {
        const Result r =
            runBatch(argumentsOf(shape.inputs, paths), QString::fromStdString(dir.root.string()));
        if (shape.code != 0) {
            EXPECT_EQ(std::tuple(r.exitCode, r.err.toStdString()),
                      std::tuple(1, "mergon-batch: " + paths.back() + ": " +
                                        bad_inputs::added(shape.code) + "\nmergon-batch: " +
                                        bad_inputs::filledIn(shape.detail, paths.back(), dir) +
                                        "\n"));
            return;
        }
        std::ostringstream verbose;
        verbose << paths.back() << ": " << shape.read.lineCount << " lines, "
                << shape.read.fieldsPerLine << " fields per line, x from " << shape.read.xMin
                << " to " << shape.read.xMax << "\n";
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_TRUE(r.out.contains(QString::fromStdString(verbose.str())))
            << verbose.str() << r.out.toStdString();
        if (shape.sameMeanAs.empty())
            return;
        TempDir otherDir;
        const Result other =
            runBatch(argumentsOf(shape.sameMeanAs, real_files::make(shape.sameMeanAs, otherDir)),
                     QString::fromStdString(otherDir.root.string()));
        ASSERT_EQ(other.exitCode, 0) << other.err.toStdString();
        for (const char *name : {"out.mrg", "out.csv"})
            EXPECT_EQ(readAll(dir.file(name)), readAll(otherDir.file(name))) << name;
    });
}

// Three lines y = x, x + 2, x + 10 over x 0 to 10: the mean is x + 4, the standard deviation
// sqrt(28) = 5.2915, the standard error 3.0551 and t for 2 degrees of freedom 4.3027 at 0.95
// and 9.9248 at 0.99 everywhere. The frame's inner edges, found from the centre outwards, lie
// at the data's extent (band included) widened by 5 %.
TEST_F(BatchTest, PaperFigureDrawsTheMeanAndItsBandWhereTheDataSay) {
    const QString png = q(path("paper.png"));
    QStringList arguments{"--plot-style", "paper", "--legend", "off",
                          "--plot",       png,     "--output", q(path("p.mrg"))};
    for (double offset : {0.0, 2.0, 10.0})
        arguments << q(writeCurve("y" + QString::number(offset), {{0, offset}, {10, 10 + offset}}));
    // The band, more options, and down the frame's height from its top edge: the mean 9 and the
    // band's upper and lower edges. For sd the data span y 4 - 5.29 to 20, 21.29 high, and 5 %
    // more on each side, 23.42: 9 lies 20 + 1.06 - 9 = 12.06 below the top, at 0.515.
    const std::tuple<QString, QStringList, double, double, double> cases[] = {
        {"sd", {}, 0.5151, 0.2892, 0.7411},
        {"se", {}, 0.5455, 0.4066, 0.6843},
        {"none", {}, 0.5455, 0.5455, 0.5455},
        {"ci", {}, 0.5, 0.1707, 0.8293}, // 0.95 without --confidence, and without a table
        {"ci", {"--confidence", "0.99", "--statistics", q(path("s.csv"))}, 0.5, 0.1098, 0.8902}};
    for (const auto &[band, more, meanAt, bandFrom, bandTo] : cases) {
        SCOPED_TRACE((band + more.join(' ')).toStdString());
        Result r = runBatch(arguments + more + QStringList{"--band", band});
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
        auto row = [&](double fraction) { return top + fraction * (bottom - top); };
        const int column = qRound(left + 5.5 / 11 * (right - left)); // x 5: the mean is 9
        double red = 0, redRows = 0, pink = 0, pinkRows = 0;
        for (int y = top; y <= bottom; ++y) {
            const QColor p = image.pixelColor(column, y);
            if (p == QColor(255, 0, 0))
                red += 1, redRows += y;
            if (p.red() == 255 && std::abs(p.green() - 205) <= 2 && p.green() == p.blue())
                pink += 1, pinkRows += y; // the band over white
        }
        EXPECT_NEAR(redRows / red, row(meanAt), 2.0);
        // The red mean and the grey lines through the band hide a few of its rows.
        EXPECT_NEAR(pink, row(bandTo) - row(bandFrom), 20);
        EXPECT_NEAR(pink > 0 ? pinkRows / pink : row(meanAt), row(meanAt), 6.0);
    }
    // The table holds the last band's interval at x 5: 9 +- 9.9248 * 3.0551.
    const QList<QByteArray> cells = readAll(path("s.csv")).split('\n').value(51).split(',');
    EXPECT_EQ(std::tuple(cells.size(), cells.value(1), cells.value(2)), std::tuple(10, "5", "9"));
    EXPECT_NEAR(cells.value(9).toDouble() - cells.value(2).toDouble(), 30.3208968, 1e-6);
}

// What a reader of a figure file finds in it, one fact a line. PNG: its size and resolution tag,
// "clear edge" when its outermost pixels are white (nothing touches the edge), "panel colours"
// with many red (mean), blue (axes) and black (input) pixels. SVG: the page's size, the first
// text's size at the printed size, each text element, and the paths by their group's stroke (or
// fill) colour. PDF: the MediaBox in whole points, "fonts embedded".
QStringList readFigure(const QString &path) {
    QStringList facts;
    if (path.endsWith(".png")) {
        const QImage image(path);
        facts << QString::asprintf("%dx%d at %d dpi", image.width(), image.height(),
                                   qRound(image.dotsPerMeterX() * 0.0254));
        QImage edge = image.convertToFormat(QImage::Format_ARGB32); // whitened inside
        QPainter(&edge).fillRect(edge.rect().adjusted(2, 2, -2, -2), Qt::white);
        if (!image.isNull() && countColour(edge, Qt::white) == edge.width() * edge.height())
            facts << "clear edge";
        if (std::ranges::all_of(QList{Qt::red, Qt::blue, Qt::black},
                                [&](auto c) { return countColour(image, QColor(c)) > 50; }))
            facts << "panel colours";
    } else if (path.endsWith(".svg")) {
        QXmlStreamReader xml(readAll(path.toStdString())); // a missing file: an error below
        double mmPerUnit = 0;
        QString colour;
        QMap<QString, int> paths; // by colour
        bool sized = false;       // by the first text
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            const auto value = [&](auto key) { return xml.attributes().value(key).toString(); };
            const QString name = xml.name().toString();
            if (name == "svg") {
                facts << value("width") + " x " + value("height");
                mmPerUnit = QString(value("width")).remove("mm").toDouble() /
                            value("viewBox").split(' ').value(2).toDouble();
            } else if (name == "g" && !value("stroke").isEmpty()) {
                colour = value("stroke") == "none" ? "fill " + value("fill") : value("stroke");
            } else if (name == "path" || name == "image") {
                ++paths[name == "image" ? name : colour];
            } else if (name == "text") {
                if (!std::exchange(sized, true))
                    facts << QString::asprintf("%.1f pt", value("font-size").toDouble() *
                                                              mmPerUnit / 25.4 * 72);
                facts << "text " + xml.readElementText();
            }
        }
        EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
        QStringList byColour;
        for (const auto &[group, n] : paths.asKeyValueRange())
            byColour << group + " " + QString::number(n);
        facts << "paths " + byColour.join(", ");
    } else {
        const QByteArray pdf = readAll(path.toStdString());
        const QRegularExpressionMatch box =
            QRegularExpression(R"(/MediaBox \[0 0 ([\d.]+) ([\d.]+)\])").match(QString(pdf));
        facts << QString::asprintf("page %.0f x %.0f pt", box.captured(1).toDouble(),
                                   box.captured(2).toDouble());
        if (pdf.contains("/FontFile2"))
            facts << "fonts embedded";
    }
    return facts;
}

// The four sample runs (their last header line names x Tsample/C and y HeatFlow/mW, x from
// about 30 to 180) drawn as each request asks, checked on what a reader of the file sees.
TEST_F(BatchTest, FiguresAreWhatTheRequestAsks) {
    const QStringList runs{"run1.txt", "run2.txt", "run3.txt", "run4.txt"}; // in their folder
    const QStringList paper{"--plot-style", "paper"};
    const QStringList legend{"text mean of 4 curves", "text mean +- 1 sd", "text input curves"};
    // The file's type, the arguments, facts the file shows and facts it may not show.
    const std::tuple<QString, QStringList, QStringList, QStringList> cases[] = {
        // clang-format off
        {"png", paper + QStringList{"--plot-size", "1200x800"}, {"1200x800 at 300 dpi", "clear edge"}, {}},
        {"png", paper + QStringList{"--plot-size", "85x60mm", "--dpi", "600"},
         {"2008x1417 at 600 dpi", "clear edge"}, {}},
        {"png", paper + QStringList{"--plot-size", "4x3in", "--dpi=100", "--legend", "off", "--x-label", "",
                                    "--y-label", "", "--title", "Heating"}, {"400x300 at 100 dpi", "clear edge"}, {}},
        // The panel, tagged with the dpi given.
        {"png", {"--dpi", "150"}, {"329x217 at 150 dpi", "panel colours"}, {}},
        {"png", {"--plot-size", "2.54x1.27cm", "--dpi", "200"}, {"200x100 at 200 dpi"}, {}},
        // Labels from the header.
        {"svg", paper + QStringList{"--plot-size", "85x60mm"}, legend + QStringList{"85mm x 60mm", "8.0 pt",
         "text Tsample/C", "text HeatFlow/mW", "paths #aaaaaa 4, #ff0000 1, fill #ff0000 1"}, {}},
        {"svg", paper + QStringList{"--plot-size", "2x1in", "--font-size", "10", "--x-label", "T / \u00b0C",
                                    "--y-label", "", "--title", "Run A", "--band", "ci"},
         {"50.8mm x 25.4mm", "10.0 pt", "text T / \u00b0C", "text Run A", "text 95 % confidence interval"},
         {"text HeatFlow/mW", "text mean +- 1 sd"}},
        {"svg", paper + QStringList{"--plot-size", "600x400", "--legend=off", "--band", "none"},
         {"211.667mm x 141.111mm", "8.0 pt", "text Tsample/C"}, legend},
        {"svg", paper + QStringList{"--range", "120:135"}, // the frame follows the range
         {"text 120", "text 125", "text 130", "text 135"}, {"text 50", "text 100", "text 150"}},
        {"svg", paper + QStringList{"--range", "120:135", "--x-limits", "0:1000", "--y-limits", "-10:10"},
         {"text 0", "text 1000", "text \u221210", "text 10"}, {"text 135"}},
        {"svg", {"--plot-size", "600x400"}, {"211.667mm x 141.111mm", "paths image 1"}, {}},
        // Qt's PDF writer gives the page whole points.
        {"pdf", paper + QStringList{"--plot-size", "85x60mm"}, {"page 241 x 170 pt", "fonts embedded"}, {}},
        {"pdf", paper + QStringList{"--plot-size", "600x400pt"}, {"page 600 x 400 pt", "fonts embedded"}, {}},
        {"pdf", {}, {"page 329 x 217 pt"}, {"fonts embedded"}},
        // clang-format on
    };
    for (const auto &[type, arguments, facts, absent] : cases) {
        SCOPED_TRACE((type + ' ' + arguments.join(' ')).toStdString());
        const QString file = q(path("f." + type));
        QFile::remove(file);
        const Result r =
            runBatch(runs + arguments + QStringList{"--plot", file, "--output", q(path("f.mrg"))},
                     MERGON_EXAMPLES);
        EXPECT_EQ(std::tuple(r.exitCode, r.out, r.err), std::tuple(0, QString(), QString()));
        const QStringList seen = readFigure(file);
        for (const QString &fact : facts + absent)
            EXPECT_EQ(seen.contains(fact), facts.contains(fact))
                << fact.toStdString() << " in " << seen.join('|').toStdString();
    }
}

// The completion loads in bash, completes options from --help and offers the fixed values.
TEST(BatchCompletion, OffersOptionsFileNamesAndValues) {
    const std::pair<QString, QStringList> cases[] = {
        {"mergon-batch --div", {"--divisions"}},
        {"mergon-batch --legend ", {"off", "on"}},
        {"mergon-batch --range u", {"union"}},
        {"mergon-batch --band=", {"ci", "none", "sd", "se"}},
        {"mergon-batch --plot-style p", {"panel", "paper"}},
        {"mergon-batch --separator s", {"semicolon"}},
        {"mergon-batch " MERGON_EXAMPLES "/run1.t", {MERGON_EXAMPLES "/run1.txt"}}};
    for (const auto &[line, offered] : cases) {
        const Result r = runProgram({"-c", R"(source /usr/share/bash-completion/bash_completion
            source "$0"
            COMP_LINE=$1 COMP_POINT=${#1}
            read -ra COMP_WORDS <<< "$1"
            [[ $1 == *" " ]] && COMP_WORDS+=("")
            COMP_CWORD=$(( ${#COMP_WORDS[@]} - 1 ))
            _mergon_batch mergon-batch
            printf '%s\n' "${COMPREPLY[@]}" | sort)",
                                     MERGON_COMPLETION, line},
                                    {}, "bash");
        EXPECT_EQ(r.out.split('\n', Qt::SkipEmptyParts), offered)
            << line.toStdString() << ": " << r.err.toStdString();
    }
}
