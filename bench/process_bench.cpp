// mergon-batch against the numpy script a scientist would write instead (bench/peer_mean.py),
// each as a whole process on the same ten limit-size files with 32767 divisions: start-up,
// reading, the mean and the output file. The two run in turn, so that a change of load on a
// shared machine hits both alike; the figure is the median of the per-turn ratios. Prints
// "RESULT <name> <value> <unit>" lines for bench/run.sh.
//
// Usage: process_bench --batch=PATH --python=PATH --peer=SCRIPT [--repetitions=N]

#include "curve_files.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

struct Timing {
    double wallMs = 0;
    double cpuMs = 0; // user and system time of the process
};

double nowMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
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
    const auto ms = [](const timeval &t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    timing.cpuMs = ms(usage.ru_utime) + ms(usage.ru_stime);
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

int main(int argc, char **argv) {
    using namespace mergon::bench;
    const std::string batch = option(argc, argv, "--batch");
    const std::string python = option(argc, argv, "--python");
    const std::string peer = option(argc, argv, "--peer");
    const std::string reps = option(argc, argv, "--repetitions");
    const int repetitions = reps.empty() ? 7 : std::max(1, std::atoi(reps.c_str()));
    if (batch.empty() || python.empty() || peer.empty()) {
        std::fprintf(stderr, "usage: process_bench --batch=PATH --python=PATH --peer=SCRIPT "
                             "[--repetitions=N]\n");
        return 2;
    }

    TempFolder folder;
    const std::vector<CurveFile> files =
        writeCurveFiles(folder.path(), "limit", kLimitFiles, kLimitLines);
    const std::string ours = folder.file("batch.mrg"), theirs = folder.file("peer.txt");
    std::vector<std::string> batchArgs = {batch, "--divisions", kDivisions, "--output", ours};
    std::vector<std::string> peerArgs = {python, peer, kDivisions, theirs};
    for (const CurveFile &f : files) {
        batchArgs.push_back(f.path);
        peerArgs.push_back(f.path);
    }
    // numpy's BLAS settings for some processors are of no use to this script.
    std::vector<char *> batchEnv = environmentWithout({});
    std::vector<char *> peerEnv = environmentWithout({"OPENBLAS_CORETYPE", "OPENBLAS_L2_SIZE"});
    std::printf("inputs: %d files x %d lines (%.2f MB each), %s divisions; %d turns\n", kLimitFiles,
                kLimitLines, files.front().bytes / 1e6, kDivisions, repetitions);

    // A first turn, untimed, warms the file cache and shows that both do the same job.
    Timing warm;
    if (!runTimed(batchArgs, batchEnv, warm) || !runTimed(peerArgs, peerEnv, warm))
        return 1;
    const std::vector<double> a = meanColumn(ours), b = meanColumn(theirs);
    double worst = a.size() == b.size() && !a.empty() ? 0 : INFINITY;
    for (size_t j = 0; j < a.size() && j < b.size(); ++j)
        worst = std::max(worst, std::fabs(a[j] - b[j]) / std::max(1.0, std::fabs(b[j])));
    std::printf("the two means: %zu and %zu points, largest difference %.3g\n", a.size(), b.size(),
                worst);
    if (!(worst < 1e-9)) {
        std::fprintf(stderr, "process_bench: the peer does not compute the same mean\n");
        return 1;
    }

    std::vector<double> batchWall, peerWall, batchCpu, peerCpu, ratioWall, ratioCpu;
    for (int r = 1; r <= repetitions; ++r) {
        Timing ourTurn, theirTurn;
        if (!runTimed(batchArgs, batchEnv, ourTurn) || !runTimed(peerArgs, peerEnv, theirTurn))
            return 1;
        std::printf("turn %d: mergon-batch %.1f ms (CPU %.1f ms), numpy %.1f ms (CPU %.1f ms)\n", r,
                    ourTurn.wallMs, ourTurn.cpuMs, theirTurn.wallMs, theirTurn.cpuMs);
        std::fflush(stdout);
        batchWall.push_back(ourTurn.wallMs);
        peerWall.push_back(theirTurn.wallMs);
        batchCpu.push_back(ourTurn.cpuMs);
        peerCpu.push_back(theirTurn.cpuMs);
        ratioWall.push_back(theirTurn.wallMs / ourTurn.wallMs);
        ratioCpu.push_back(theirTurn.cpuMs / std::max(ourTurn.cpuMs, 0.1));
    }
    std::printf("RESULT batch_process %.1f ms\n", median(batchCpu));
    std::printf("RESULT batch_process_wall %.1f ms\n", median(batchWall));
    std::printf("RESULT peer_process %.1f ms\n", median(peerCpu));
    std::printf("RESULT peer_process_wall %.1f ms\n", median(peerWall));
    std::printf("RESULT peer_ratio %.2f x\n", median(ratioCpu));
    std::printf("RESULT peer_ratio_wall %.2f x\n", median(ratioWall));
    return 0;
}
