// mergon-batch against the numpy script a scientist would write instead (bench/peer_mean.py),
// each as a whole process on the same ten limit-size files with 32767 divisions: start-up,
// reading, the mean and the output file. The two run in turn, so that a change of load on a
// shared machine hits both alike; the figure is the median of the per-turn ratios. Prints
// "RESULT <name> <value> <unit>" lines for bench/run.sh.
//
// Then at scale: 100 files of 50000 lines against the same peer, and mergon-batch on two
// threads against one.
//
// Usage: process_bench --batch=PATH --python=PATH --peer=SCRIPT [--repetitions=N]
//        [--scale-repetitions=N]

#include "curve_files.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>

extern char **environ;

namespace mergon::bench {
namespace {

constexpr const char *kDivisions = "32767";
constexpr int kScaleFiles = 100;
constexpr int kScaleLines = 50000;

struct Timing {
    double wallMs = 0;
    double cpuMs = 0;  // user and system time of the process
    double peakMb = 0; // the process's peak resident memory
};

double nowMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// This process's environment without `drop`.
std::vector<char *> environmentWithout(const std::vector<std::string> &drop) {
    std::vector<char *> env;
    for (char **e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        if (std::find(drop.begin(), drop.end(), name) == drop.end())
            env.push_back(*e);
    }
    env.push_back(nullptr);
    return env;
}

// Runs `args` to its end with its output discarded; false when it cannot start or fails.
bool runTimed(const std::vector<std::string> &args, std::vector<char *> &env, Timing &timing) {
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const double start = nowMs();
    pid_t pid = 0;
    const int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        std::fprintf(stderr, "process_bench: cannot start %s: %s\n", argv[0], std::strerror(error));
        return false;
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        return false;
    timing.wallMs = nowMs() - start;
    const auto ms = [](const timeval &t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    };
    timing.cpuMs = ms(usage.ru_utime) + ms(usage.ru_stime);
    timing.peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "process_bench: %s failed (status %d)\n", argv[0], status);
        return false;
    }
    return true;
}

// The y column (the third number) of every line of a table that starts with a number.
std::vector<double> meanColumn(const std::string &path) {
    std::ifstream in(path);
    std::vector<double> y;
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        double number = 0, x = 0, value = 0;
        if (fields >> number >> x >> value)
            y.push_back(value);
    }
    return y;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::string option(int argc, char **argv, const char *name) {
    const size_t length = std::strlen(name);
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], name, length) == 0 && argv[i][length] == '=')
            return argv[i] + length + 1;
    return {};
}

} // namespace
} // namespace mergon::bench

namespace mergon::bench {
namespace {

struct Comparison {
    std::vector<double> batchWall, batchCpu, peerWall, peerCpu, ratioWall, ratioCpu, batchPeakMb;
};

// Runs `batchArgs` and `peerArgs` in turn, one untimed turn first (which also checks that the
// two means agree when `compareMeans`), and prints each turn.
bool compareTurns(const std::vector<std::string> &batchArgs,
                  const std::vector<std::string> &peerArgs, const std::string &ours,
                  const std::string &theirs, bool compareMeans, int repetitions, Comparison &c) {
    // numpy's BLAS settings for some processors are of no use to this script.
    std::vector<char *> batchEnv = environmentWithout({});
    std::vector<char *> peerEnv = environmentWithout({"OPENBLAS_CORETYPE", "OPENBLAS_L2_SIZE"});
    Timing warm;
    if (!runTimed(batchArgs, batchEnv, warm) || !runTimed(peerArgs, peerEnv, warm))
        return false;
    if (compareMeans) {
        const std::vector<double> a = meanColumn(ours), b = meanColumn(theirs);
        double worst = a.size() == b.size() && !a.empty() ? 0 : INFINITY;
        for (size_t j = 0; j < a.size() && j < b.size(); ++j)
            worst = std::max(worst, std::fabs(a[j] - b[j]) / std::max(1.0, std::fabs(b[j])));
        std::printf("the two means: %zu and %zu points, largest difference %.3g\n", a.size(),
                    b.size(), worst);
        if (!(worst < 1e-9)) {
            std::fprintf(stderr, "process_bench: the peer does not compute the same mean\n");
            return false;
        }
    }
    for (int r = 1; r <= repetitions; ++r) {
        Timing ourTurn, theirTurn;
        if (!runTimed(batchArgs, batchEnv, ourTurn) || !runTimed(peerArgs, peerEnv, theirTurn))
            return false;
        std::printf("turn %d: A %.1f ms (CPU %.1f ms, peak %.1f MB), B %.1f ms (CPU %.1f ms)\n", r,
                    ourTurn.wallMs, ourTurn.cpuMs, ourTurn.peakMb, theirTurn.wallMs,
                    theirTurn.cpuMs);
        std::fflush(stdout);
        c.batchWall.push_back(ourTurn.wallMs);
        c.peerWall.push_back(theirTurn.wallMs);
        c.batchCpu.push_back(ourTurn.cpuMs);
        c.peerCpu.push_back(theirTurn.cpuMs);
        c.batchPeakMb.push_back(ourTurn.peakMb);
        c.ratioWall.push_back(theirTurn.wallMs / ourTurn.wallMs);
        c.ratioCpu.push_back(theirTurn.cpuMs / std::max(ourTurn.cpuMs, 0.1));
    }
    return true;
}

void printResults(const std::string &prefix, const Comparison &c) {
    std::printf("RESULT %sbatch_process %.1f ms\n", prefix.c_str(), median(c.batchCpu));
    std::printf("RESULT %sbatch_process_wall %.1f ms\n", prefix.c_str(), median(c.batchWall));
    std::printf("RESULT %sbatch_peak_memory %.1f MB\n", prefix.c_str(), median(c.batchPeakMb));
    std::printf("RESULT %speer_process %.1f ms\n", prefix.c_str(), median(c.peerCpu));
    std::printf("RESULT %speer_process_wall %.1f ms\n", prefix.c_str(), median(c.peerWall));
    std::printf("RESULT %speer_ratio %.2f x\n", prefix.c_str(), median(c.ratioCpu));
    std::printf("RESULT %speer_ratio_wall %.2f x\n", prefix.c_str(), median(c.ratioWall));
}

} // namespace
} // namespace mergon::bench

