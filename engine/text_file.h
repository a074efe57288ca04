#pragma once
// Sequential text files through one handle: at most one file is open at any time.
// Reading streams through a fixed buffer, so memory does not grow with the file or a line.
// The class lives in three units: opening, buffering and whole lines (text_file.cpp), the field
// tokenizer (text_fields.cpp) and writing (text_writer.cpp).

#include "engine/number_scan.h"
#include "engine/reading_rules.h"
#include "engine/replaced_file.h"
#include "engine/status.h"

#include <cstddef>
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
        Empty,      // a line with no item: value 0
        Missing,    // no value: nothing before a separator or after one at the line end, or the
                    // item NA, NaN or N/A in any letter case, quoted or not; value 0
        NonNumeric, // any other item: harmless outside the x and y columns
        TooLarge,   // a number beyond the range of a double ("1e999")
    };
    Kind kind = Kind::Empty;
    double value = 0;
    std::int64_t line = 0;    // the line of the file it stands on, from 1, header lines included
    std::int64_t offset = -1; // the file offset where its item starts
};

// The kind of field that a conversion's outcome makes.
inline Field::Kind fieldKind(NumberError error) {
    switch (error) {
    case NumberError::None:
        return Field::Kind::Number;
    case NumberError::OutOfRange:
        return Field::Kind::TooLarge;
    case NumberError::NotANumber:
        break;
    }
    return Field::Kind::NonNumeric;
}

// A number of a plain data line, as it stands in the read buffer.
struct PlainNumber {
    const char *begin = nullptr;
    const char *end = nullptr;
    bool exponentD = false; // written with a D exponent (1.5D3)

    // Its value, correctly rounded: Number, or TooLarge beyond the range of a double.
    Field::Kind convert(double &value) const {
        return fieldKind(convertNumber(begin, end, exponentD, value));
    }
};

class TextFile {
  public:
    static constexpr std::size_t kDefaultBufferSize = 64 * 1024;
    // Files above this size are streamed even when reading whole files.
    static constexpr std::size_t kWholeFileLimit = 64 * 1024 * 1024;

    // How files are read. Streamed: through the fixed buffer, so that memory stays flat
    // whatever the file. Whole: a program that reads each file once (mergon-batch) reads it
    // into memory in one go, and the bytes of the last file read stay: opening that path again
    // takes them instead of the disk, until another file is opened, a file is written or
    // dropHeldFile() is called.
    enum class Reading { Streamed, Whole };

    // bufferSize is the size of the read buffer (at least 1); tests use tiny ones.
    explicit TextFile(std::size_t bufferSize = kDefaultBufferSize);
    explicit TextFile(Reading reading);
    TextFile(const TextFile &) = delete;
    TextFile &operator=(const TextFile &) = delete;
    ~TextFile() {
        closeAll();
        dropHeldFile();
    }

    // Opens a regular file for reading; an open file is closed first. Fails with kFileNotFound
    // for a missing file, kPermissionDenied for one that may not be read, and kFileFailed for a
    // folder, FIFO, device or any other failure; such a file is never opened, so no FIFO
    // blocks. A UTF-8 byte-order mark at the start of the file is skipped.
    Status openForReading(const std::string &path) {
        return openForReading(path, whole_ ? Reading::Whole : Reading::Streamed);
    }
    // The same, read as `reading` says whatever the handle's way: a file read in one pass needs
    // no more than the fixed buffer, which stays in the cache, even on a handle that otherwise
    // reads whole files for their second pass. Bytes held from the same path are taken all
    // the same.
    Status openForReading(const std::string &path, Reading reading);
    // Reads one whole line and discards it (CR LF, LF or CR end it). Fails with kPastEnd at
    // the end of the file.
    Status skipLine();
    // Reads one whole line into `line`, without its terminator.
    Status readLine(std::string &line);
    // The rules by which fields are split and numbers read. Like a stream's locale they stay
    // with the handle, across files, until set again; whole lines do not depend on them.
    void setRules(const ReadingRules &rules) { rules_ = rules; }
    // Reads the next field of the data stream: items are separated by blanks, tabs, line ends
    // and the rules' separator. A line whose first item starts with '#' is a comment: it holds
    // no field and is no data line (header lines, read by the line, are not looked at). Fails
    // with kPastEnd at the end of the data.
    Status readField(Field &field);
    // The same; with convert false a number is only classified: its kind is Number and its
    // value 0, also for one beyond the range of a double.
    Status readField(Field &field, bool convert);
    // The fast lane for the common data lines. At a line start, reads the lines ahead that
    // lie wholly in the buffer and hold nothing but numbers between blanks or tabs (plain
    // lines, see plain_lines.h), as many as fit in `numbers`, and returns how many numbers
    // they hold; those are the first entries of `numbers`, valid until the next read. A line
    // that is not plain, and every line under other than the default rules, is left unread and
    // gives 0: readField then takes it field by field, with the same result.
    int readPlainNumbers(std::vector<PlainNumber> &numbers);
    // Moves over the plain lines ahead, refilling the buffer on the way, and stops at the
    // first other line (or about `maxLines` lines): returns the lines passed, `fields` gets
    // their numbers. Under other than the default rules it passes none.
    std::int64_t skipPlainLines(std::int64_t maxLines, std::int64_t &fields);
    // True when nothing but blanks, tabs, line ends and comment lines remains: trailing blank
    // and comment lines are not data. A separator just read still has its field after it, so
    // atEnd is false then. Also true after a read error, which close() then reports.
    bool atEnd() {
        if (file_ && !writing_ && readErrno_ == 0 && pos_ < end_ && buffer_[pos_] != ' ' &&
            buffer_[pos_] != '\t' && buffer_[pos_] != '\r' && buffer_[pos_] != '\n' &&
            buffer_[pos_] != '#')
            return false; // the common case: the next byte is data
        return scanForEnd();
    }

