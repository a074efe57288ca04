// Engine speed at the input format's limits: reading one file, "Write to File"'s computation
// over ten files, and the per-grid-point reference way beside ours at a size it can finish.
// Besides Google Benchmark's own report it prints one "RESULT <name> <value> <unit>" line per
// figure (medians of the repetitions, in CPU time and in wall time) for bench/run.sh.

#include "curve_files.h"

#include "engine/commands.h"
#include "reference/baseline_mean.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

namespace mergon::bench {
namespace {

constexpr int kBaselineFiles = 10;
constexpr int kBaselineLines = 1000;
constexpr const char *kBaselineDivisions = "100";
constexpr const char *kLimitDivisions = "32767";

struct Inputs {
    TempFolder folder;
    std::vector<CurveFile> limit;    // 10 files at the line limit
    std::vector<CurveFile> baseline; // 10 files small enough for the reference way
};
Inputs *inputs = nullptr;

// A session holding `files` with the start settings, as "Data File Open" leaves it; `kept`,
// when given, gets the rows of each addition.
Status loadSession(Session &s, const std::vector<CurveFile> &files, RowsBySlot *kept = nullptr) {
    TextFile file;
    Rows rows;
    for (const CurveFile &f : files) {
        takeNextSlot(s);
        Status status = addInputFile(s, file, f.path, SettingTexts{}, rows);
        if (!status.ok())
            return Status::failure(status.code(), f.path + ": " + status.message());
        if (kept)
            kept->push_back(rows);
    }
    return Status::success();
}

// The process's peak resident memory so far, in MB (VmHWM).
double peakMemoryMb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

// How much the peak memory grows while the window's way (streamed) adds a 96 MB file whose
// lines hold 16 MB items: reading keeps no item and no line, so it should not grow at all.
double hugeItemsMemoryGrowthMb(const std::filesystem::path &folder) {
    const std::string path = (folder / "huge_items.txt").string();
    {
        std::ofstream out(path, std::ios::binary);
        out << "header\r\nheader\r\nheader\r\n";
        const std::string block(1 << 20, 'x');
        for (int line = 1; line <= 6; ++line) {
            for (int mb = 0; mb < 16; ++mb)
                out << block;
            out << " 0 0 0 " << line << " " << line * 2 << "\r\n";
        }
    }
    const double before = peakMemoryMb();
    Session s;
    TextFile file;
    Rows rows;
    takeNextSlot(s);
    const Status status = addInputFile(s, file, path, SettingTexts{}, rows);
    std::filesystem::remove(path);
    if (!status.ok() || s.curves[0].lineCount != 6)
        return -1;
    return peakMemoryMb() - before;
}

// The counting passes and the reading of values of one limit-size file: the addition of the
// first file to a fresh session, the file streamed as the window reads it, or read whole in
// one go as mergon-batch reads it.
void readLimitFile(benchmark::State &state, TextFile::Reading reading) {
    const CurveFile &input = inputs->limit.front();
    TextFile file(reading);
    for (auto _ : state) {
        file.dropHeldFile(); // every iteration reads the disk (the page cache)
        Session s;
        takeNextSlot(s);
        Rows rows;
        Status status = addInputFile(s, file, input.path, SettingTexts{}, rows);
        if (!status.ok())
            return state.SkipWithError(status.message().c_str());
        benchmark::DoNotOptimize(rows.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(input.bytes));
    state.counters["input_bytes"] = static_cast<double>(input.bytes);
}

// The counting pass alone (lines and fields) over one limit-size file, streamed.
void countLimitFile(benchmark::State &state) {
    const CurveFile &input = inputs->limit.front();
    TextFile file;
    for (auto _ : state) {
        FileMeasure measure;
        Status status = measureFile(file, input.path, kHeaderLines, measure);
        if (!status.ok())
            return state.SkipWithError(status.message().c_str());
        benchmark::DoNotOptimize(measure.fieldCount);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(input.bytes));
    state.counters["input_bytes"] = static_cast<double>(input.bytes);
}

// Process CPU time in ms: what the work cost on one core, whatever else the machine runs.
double cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Wall-clock time in ms.
double wallMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// "Write to File" without its drawing, as the window runs it: every file read again.
void averageLimitFiles(benchmark::State &state) {
    Session s;
    if (Status st = loadSession(s, inputs->limit); !st.ok())
        return state.SkipWithError(st.message().c_str());
    const std::string output = inputs->folder.file("limit.mrg");
    TextFile file;
    double meanMs = 0, outputMs = 0; // the two parts, in CPU time
    for (auto _ : state) {
        const double start = cpuMs();
        double computed = start;
        WriteHooks hooks;
        hooks.beforeWriting = [&computed](const MeanCurve &) { computed = cpuMs(); };
        MeanCurve mean;
        const Status status = writeMean(s, file, output, kLimitDivisions, mean, hooks);
        if (!status.ok())
            return state.SkipWithError(status.message().c_str());
        meanMs += computed - start;
        outputMs += cpuMs() - computed;
    }
    state.counters["mean_cpu_ms"] = benchmark::Counter(meanMs, benchmark::Counter::kAvgIterations);
    state.counters["output_cpu_ms"] =
        benchmark::Counter(outputMs, benchmark::Counter::kAvgIterations);
}

// The reference way and ours on the same inputs, interleaved within every iteration so that
// a change of load on a shared machine hits both alike. Only the mean computation differs
// between the two; the preparation is shared. Counters: ms per call of each way and their
// ratio, in CPU and in wall time.
void baselineVersusOurs(benchmark::State &state) {
    constexpr int kOursPerIteration = 25; // ours is ~100 x faster: keep the shares comparable
    Session s;
    if (Status st = loadSession(s, inputs->baseline); !st.ok())
        return state.SkipWithError(st.message().c_str());
    TextFile file;
    MeanCurve prepared; // one write sets the common range and the grid
    if (Status st =
            writeMean(s, file, inputs->folder.file("prepared.mrg"), kBaselineDivisions, prepared);
        !st.ok())
        return state.SkipWithError(st.message().c_str());
    double slowCpu = 0, slowWall = 0, fastCpu = 0, fastWall = 0;
    using MeanWay = Status (*)(TextFile &, Session &, MeanCurve &);
    auto timeOne = [&](MeanWay way, double &cpu, double &wall) {
        const double c0 = cpuMs(), w0 = wallMs();
        MeanCurve mean;
        Status status = way(file, s, mean);
        benchmark::DoNotOptimize(mean.y.data());
        cpu += cpuMs() - c0;
        wall += wallMs() - w0;
        return status;
    };
    for (auto _ : state) {
        Status status = timeOne(baselineMeanCurve, slowCpu, slowWall);
        for (int i = 0; i < kOursPerIteration && status.ok(); ++i)
            status = timeOne(computeMeanCurve, fastCpu, fastWall);
        if (!status.ok())
            return state.SkipWithError(status.message().c_str());
    }
    const double n = static_cast<double>(state.iterations());
    const double slowCalls = n, fastCalls = n * kOursPerIteration;
    state.counters["baseline_cpu_ms"] = slowCpu / slowCalls;
    state.counters["ours_cpu_ms"] = fastCpu / fastCalls;
    state.counters["ratio_cpu"] = (slowCpu / slowCalls) / (fastCpu / fastCalls);
    state.counters["baseline_wall_ms"] = slowWall / slowCalls;
    state.counters["ours_wall_ms"] = fastWall / fastCalls;
    state.counters["ratio_wall"] = (slowWall / slowCalls) / (fastWall / fastCalls);
}

// Both ways must write the same output at the baseline size, or the ratio means nothing.
bool waysAgree() {
    Session fast, slow;
    if (!loadSession(fast, inputs->baseline).ok() || !loadSession(slow, inputs->baseline).ok())
        return false;
    TextFile file;
    MeanCurve a, b;
    const std::string outA = inputs->folder.file("ours.mrg"), outB = inputs->folder.file("ref.mrg");
    if (!writeMean(fast, file, outA, kBaselineDivisions, a).ok() ||
        !writeMean(slow, file, outB, kBaselineDivisions, b, {}, {}, {nullptr, baselineMeanCurve})
             .ok())
        return false;
    auto bytes = [](const std::string &path) {
        std::string text;
        if (std::FILE *f = std::fopen(path.c_str(), "rb")) {
            char buffer[4096];
            for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
                text.append(buffer, n);
            std::fclose(f);
        }
        return text;
    };
    return a.y == b.y && !bytes(outA).empty() && bytes(outA) == bytes(outB);
}

// Keeps the median of every benchmark's repetitions while the console shows the usual table.
class MedianReporter : public benchmark::ConsoleReporter {
  public:
    // Colours only on a terminal, so that logs stay plain text.
    MedianReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

    struct Median {
        double wallTime = 0; // ms
        double cpuTime = 0;  // ms
        benchmark::UserCounters counters;
    };
    std::map<std::string, Median> medians;
    std::vector<std::string> errors;

    void ReportRuns(const std::vector<Run> &runs) override {
        for (const Run &run : runs) {
            if (run.error_occurred)
                errors.push_back(run.run_name.function_name + ": " + run.error_message);
            // A single repetition has no aggregates; its one run is its median.
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            if (!run.error_occurred && (median || single))
                medians[run.run_name.function_name] = {
                    run.GetAdjustedRealTime() * unitToMs(run.time_unit),
                    run.GetAdjustedCPUTime() * unitToMs(run.time_unit), run.counters};
        }
        ConsoleReporter::ReportRuns(runs);
    }

  private:
    static double unitToMs(benchmark::TimeUnit unit) {
        switch (unit) {
        case benchmark::kNanosecond:
            return 1e-6;
        case benchmark::kMicrosecond:
            return 1e-3;
        case benchmark::kMillisecond:
            return 1.0;
        case benchmark::kSecond:
            return 1e3;
        }
        return 1.0;
    }
};

} // namespace
} // namespace mergon::bench

int main(int argc, char **argv) {
    using namespace mergon;
    using namespace mergon::bench;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;

    Inputs data;
    // First, while the peak memory is still low.
    const double hugeGrowth = hugeItemsMemoryGrowthMb(data.folder.path());
    if (hugeGrowth < 0) {
        std::fprintf(stderr, "the file of huge items could not be read\n");
        return 1;
    }
    data.limit = writeCurveFiles(data.folder.path(), "limit", kLimitFiles, kLimitLines);
    data.baseline = writeCurveFiles(data.folder.path(), "small", kBaselineFiles, kBaselineLines);
    inputs = &data;
    std::printf("inputs: %d files x %d lines (%.2f MB each), %d files x %d lines, in %s\n",
                kLimitFiles, kLimitLines, static_cast<double>(data.limit.front().bytes) / 1e6,
                kBaselineFiles, kBaselineLines, data.folder.path().c_str());
    if (!waysAgree()) {
        std::fprintf(stderr, "our way and the reference way disagree on the baseline inputs\n");
        return 1;
    }

    benchmark::RegisterBenchmark("read_limit_file", readLimitFile, TextFile::Reading::Streamed)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("read_limit_file_once", readLimitFile, TextFile::Reading::Whole)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("count_limit_file", countLimitFile)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("average_limit_files", averageLimitFiles)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("baseline_vs_ours", baselineVersusOurs)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->MinTime(2.0); // long: the ratio is noisy

    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("RESULT huge_items_memory_growth %.1f MB\n", hugeGrowth);
    benchmark::Shutdown();
    inputs = nullptr;

    for (const std::string &e : reporter.errors)
        std::printf("ERROR %s\n", e.c_str());
    // Every figure twice: CPU time (the work on one core) and wall time (what the machine,
    // shared or not, gave it).
    const auto &m = reporter.medians;
    auto has = [&m](const char *name) { return m.count(name) != 0; };
    // A reading figure: its time and its throughput over the file's bytes.
    auto reading = [&](const char *benchmark, const char *name) {
        if (!has(benchmark))
            return;
        const auto &r = m.at(benchmark);
        const double mb = r.counters.at("input_bytes").value / 1e6;
        std::printf("RESULT %s_ms %.3f ms\n", name, r.cpuTime);
        std::printf("RESULT %s_ms_wall %.3f ms\n", name, r.wallTime);
        std::printf("RESULT %s_throughput %.1f MB/s\n", name, mb / (r.cpuTime / 1e3));
        std::printf("RESULT %s_throughput_wall %.1f MB/s\n", name, mb / (r.wallTime / 1e3));
    };
    reading("read_limit_file", "read");
    reading("read_limit_file_once", "read_once");
    reading("count_limit_file", "count");
    if (has("average_limit_files")) {
        const auto &a = m.at("average_limit_files");
        std::printf("RESULT averaging %.2f ms\n", a.cpuTime);
        std::printf("RESULT averaging_wall %.2f ms\n", a.wallTime);
        std::printf("RESULT averaging_mean_part %.2f ms\n", a.counters.at("mean_cpu_ms").value);
        std::printf("RESULT averaging_output_part %.2f ms\n", a.counters.at("output_cpu_ms").value);
    }
    if (has("baseline_vs_ours")) {
        const auto &c = m.at("baseline_vs_ours").counters;
        std::printf("RESULT baseline_ms %.2f ms\n", c.at("baseline_cpu_ms").value);
        std::printf("RESULT baseline_ms_wall %.2f ms\n", c.at("baseline_wall_ms").value);
        std::printf("RESULT ours_small_ms %.4f ms\n", c.at("ours_cpu_ms").value);
        std::printf("RESULT ours_small_ms_wall %.4f ms\n", c.at("ours_wall_ms").value);
        std::printf("RESULT baseline_ratio %.1f x\n", c.at("ratio_cpu").value);
        std::printf("RESULT baseline_ratio_wall %.1f x\n", c.at("ratio_wall").value);
    }
    return reporter.errors.empty() ? 0 : 1;
}
