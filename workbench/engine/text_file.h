#pragma once
// Sequential text files through one handle: at most one file is open at any time.
// Reading streams through a fixed buffer, so memory does not grow with the file or a line.

#include "engine/status.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace mergon {

// One free-format field of the data stream.
struct Field {
    enum class Kind {
        Number,     // a complete number; value holds it
        Empty,      // nothing between two separators, or a line with no item: value 0
        NonNumeric, // any other item: harmless outside the x and y columns
        TooLarge,   // a number beyond the range of a double ("1e999")
    };
    Kind kind = Kind::Empty;
    double value = 0;
};

class TextFile {
public:
    TextFile() = default;
    TextFile(const TextFile &) = delete;
    TextFile &operator=(const TextFile &) = delete;
    ~TextFile() { closeAll(); }

    // Opens for reading; an open file is closed first. A missing file fails with kFileNotFound.
    Status openForReading(const std::string &path);
    // Reads one whole line and discards it (CR LF, LF or CR end it). Fails with kPastEnd at
    // the end of the file.
    Status skipLine();
    // Reads one whole line into `line`, without its terminator.
    Status readLine(std::string &line);
    // Reads the next field of the data stream. Fails with kPastEnd at the end of the data.
    Status readField(Field &field);
    // True when nothing but blanks, tabs and line ends remains: trailing blank lines are not
    // data.
    bool atEnd();

    // Creates or empties the file and opens it for writing.
    Status openForWriting(const std::string &path);
    // Writes `text` followed by CR LF.
    Status writeLine(std::string_view text);

    // Closes the open file; for a written file, reports a failure to flush it.
    Status close();
    // Closes whatever is open; never fails.
    void closeAll();
    bool isOpen() const { return file_ != nullptr; }

private:
    std::FILE *file_ = nullptr;
    bool writing_ = false;
    std::string path_;
    std::vector<char> buffer_;
    size_t pos_ = 0, end_ = 0;
    bool eof_ = false;
    // implementation state may be extended
};

} // namespace mergon