int main(int argc, char **argv) {
    using namespace mergon::bench;
    const std::string batch = option(argc, argv, "--batch");
    const std::string python = option(argc, argv, "--python");
    const std::string peer = option(argc, argv, "--peer");
    const std::string reps = option(argc, argv, "--repetitions");
    const std::string scaleReps = option(argc, argv, "--scale-repetitions");
    const int repetitions = reps.empty() ? 7 : std::max(1, std::atoi(reps.c_str()));
    const int scaleRepetitions = scaleReps.empty() ? 3 : std::max(1, std::atoi(scaleReps.c_str()));
    if (batch.empty() || python.empty() || peer.empty()) {
        std::fprintf(stderr, "usage: process_bench --batch=PATH --python=PATH --peer=SCRIPT "
                             "[--repetitions=N] [--scale-repetitions=N]\n");
        return 2;
    }

    TempFolder folder;
    const std::string ours = folder.file("batch.mrg"), theirs = folder.file("peer.txt");
    const auto argumentsFor = [&](const std::vector<CurveFile> &files,
                                  std::vector<std::string> batchArgs,
                                  std::vector<std::string> peerArgs) {
        for (const CurveFile &f : files) {
            batchArgs.push_back(f.path);
            peerArgs.push_back(f.path);
        }
        return std::pair{batchArgs, peerArgs};
    };

    // At the window's limits, every core.
    {
        const std::vector<CurveFile> files =
            writeCurveFiles(folder.path(), "limit", kLimitFiles, kLimitLines);
        const auto [batchArgs, peerArgs] =
            argumentsFor(files, {batch, "--divisions", kDivisions, "--output", ours},
                         {python, peer, kDivisions, theirs});
        std::printf("== at the limits: %d files x %d lines (%.2f MB each), %s divisions; %d turns; "
                    "A mergon-batch, B numpy\n",
                    kLimitFiles, kLimitLines, static_cast<double>(files.front().bytes) / 1e6,
                    kDivisions, repetitions);
        Comparison c;
        if (!compareTurns(batchArgs, peerArgs, ours, theirs, true, repetitions, c))
            return 1;
        printResults("", c);
        for (const CurveFile &f : files)
            std::filesystem::remove(f.path);
    }

    // At scale: 100 files of 50000 lines, against the peer and on one thread against two.
    const std::vector<CurveFile> files =
        writeCurveFiles(folder.path(), "scale", kScaleFiles, kScaleLines);
    double megabytes = 0;
    for (const CurveFile &f : files)
        megabytes += static_cast<double>(f.bytes) / 1e6;
    {
        const auto [batchArgs, peerArgs] =
            argumentsFor(files, {batch, "--divisions", kDivisions, "--output", ours},
                         {python, peer, kDivisions, theirs});
        std::printf("== at scale: %d files x %d lines (%.1f MB in all), %s divisions; %d turns; "
                    "A mergon-batch, B numpy\n",
                    kScaleFiles, kScaleLines, megabytes, kDivisions, scaleRepetitions);
        Comparison c;
        if (!compareTurns(batchArgs, peerArgs, ours, theirs, true, scaleRepetitions, c))
            return 1;
        printResults("scale_", c);
    }
    {
        const auto [two, one] =
            argumentsFor(files, {batch, "--jobs", "2", "--divisions", kDivisions, "--output", ours},
                         {batch, "--jobs", "1", "--divisions", kDivisions, "--output", theirs});
        std::printf("== at scale: A --jobs 2, B --jobs 1; %d turns\n", repetitions);
        Comparison c;
        if (!compareTurns(two, one, ours, theirs, false, repetitions, c))
            return 1;
        std::printf("RESULT jobs1_process_wall %.1f ms\n", median(c.peerWall));
        std::printf("RESULT jobs2_process_wall %.1f ms\n", median(c.batchWall));
        std::printf("RESULT jobs2_speedup_wall %.2f x\n", median(c.ratioWall));
        std::printf("RESULT jobs2_cpu_ratio %.2f x\n", median(c.ratioCpu));
    }
    return 0;
}
