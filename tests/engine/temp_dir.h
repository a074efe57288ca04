#pragma once
// A temporary folder for one test, removed with everything in it at the end; and the bytes of
// a file.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>

struct TempDir {
    std::string name = (std::filesystem::temp_directory_path() / "mergon-test-XXXXXX").string();
    std::filesystem::path root =
        mkdtemp(name.data()) ? std::filesystem::path(name) : throw std::runtime_error("mkdtemp");

    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    // The path of `file` in the folder.
    std::string file(const std::string &file) const { return (root / file).string(); }
    // Writes `bytes` to `file` in the folder and returns its path.
    std::string write(const std::string &file, const std::string &bytes) const {
        std::ofstream(root / file, std::ios::binary) << bytes;
        return (root / file).string();
    }
    // Writes `headerLines` header lines, then a line per row with x in field 5 and y in field 6
    // of six, every double exactly, to `file` in the folder and returns its path.
    template <class Rows>
    std::string writeCurve(const std::string &file, const Rows &rows, int headerLines = 3) const {
        std::ostringstream text;
        text.precision(17);
        for (int i = 0; i < headerLines; ++i)
            text << "header line\r\n";
        for (const auto &row : rows)
            text << "1 0 -1 7.5 " << row.x << ' ' << row.y << "\r\n";
        return write(file, text.str());
    }
};

// The whole content of a file; empty when there is none.
inline std::string readBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}
