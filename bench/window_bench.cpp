// The main window at the input format's limits, headless: wall time of adding the tenth
// limit-size file (measuring it and redrawing all ten curves) and of "Write to File" with
// 32767 divisions and its drawing, the longest time the event loop went unserviced during
// each command, and the process's peak memory. Prints "RESULT <name> <value> <unit>" lines
// (medians over the repetitions) for bench/run.sh.
//
// Usage: window_bench [--repetitions=N]

#include "curve_files.h"

#include "workbench/form1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace mergon::bench {
namespace {

// Records the longest gap between services of the event loop while it runs: a fast timer
// can only fire when the loop is serviced, so the gap between its timeouts is that interval.
class LoopGapMonitor {
  public:
    explicit LoopGapMonitor(int intervalMs) {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(intervalMs);
        QObject::connect(&timer_, &QTimer::timeout, [this] { mark(); });
    }
    void start() {
        maxGapNs_ = 0;
        clock_.start();
        lastNs_ = 0;
        timer_.start();
    }
    // The longest gap in ms, the stretch from the last service to now included.
    double stop() {
        mark();
        timer_.stop();
        return static_cast<double>(maxGapNs_) / 1e6;
    }

  private:
    void mark() {
        const qint64 now = clock_.nsecsElapsed();
        maxGapNs_ = std::max(maxGapNs_, now - lastNs_);
        lastNs_ = now;
    }
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 lastNs_ = 0, maxGapNs_ = 0;
};

struct Measure {
    double ms = 0;
    double gapMs = 0;
};

template <typename Command> Measure timed(LoopGapMonitor &monitor, Command command) {
    QElapsedTimer clock;
    monitor.start();
    clock.start();
    command();
    Measure m;
    m.ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    m.gapMs = monitor.stop();
    return m;
}

long countLines(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return static_cast<long>(
        std::count(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), '\n'));
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

struct Run {
    Measure add, write;
};

// One session from scratch: nine files added untimed, then the tenth addition and "Write to
// File" timed. Returns false, with the reason on stderr, when a command did not succeed.
bool runOnce(const std::vector<CurveFile> &files, const std::string &output, Run &run) {
    Form1 form;
    size_t next = 0;
    std::vector<QString> messages;
    form.setChooser([&] { return std::optional<std::string>(files.at(next++).path); });
    form.setMessageSink([&](const QString &title, const QString &text) {
        messages.push_back(title + QStringLiteral(": ") + text);
    });
    form.show();
    QCoreApplication::processEvents();

    while (next + 1 < files.size())
        form.Command2->click();
    LoopGapMonitor monitor(1);
    run.add = timed(monitor, [&] { form.Command2->click(); });

    form.Text2[0]->setText(QString::fromStdString(output));
    form.Text3->setText(QString::number(kLimitLines));
    run.write = timed(monitor, [&] { form.Command1->click(); });
    QCoreApplication::processEvents();

    bool ok = true;
    for (const QString &m : messages) {
        std::fprintf(stderr, "window_bench: message shown: %s\n", m.toLocal8Bit().constData());
        ok = false;
    }
    if (form.session().fileCount() != static_cast<int>(files.size())) {
        std::fprintf(stderr, "window_bench: %d files loaded, expected %zu\n",
                     form.session().fileCount(), files.size());
        ok = false;
    }
    if (form.Text1->text() != QStringLiteral("Finish")) {
        std::fprintf(stderr, "window_bench: status after writing is \"%s\"\n",
                     form.Text1->text().toLocal8Bit().constData());
        ok = false;
    }
    // The timed commands must really have drawn: black input curves and the red mean.
    const QImage image = form.graphPanel()->canvas().image();
    long red = 0, black = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            red += qRed(p) > 200 && qGreen(p) < 80 && qBlue(p) < 80;
            black += qRed(p) < 80 && qGreen(p) < 80 && qBlue(p) < 80;
        }
    if (red < 100 || black < 100) {
        std::fprintf(stderr, "window_bench: the panel shows %ld red and %ld black pixels\n", red,
                     black);
        ok = false;
    }
    const long lines = countLines(output);
    if (lines != kLimitLines + 2) { // the header and divisions + 1 grid points
        std::fprintf(stderr, "window_bench: output has %ld lines, expected %d\n", lines,
                     kLimitLines + 2);
        ok = false;
    }
    return ok;
}

} // namespace
} // namespace mergon::bench

int main(int argc, char **argv) {
    using namespace mergon::bench;
    int repetitions = 5;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--repetitions=", 14) == 0)
            repetitions = std::max(1, std::atoi(argv[i] + 14));
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    TempFolder folder;
    const std::vector<CurveFile> files =
        writeCurveFiles(folder.path(), "limit", kLimitFiles, kLimitLines);
    const std::string output = folder.file("limit.mrg");
    std::printf("inputs: %d files x %d lines (%.2f MB each); platform %s; %d repetitions\n",
                kLimitFiles, kLimitLines, static_cast<double>(files.front().bytes) / 1e6,
                QGuiApplication::platformName().toLocal8Bit().constData(), repetitions);
    std::printf("peak memory before the window: %.1f MB\n",
                static_cast<double>(peakResidentKiB()) / 1024.0);

    std::vector<double> addMs, addGap, writeMs, writeGap;
    for (int r = 1; r <= repetitions; ++r) {
        Run run;
        if (!runOnce(files, output, run))
            return 1;
        std::printf(
            "run %d: add tenth %.1f ms (loop gap %.1f ms), write %.1f ms (loop gap %.1f ms)\n", r,
            run.add.ms, run.add.gapMs, run.write.ms, run.write.gapMs);
        std::fflush(stdout);
        addMs.push_back(run.add.ms);
        addGap.push_back(run.add.gapMs);
        writeMs.push_back(run.write.ms);
        writeGap.push_back(run.write.gapMs);
    }
    std::printf("RESULT add_tenth %.1f ms\n", median(addMs));
    std::printf("RESULT add_tenth_gap %.1f ms\n", median(addGap));
    std::printf("RESULT add_tenth_gap_worst %.1f ms\n",
                *std::max_element(addGap.begin(), addGap.end()));
    std::printf("RESULT write %.1f ms\n", median(writeMs));
    std::printf("RESULT write_gap %.1f ms\n", median(writeGap));
    std::printf("RESULT write_gap_worst %.1f ms\n",
                *std::max_element(writeGap.begin(), writeGap.end()));
    std::printf("RESULT peak_memory %.1f MB\n", static_cast<double>(peakResidentKiB()) / 1024.0);
    return 0;
}