    // Line ends read since the file was opened, those of comment lines aside, and whether the
    // last thing read was one (or nothing has been read yet).
    std::int64_t lineEndsRead() const { return lineEnds_; }
    bool atLineStart() const { return atLineStart_; }
    // The line of the file the last thing read stands on, from 1, every line counted.
    std::int64_t lineOfLastRead() const {
        return lineEnds_ + commentLines_ + (atLineStart_ ? 0 : 1);
    }

    // The file offset of the next byte to read.
    std::int64_t readOffset() const { return bufferStart_ + static_cast<std::int64_t>(pos_); }
    // The size of the file as it was opened (a hint: the file may change); -1 when none is.
    std::int64_t sizeAtOpen() const { return file_ ? openedSize_ : -1; }
    // Whether this handle reads files whole (Reading::Whole).
    bool readsWhole() const { return whole_; }

    // Opens the new content of `output` for writing; messages name the output.
    Status openForWriting(ReplacedFile &output);
    // Writes `text` followed by CR LF.
    Status writeLine(std::string_view text);
    // Writes `text` as it stands (lines that bring their own ends).
    Status writeText(std::string_view text);

    // Closes the open file; for a written file, reports a failure to flush it, for a read
    // file a read error met on the way.
    Status close();
    // Closes whatever is open; never fails.
    void closeAll();
    bool isOpen() const { return file_ != nullptr; }
    // Forgets the bytes held from the last file read whole: the next opening reads the disk.
    void dropHeldFile();

  private:
    int peek() { return pos_ < end_ ? static_cast<unsigned char>(buffer_[pos_]) : refillPeek(); }
    int refillPeek();
    bool fillMore();
    // Where a scan for data stands: only blanks since the line start, or inside a comment.
    struct DataScan {
        bool lineStart;
        bool inComment = false;
        const char *findData(const char *begin, const char *end);
    };
    bool scanForEnd();
    bool scanBeyondBuffer(std::int64_t from, DataScan scan);
    int skipCommentLines(int c);
    void reposition(std::int64_t offset);
    int skipBlanks() {
        const char *data = buffer_.data();
        std::size_t i = pos_;
        const std::size_t end = end_;
        while (i < end && (data[i] == ' ' || data[i] == '\t'))
            ++i;
        pos_ = i;
        return i < end ? static_cast<unsigned char>(data[i]) : skipBlanksAcrossRefills();
    }
    int skipBlanksAcrossRefills();
    // A complete item ends at a blank, tab, separator, line end or the end of the file.
    bool endsItem(int c) const {
        return c < 0 || c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == rules_.separator;
    }
    // The fast lanes run at a line start under the default rules only.
    bool plainLaneOpen() const {
        return file_ && !writing_ && readErrno_ == 0 && atLineStart_ && !afterComma_ &&
               rules_.isDefault();
    }
    bool reopenHeldFile(const std::string &path);
    void readWholeFile(std::int64_t size);
    bool scanItemInBuffer(Field &field, bool convert);
    void scanItem(Field &field, bool convert);
    void skipToSeparatorOrLineEnd();
    void skipToLineEnd();
    void consumeLineEnd(int c, bool comment = false);
    Status scanLine(std::string *line);
    Status readStatus() const { return readErrno_ == 0 ? Status() : readFailure(); }
    Status readFailure() const;
    Status pastEnd() const;
    Status notReading() const;
    Status writeFailure(int error, const char *what) const;

    std::FILE *file_ = nullptr;
    bool writing_ = false;
    std::string path_;
    std::vector<char> buffer_;
    size_t pos_ = 0, end_ = 0;
    bool eof_ = false;
    std::int64_t bufferStart_ = 0;    // file offset of buffer_[0]
    std::int64_t knownNonBlank_ = -1; // offset of a non-blank byte with only blanks before it
    std::int64_t blankFrom_ = -1;     // offset from which only blanks remain, when known
    std::int64_t lineEnds_ = 0;
    std::int64_t commentLines_ = 0; // comment lines passed, each with its line end
    bool atLineStart_ = true;
    bool afterComma_ = false; // the last field ended at a separator: one more field follows
    ReadingRules rules_;      // kept across files: see setRules
    int readErrno_ = 0;       // set by a failed read or seek

    std::int64_t openedSize_ = -1;  // see sizeAtOpen
    bool whole_ = false;            // Reading::Whole
    std::FILE *heldFile_ = nullptr; // the file whose bytes the buffer holds whole, kept open
    std::string heldPath_;          // its path
    std::int64_t heldStart_ = 0;    // file offset of buffer_[0] (past a byte-order mark)
    std::size_t heldEnd_ = 0;       // bytes held
};

} // namespace mergon
