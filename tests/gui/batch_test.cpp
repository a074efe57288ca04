// mergon-batch against the window: the same output to the byte, sticky options, errors and
// exit codes, and the rendered graph.
#include "form1_fixture.h"

#include <QImage>
#include <QProcess>
#include <QXmlStreamReader>

#include <cmath>

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

    Result r =
        runBatch({"--y-coefficient", "3", "--weight", "2", QString::fromStdString(a),
                  QString::fromStdString(b), "--x-column", "1", "--y-column=2", "--skip-lines", "1",
                  "--weight", "1.0", QString::fromStdString(c), "--divisions", "37", "--output",
                  QString::fromStdString(path("batch.mrg"))});
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
        {"plot neither PNG nor SVG", {A, B, "--plot", "graph.jpg"}, 2, "--plot writes a .png"},
        {"unknown range", {A, B, "--range", "all"}, 2, "--range takes common|union"},
        {"statistics over an input",
         {A, B, "--statistics", B},
         1,
         B + ": The statistics file is one of the input files or the output file; choose "
             "another name for it. (75)"},
        {"missing input",
         {A, QString::fromStdString(path("none.txt"))},
         1,
         QString::fromStdString(path("none.txt")) +
             ": This file includes error data or you may mistake column or skip indication. (53)"},
        {"text in the y column",
         {A, QString::fromStdString(writeFile("t.txt", "h\nh\nh\n1 2 3 4 5 six\n"))},
         1,
         "t.txt: This file includes error data or you may mistake column or skip indication. (13)"},
        {"missing output folder",
         {A, B, "--output", QString::fromStdString(path("x/y.mrg"))},
         1,
         "This output data file has been opened by another application. (76)"},
        {"zero divisions",
         {A, B, "--divisions", "0", "--output", QString::fromStdString(path("z.mrg"))},
         1,
         "z.mrg: "},
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
    EXPECT_TRUE(help.out.contains("--statistics PATH"));
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

namespace {

// Where a paper figure puts data values: found from the frame's inner edges, which lie at the
// data's extent widened by 5 % of its span.
struct FigureScale {
    QRect inner; // the first pixels inside the frame
    double xLow, xHigh, yLow, yHigh;
    int column(double x) const {
        return qRound(inner.left() + (x - xLow) / (xHigh - xLow) * inner.width());
    }
    double row(double y) const {
        return inner.top() + (yHigh - y) / (yHigh - yLow) * inner.height();
    }
};

bool dark(QColor c) { return c.red() < 100 && c.green() < 100 && c.blue() < 100; }

// Scans from the centre outwards to the frame.
QRect innerFrame(const QImage &image) {
    const QPoint centre(image.width() / 2, image.height() / 2);
    auto walk = [&](int dx, int dy) {
        QPoint p = centre;
        while (image.rect().contains(p + QPoint(dx, dy)) &&
               !dark(image.pixelColor(p + QPoint(dx, dy))))
            p += QPoint(dx, dy);
        return p;
    };
    return QRect(QPoint(walk(-1, 0).x(), walk(0, -1).y()), QPoint(walk(1, 0).x(), walk(0, 1).y()));
}

} // namespace

