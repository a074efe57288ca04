#pragma once
// Generated input files for the benchmarks: realistic acquisition tables of six numbers per
// line after three header lines, at any length up to the format's limit.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace mergon::bench {

inline constexpr int kLimitLines = 32767; // the most data lines a file may have in the window
inline constexpr int kLimitFiles = 10;    // the most input files the window holds
inline constexpr int kHeaderLines = 3;

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    const std::filesystem::path &path() const { return path_; }
    std::string file(const std::string &name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

struct CurveFile {
    std::string path;
    std::uintmax_t bytes = 0;
};

// Writes `count` files named <stem>01.txt, <stem>02.txt, ... of `lines` data lines each:
// index, time, two sensor readings, x (column 5, ascending) and y (column 6), CR LF ends.
// Each file's x range is shifted and stretched a little, so that the common range is
// narrower than any one file's. The same arguments always give the same bytes.
std::vector<CurveFile> writeCurveFiles(const std::filesystem::path &folder, const std::string &stem,
                                       int count, int lines);

// Peak resident memory of this process (VmHWM) in KiB, or -1 when it cannot be read.
long peakResidentKiB();

} // namespace mergon::bench
