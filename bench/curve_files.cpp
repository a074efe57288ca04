#include "curve_files.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>
#include <stdexcept>
#include <system_error>

#include <unistd.h>

namespace mergon::bench {

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "mergon-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::system_error(errno, std::generic_category(), "cannot create " + pattern);
    path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

namespace {

struct FileCloser {
    void operator()(std::FILE *f) const { std::fclose(f); }
};

CurveFile writeOne(const std::string &path, int index, int lines) {
    std::unique_ptr<std::FILE, FileCloser> out(std::fopen(path.c_str(), "wb"));
    if (!out)
        throw std::runtime_error("cannot create " + path);
    std::mt19937 random(static_cast<unsigned>(1000 + index));
    std::normal_distribution<double> noise(0.0, 1.0);

    std::fprintf(out.get(), "Run %02d  sample B-%d  detector 2\r\n", index, 40 + index);
    std::fprintf(out.get(), "2024-06-07 10:%02d:00  step 0.5 s\r\n", index);
    std::fprintf(out.get(), "  No     time/s     T1/C     T2/C      x/mm        y/mV\r\n");

    // x from a little above 0 to a little below 800, different for every file.
    const double x0 = 0.25 * index + 0.125;
    const double x1 = 800.0 - 0.375 * index;
    const double dx = lines > 1 ? (x1 - x0) / (lines - 1) : 0.0;
    const double phase = 0.3 * index;
    for (int j = 0; j < lines; ++j) {
        const double x = x0 + dx * j;
        const double t1 = 25.0 + 3.0 * std::sin(j * 1e-3 + phase) + 0.02 * noise(random);
        const double t2 = 24.5 + 2.0 * std::cos(j * 7e-4 + phase) + 0.02 * noise(random);
        const double y =
            40.0 * std::sin(x / 37.0 + phase) + 5.0 * std::cos(x / 5.3) + 0.05 * noise(random);
        std::fprintf(out.get(), "%5d %9.3f %8.3f %8.3f %10.5f %11.6f\r\n", j + 1, 0.5 * j, t1, t2,
                     x, y);
    }
    if (std::fflush(out.get()) != 0 || std::ferror(out.get()))
        throw std::runtime_error("cannot write " + path);
    out.reset();
    return {path, std::filesystem::file_size(path)};
}

} // namespace

std::vector<CurveFile> writeCurveFiles(const std::filesystem::path &folder, const std::string &stem,
                                       int count, int lines) {
    std::vector<CurveFile> files;
    for (int i = 1; i <= count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "%02d.txt", i);
        files.push_back(writeOne((folder / (stem + name)).string(), i, lines));
    }
    return files;
}

long peakResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmHWM:") {
            long kib = -1;
            status >> kib;
            return kib;
        }
        status.ignore(4096, '\n');
    }
    return -1;
}

} // namespace mergon::bench