// Three lines y = x, x + 2, x + 10 over x 0 to 10: the mean is x + 4, the standard deviation
// sqrt(28) = 5.2915 and the standard error 3.0551 everywhere.
TEST_F(BatchTest, PaperFigureDrawsTheMeanAndItsBandWhereTheDataSay) {
    QStringList files;
    for (double offset : {0.0, 2.0, 10.0})
        files << QString::fromStdString(
            writeCurve(QStringLiteral("line%1.txt").arg(offset),
                       {{0, offset}, {5, 5 + offset}, {10, 10 + offset}}));
    const struct {
        const char *band;
        double halfWidth, yLow, yHigh; // the data's y extent, band included
    } cases[] = {
        {"sd", 5.2915026, 4 - 5.2915026, 20},
        {"se", 3.0550505, 0, 20},
        {"none", 0, 0, 20},
    };
    for (const auto &band : cases) {
        SCOPED_TRACE(band.band);
        const QString png = QString::fromStdString(path("paper.png"));
        Result r = runBatch(files + QStringList{"--plot", png, "--plot-style", "paper", "--band",
                                                band.band, "--output",
                                                QString::fromStdString(path("p.mrg"))});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QImage image(png);
        ASSERT_EQ(image.size(), QSize(1200, 800));
        const double span = band.yHigh - band.yLow;
        const FigureScale scale{innerFrame(image), -0.5, 10.5, band.yLow - span / 20,
                                band.yHigh + span / 20};
        const int column = scale.column(5); // the mean is 9 there
        double redRows = 0, redCount = 0, bandPixels = 0;
        for (int y = scale.inner.top(); y <= scale.inner.bottom(); ++y) {
            const QColor p = image.pixelColor(column, y);
            if (p == QColor(255, 0, 0))
                redRows += y, ++redCount;
            bandPixels += p.red() == 255 && std::abs(p.green() - 205) <= 2 && p.green() == p.blue();
        }
        ASSERT_GT(redCount, 0);
        EXPECT_NEAR(redRows / redCount, scale.row(9), 2.0);
        auto colourAt = [&](double y) { return image.pixelColor(column, qRound(scale.row(y))); };
        const QColor white(255, 255, 255);
        EXPECT_EQ(colourAt(9 + band.halfWidth + 0.35), white);
        EXPECT_EQ(colourAt(9 - band.halfWidth - 0.35), white);
        if (band.halfWidth > 0) {
            const QColor inside = colourAt(9 + 0.7 * band.halfWidth);
            EXPECT_EQ(inside.red(), 255);
            EXPECT_NEAR(inside.green(), 205, 2);
            EXPECT_NEAR(bandPixels, scale.row(9 - band.halfWidth) - scale.row(9 + band.halfWidth),
                        12);
        } else {
            EXPECT_EQ(bandPixels, 0);
        }
    }
}

// The paper figure as SVG: one path per input curve (grey), one for the mean (red), one for
// the band; the panel as SVG holds the panel's picture.
TEST_F(BatchTest, SvgFiguresParseAndHoldOnePathPerCurve) {
    const QString svg = QString::fromStdString(path("figure.svg"));
    for (const char *style : {"paper", "panel"}) {
        SCOPED_TRACE(style);
        Result r = runBatch({QString::fromStdString(a), QString::fromStdString(b), "--plot", svg,
                             "--plot-style", style, "--plot-size", "600x400", "--output",
                             QString::fromStdString(path("s.mrg"))});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        QFile file(svg);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&file);
        std::vector<QString> strokes{QString()}, fills{QString()}; // of the enclosing groups
        QMap<QString, int> paths;
        int images = 0;
        QString viewBox;
        while (!xml.atEnd()) {
            xml.readNext();
            const auto attributes = xml.attributes();
            if (xml.isStartElement() && xml.name() == QLatin1String("svg"))
                viewBox = attributes.value("viewBox").toString();
            if (xml.isStartElement() && xml.name() == QLatin1String("g")) {
                strokes.push_back(attributes.hasAttribute("stroke")
                                      ? attributes.value("stroke").toString()
                                      : strokes.back());
                fills.push_back(attributes.hasAttribute("fill")
                                    ? attributes.value("fill").toString()
                                    : fills.back());
            } else if (xml.isEndElement() && xml.name() == QLatin1String("g")) {
                strokes.pop_back();
                fills.pop_back();
            } else if (xml.isStartElement() && xml.name() == QLatin1String("path")) {
                ++paths[strokes.back() == "none" ? "fill " + fills.back() : strokes.back()];
            } else if (xml.isStartElement() && xml.name() == QLatin1String("image")) {
                ++images;
            }
        }
        ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
        EXPECT_EQ(viewBox, "0 0 600 400");
        if (QLatin1String(style) == QLatin1String("paper")) {
            EXPECT_EQ(paths,
                      (QMap<QString, int>{{"#aaaaaa", 2}, {"#ff0000", 1}, {"fill #ff0000", 1}}));
        } else {
            EXPECT_EQ(std::tuple(paths.size(), images), std::tuple(0, 1));
        }
    }
}
