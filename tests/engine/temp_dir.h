#pragma once
// A temporary folder for one test, removed with everything in it at the end; and the bytes of
// a file.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
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
};

// The whole content of a file; empty when there is none.
inline std::string readBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}
