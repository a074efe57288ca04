#include "engine/text_file.h"

#include "engine/number_scan.h"
#include "engine/plain_lines.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mergon {

namespace {

bool isBlank(int c) { return c == ' ' || c == '\t'; }
bool isLineEnd(int c) { return c == '\r' || c == '\n'; }

int seekTo(std::FILE *file, std::int64_t offset) {
#ifdef _WIN32
    return _fseeki64(file, offset, SEEK_SET);
#else
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET);
#endif
}

// NA, NaN and N/A, in any letter case: how spreadsheets and statistics packages write a value
// that is not there.
bool isMissingMarker(const char *text, std::size_t size) {
    const auto lower = [&](std::size_t i) {
        const char c = text[i];
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    if (size < 2 || size > 3 || lower(0) != 'n')
        return false;
    if (size == 2)
        return lower(1) == 'a';
    return (lower(1) == 'a' && lower(2) == 'n') || (lower(1) == '/' && lower(2) == 'a');
}

Field::Kind fieldKind(NumberError error) {
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

// The system's reason for an error, as the end of a sentence.
std::string systemReason(int error) {
    std::string reason = std::strerror(error);
    if (!reason.empty() && reason[0] >= 'A' && reason[0] <= 'Z' &&
        (reason.size() < 2 || reason[1] < 'A' || reason[1] > 'Z'))
        reason[0] = static_cast<char>(reason[0] - 'A' + 'a');
    return reason;
}

// Why a missing file is missing: the file itself, or a folder on its path.
std::string missingCause(const std::string &path) {
    std::string folder = path.substr(0, path.find_last_of('/') + 1);
    if (folder.empty())
        return "no such file";
    struct stat info {};
    if (::stat(folder.c_str(), &info) == 0)
        return S_ISDIR(info.st_mode) ? "no such file" : "a part of its path is not a folder";
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return "the folder " + folder + " does not exist";
}

// An input file that cannot be opened: missing, not to be read, or anything else.
Status openFailure(const std::string &path, int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return Status::failure(kFileNotFound, "File not found: " + path)
            .withDetail(missingCause(path));
    case EACCES:
    case EPERM:
        return Status::failure(kPermissionDenied, "Cannot read " + path + ": permission denied")
            .withDetail("permission denied");
    default:
        return Status::failure(kFileFailed, "Cannot open " + path + ": " + std::strerror(error))
            .withDetail(systemReason(error));
    }
}

Status notRegular(const std::string &path, mode_t mode) {
    return Status::failure(kFileFailed, path + (S_ISDIR(mode) ? " is a folder, not a file"
                                                              : " is not a regular file"))
        .withDetail(S_ISDIR(mode) ? "it is a folder, not a file"
                                  : "it is not a regular file but a device, FIFO or socket");
}

} // namespace

TextFile::TextFile(std::size_t bufferSize) : buffer_(std::max<std::size_t>(bufferSize, 1)) {}

TextFile::TextFile(Reading reading) : TextFile() { whole_ = reading == Reading::Whole; }

Status TextFile::openForReading(const std::string &path) {
    if (reopenHeldFile(path))
        return Status::success();
    closeAll();
    // Only regular files are read: a FIFO would be used up by the first pass and block the
    // next, and opening a device may have effects of its own. So the type is checked before
    // the open, and again on the open file in case the name was replaced in between.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return openFailure(path, errno);
    if (!S_ISREG(info.st_mode))
        return notRegular(path, info.st_mode);
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return openFailure(path, errno);
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return notRegular(path, info.st_mode);
    }
    if (const int flags = ::fcntl(fd, F_GETFL); flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    std::FILE *file = ::fdopen(fd, "rb");
    if (!file) {
        const int error = errno;
        ::close(fd);
        return openFailure(path, error);
    }
    // The fixed buffer below is the only one; the stream's own would copy every byte twice.
    std::setvbuf(file, nullptr, _IONBF, 0);
    file_ = file;
    path_ = path;
    unsigned char mark[3] = {};
    const std::size_t n = std::fread(mark, 1, 3, file_);
    if (n == 3 && mark[0] == 0xEF && mark[1] == 0xBB && mark[2] == 0xBF)
        bufferStart_ = 3; // the stream is already past the mark
    else
        reposition(0);
    if (whole_)
        readWholeFile(info.st_size);
    return readStatus();
}

// Reads the rest of the file just opened, of about `size` bytes, into the buffer, grown to
// hold it. A file above the limit is left to stream on from what has been read.
void TextFile::readWholeFile(std::int64_t size) {
    // The size is a hint: the file may change. One byte more than the file, so that the read
    // that meets its end needs no growth.
    const auto limit = static_cast<std::int64_t>(kWholeFileLimit);
    const auto wanted = static_cast<std::size_t>(std::clamp<std::int64_t>(size + 1, 1, limit));
    if (buffer_.size() < wanted)
        buffer_.resize(wanted);
    for (;;) {
        if (end_ == buffer_.size()) {
            if (buffer_.size() >= kWholeFileLimit)
                return;
            buffer_.resize(std::min(2 * buffer_.size(), kWholeFileLimit));
        }
        if (!fillMore())
            break;
    }
    if (readErrno_ != 0 || pos_ != 0)
        return;
    heldFile_ = file_;
    heldPath_ = path_;
    heldStart_ = bufferStart_;
    heldEnd_ = end_;
}

// Opens `path` from the bytes held, when they are its; else lets them go.
bool TextFile::reopenHeldFile(const std::string &path) {
    if (!heldFile_)
        return false;
    closeAll();
    if (path != heldPath_) {
        dropHeldFile();
        return false;
    }
    file_ = heldFile_;
    path_ = path;
    bufferStart_ = heldStart_;
    end_ = heldEnd_;
    eof_ = true;
    return true;
}

void TextFile::dropHeldFile() {
    if (file_ && file_ == heldFile_)
        closeAll();
    if (heldFile_)
        std::fclose(heldFile_);
    heldFile_ = nullptr;
    heldPath_.clear();
    heldStart_ = 0;
    heldEnd_ = 0;
}

Status TextFile::skipLine() { return scanLine(nullptr); }

Status TextFile::readLine(std::string &line) {
    line.clear();
    return scanLine(&line);
}

Status TextFile::scanLine(std::string *line) {
    if (!file_ || writing_)
        return notReading();
    afterComma_ = false;
    if (peek() < 0)
        return pastEnd();
    for (;;) {
        const char *begin = buffer_.data() + pos_;
        const std::size_t available = end_ - pos_;
        const void *lf = std::memchr(begin, '\n', available);
        const std::size_t limit = lf ? static_cast<const char *>(lf) - begin : available;
        const void *cr = std::memchr(begin, '\r', limit);
        const char *stop = static_cast<const char *>(cr ? cr : lf);
        if (stop) {
            if (line)
                line->append(begin, stop);
            pos_ += stop - begin;
            consumeLineEnd(*stop);
            return readStatus();
        }
        if (line)
            line->append(begin, available);
        pos_ = end_;
        if (peek() < 0) { // a last line without a terminator
            atLineStart_ = true;
            return readStatus();
        }
    }
}

Status TextFile::readField(Field &field) { return readField(field, true); }

Status TextFile::readField(Field &field, bool convert) {
    field = Field{};
    if (!file_ || writing_)
        return notReading();
    const bool afterSeparator = afterComma_;
    if (!afterSeparator && atEnd())
        return pastEnd();
    afterComma_ = false;
    int c = skipBlanks();
    if (c == '#' && atLineStart_ && !afterSeparator) {
        c = skipCommentLines(c);
        if (c < 0)
            return pastEnd();
    }
    field.line = lineEnds_ + commentLines_ + 1;
    field.offset = bufferStart_ + static_cast<std::int64_t>(pos_);
    if (c < 0 || isLineEnd(c)) { // a line with no item, or a separator right before the line end
        if (afterSeparator)
            field.kind = Field::Kind::Missing;
        if (c >= 0)
            consumeLineEnd(c);
        return readStatus();
    }
    atLineStart_ = false;
    if (c == rules_.separator) { // an empty item before a separator
        field.kind = Field::Kind::Missing;
        ++pos_;
        afterComma_ = true;
        return readStatus();
    }

    if (c == '"' || !scanItemInBuffer(field, convert))
        scanItem(field, convert);

    // After an item: blanks, then one separator or the line end.
    c = skipBlanks();
    if (c == rules_.separator) {
        ++pos_;
        afterComma_ = true;
    } else if (isLineEnd(c)) {
        consumeLineEnd(c);
    }
    return readStatus();
}

// Passes the comment lines from c, the '#' that starts the first: returns the first byte of
// the line after them, past its leading blanks (-1 at the end of the file).
int TextFile::skipCommentLines(int c) {
    while (c == '#') {
        skipToLineEnd();
        c = peek();
        if (c < 0)
            return c;
        consumeLineEnd(c, true);
        c = skipBlanks();
    }
    return c;
}

// Scans an unquoted item that ends inside the buffer, in place. False, with nothing read,
// when the item may go on after the buffer.
bool TextFile::scanItemInBuffer(Field &field, bool convert) {
    const char *begin = buffer_.data() + pos_;
    const char *end = buffer_.data() + end_;
    const char *p = begin;
    if (*p == 'n' || *p == 'N') { // no number starts so: a missing value, or text
        const char *stop = std::find_if(
            p, end, [this](char ch) { return endsItem(static_cast<unsigned char>(ch)); });
        if (stop == end && !eof_)
            return false;
        if (isMissingMarker(p, static_cast<std::size_t>(stop - p))) {
            pos_ += static_cast<std::size_t>(stop - p);
            field.kind = Field::Kind::Missing;
            return true;
        }
    }
    const auto digits = [&] {
        const char *first = p;
        while (p < end && isDigit(static_cast<unsigned char>(*p)))
            ++p;
        return p != first;
    };
    if (*p == '+' || *p == '-')
        ++p;
    bool complete = digits();
    if (p < end && *p == rules_.decimalMark) {
        ++p;
        complete = digits() || complete;
    }
    bool exponentD = false;
    if (complete && p < end && isExponentMark(static_cast<unsigned char>(*p))) {
        exponentD = *p == 'd' || *p == 'D';
        ++p;
        if (p < end && (*p == '+' || *p == '-'))
            ++p;
        complete = digits();
    }
    if (p == end && !eof_)
        return false;
    pos_ += p - begin;
    if (!complete || !endsItem(p < end ? static_cast<unsigned char>(*p) : -1)) {
        skipToSeparatorOrLineEnd();
        field.kind = Field::Kind::NonNumeric;
        return true;
    }
    field.kind =
        convert ? fieldKind(convertNumber(begin, p, exponentD, rules_.decimalMark, field.value))
                : Field::Kind::Number;
    return true;
}

Field::Kind PlainNumber::convert(double &value) const {
    return fieldKind(convertNumber(begin, end, exponentD, value));
}

int TextFile::readPlainNumbers(std::vector<PlainNumber> &numbers) {
    if (!plainLaneOpen())
        return 0;
    const int room = static_cast<int>(std::min<std::size_t>(numbers.size(), 1 << 30));
    for (;;) {
        const char *const data = buffer_.data();
        const PlainLines taken =
            takePlainLines(data + pos_, data + end_, !eof_, INT64_MAX, numbers.data(), room);
        if (taken.lines > 0) {
            pos_ = static_cast<std::size_t>(taken.end - data);
            lineEnds_ += taken.lines;
            return static_cast<int>(taken.fields);
        }
        // A line cut by the end of the buffer is read whole after a refill.
        if (!taken.toEnd || !fillMore())
            return 0;
    }
}

std::int64_t TextFile::skipPlainLines(std::int64_t maxLines, std::int64_t &fields) {
    fields = 0;
    if (!plainLaneOpen())
        return 0;
    std::int64_t lines = 0;
    for (;;) {
        const char *const data = buffer_.data();
        const PlainLines taken = takePlainLines(data + pos_, data + end_, !eof_, maxLines - lines);
        pos_ = static_cast<std::size_t>(taken.end - data);
        lines += taken.lines;
        fields += taken.fields;
        // A line cut by the end of the buffer goes on after a refill.
        if (!taken.toEnd || lines >= maxLines || !fillMore())
            break;
    }
    lineEnds_ += lines;
    return lines;
}

// Scans an item through refills, one byte at a time: quoted items, and items that cross the
// end of the buffer.
void TextFile::scanItem(Field &field, bool convert) {
    NumberScan number(convert, rules_.decimalMark);
    bool numeric = false;
    // The first bytes of the item, enough to tell a missing-value marker.
    char head[4] = {};
    std::size_t headSize = 0;
    const auto keep = [&](int ch) {
        if (headSize < sizeof head)
            head[headSize] = static_cast<char>(ch);
        ++headSize;
    };
    int c = peek();
    if (c == '"') {
        ++pos_;
        bool closed = false;
        for (c = peek(); c >= 0 && !isLineEnd(c); c = peek()) {
            ++pos_;
            if (c == '"') {
                closed = true;
                break;
            }
            keep(c);
            number.feed(c);
        }
        numeric = closed && number.complete();
        if (closed && !endsItem(peek())) {
            numeric = false;
            skipToSeparatorOrLineEnd();
        } else if (closed && isMissingMarker(head, headSize)) {
            field.kind = Field::Kind::Missing;
            return;
        }
    } else if (c == 'n' || c == 'N') { // no number starts so: a missing value, or text
        while (!endsItem(c) && headSize <= sizeof head) {
            keep(c);
            ++pos_;
            c = peek();
        }
        if (endsItem(c) && isMissingMarker(head, headSize)) {
            field.kind = Field::Kind::Missing;
            return;
        }
        skipToSeparatorOrLineEnd();
    } else {
        while (!endsItem(c) && number.feed(c)) {
            ++pos_;
            c = peek();
        }
        numeric = endsItem(c) && number.complete();
        if (!numeric)
            skipToSeparatorOrLineEnd();
    }

    if (!numeric)
        field.kind = Field::Kind::NonNumeric;
    else if (convert)
        field.kind = fieldKind(number.convert(field.value));
    else
        field.kind = Field::Kind::Number;
}

// The first byte of data in [begin, end): not a blank, a line end or part of a comment line.
// Returns `end` when there is none; the scan then goes on from where it stands.
const char *TextFile::DataScan::findData(const char *begin, const char *end) {
    for (const char *p = begin; p < end; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (isLineEnd(c)) {
            inComment = false;
            lineStart = true;
        } else if (inComment || isBlank(c)) {
            continue;
        } else if (c == '#' && lineStart) {
            inComment = true;
        } else {
            return p;
        }
    }
    return end;
}

// A byte of data found from one place stays data from every earlier place, and a place from
// which none follows has none after it either, so both are kept.
bool TextFile::scanForEnd() {
    if (!file_ || writing_ || readErrno_ != 0)
        return true;
    if (afterComma_)
        return false;
    const std::int64_t here = bufferStart_ + static_cast<std::int64_t>(pos_);
    if (here <= knownNonBlank_)
        return false;
    if (blankFrom_ >= 0 && here >= blankFrom_)
        return true;
    DataScan scan{atLineStart_};
    std::size_t i = pos_;
    for (;;) {
        const char *data = buffer_.data();
        const char *stop = scan.findData(data + i, data + end_);
        if (stop != data + end_) {
            knownNonBlank_ = bufferStart_ + (stop - data);
            return false;
        }
        i = end_;
        // Nothing in the buffer from pos_ on is data: look further without consuming.
        if (pos_ == 0 && end_ == buffer_.size())
            return scanBeyondBuffer(here, scan);
        const std::size_t scanned = i - pos_;
        if (!fillMore()) {
            if (readErrno_ == 0)
                blankFrom_ = here;
            return true;
        }
        i = pos_ + scanned;
    }
}

// The run without data fills the whole buffer: read on to its end, then come back.
bool TextFile::scanBeyondBuffer(std::int64_t from, DataScan scan) {
    pos_ = end_;
    for (;;) {
        if (!fillMore()) {
            if (readErrno_ != 0)
                return true;
            blankFrom_ = from;
            reposition(from);
            return true;
        }
        const char *begin = buffer_.data() + pos_;
        const char *end = buffer_.data() + end_;
        const char *stop = scan.findData(begin, end);
        if (stop != end) {
            knownNonBlank_ = bufferStart_ + (stop - buffer_.data());
            reposition(from);
            return readErrno_ != 0;
        }
        pos_ = end_;
    }
}

void TextFile::reposition(std::int64_t offset) {
    bufferStart_ = offset;
    pos_ = end_ = 0;
    eof_ = false;
    if (seekTo(file_, offset) != 0) {
        readErrno_ = errno != 0 ? errno : EIO;
        eof_ = true;
    }
}

int TextFile::refillPeek() {
    if (!fillMore())
        return -1;
    return static_cast<unsigned char>(buffer_[pos_]);
}

// Reads more of the file after end_, keeping the unread bytes from pos_ on. False at the end
// of the file, on a read error, or when the unread bytes fill the buffer.
bool TextFile::fillMore() {
    if (eof_ || !file_)
        return false;
    if (pos_ == end_) {
        bufferStart_ += static_cast<std::int64_t>(end_);
        pos_ = end_ = 0;
    } else if (end_ == buffer_.size()) {
        if (pos_ == 0)
            return false;
        std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
        bufferStart_ += static_cast<std::int64_t>(pos_);
        end_ -= pos_;
        pos_ = 0;
    }
    errno = 0;
    const std::size_t n = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_);
    if (n == 0) {
        eof_ = true;
        if (std::ferror(file_))
            readErrno_ = errno != 0 ? errno : EIO;
        return false;
    }
    end_ += n;
    return true;
}

int TextFile::skipBlanksAcrossRefills() {
    for (;;) {
        const int c = peek();
        if (!isBlank(c))
            return c;
        ++pos_;
    }
}

void TextFile::skipToSeparatorOrLineEnd() {
    const char separator = rules_.separator;
    for (;;) {
        const char *begin = buffer_.data() + pos_;
        const char *end = buffer_.data() + end_;
        const char *stop = std::find_if(begin, end, [separator](char ch) {
            return ch == separator || ch == '\r' || ch == '\n';
        });
        pos_ += stop - begin;
        if (stop != end || !fillMore())
            return;
    }
}

void TextFile::skipToLineEnd() {
    for (;;) {
        const char *begin = buffer_.data() + pos_;
        const char *end = buffer_.data() + end_;
        const char *stop =
            std::find_if(begin, end, [](char ch) { return ch == '\r' || ch == '\n'; });
        pos_ += static_cast<std::size_t>(stop - begin);
        if (stop != end || !fillMore())
            return;
    }
}

// c is the CR or LF at pos_; CR LF is one line end. The line ends of comment lines are
// counted apart, as they end no data line.
void TextFile::consumeLineEnd(int c, bool comment) {
    ++pos_;
    if (c == '\r' && peek() == '\n')
        ++pos_;
    ++(comment ? commentLines_ : lineEnds_);
    atLineStart_ = true;
}

Status TextFile::readFailure() const {
    return Status::failure(kFileFailed, "Cannot read " + path_ + ": " + std::strerror(readErrno_))
        .withDetail("line " + std::to_string(lineOfLastRead()) + ": " + systemReason(readErrno_));
}

Status TextFile::pastEnd() const {
    return readErrno_ != 0 ? readFailure()
                           : Status::failure(kPastEnd, "Reading past the end of " + path_)
                                 .withDetail("line " + std::to_string(lineOfLastRead()) +
                                             ": the file ends here");
}

Status TextFile::notReading() const {
    return Status::failure(kPastEnd, "No file is open for reading");
}

Status TextFile::writeFailure(int error, const char *what) const {
    return Status::failure(writeFailureCode(error), std::string("Cannot ") + what + " " + path_ +
                                                        ": " + std::strerror(error));
}

Status TextFile::openForWriting(ReplacedFile &output) {
    closeAll();
    dropHeldFile();
    path_ = output.path();
    errno = 0;
    std::FILE *file = output.openStream();
    if (!file)
        return writeFailure(errno != 0 ? errno : EIO, "create");
    file_ = file;
    writing_ = true;
    return Status::success();
}

Status TextFile::writeLine(std::string_view text) {
    if (!file_ || !writing_)
        return Status::failure(kOutputFailed, "No file is open for writing");
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size() ||
        std::fwrite("\r\n", 1, 2, file_) != 2)
        return writeFailure(errno != 0 ? errno : EIO, "write");
    return Status::success();
}

Status TextFile::writeText(std::string_view text) {
    if (!file_ || !writing_)
        return Status::failure(kOutputFailed, "No file is open for writing");
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size())
        return writeFailure(errno != 0 ? errno : EIO, "write");
    return Status::success();
}

Status TextFile::close() {
    if (!file_)
        return Status::success();
    Status result;
    if (writing_) {
        errno = 0;
        if (std::fflush(file_) != 0)
            result = writeFailure(errno != 0 ? errno : EIO, "write");
        errno = 0;
        if (std::fclose(file_) != 0 && result.ok())
            result = writeFailure(errno != 0 ? errno : EIO, "close");
        file_ = nullptr;
    } else {
        result = readStatus();
    }
    closeAll();
    return result;
}

void TextFile::closeAll() {
    if (file_ && file_ != heldFile_)
        std::fclose(file_);
    file_ = nullptr;
    writing_ = false;
    pos_ = end_ = 0;
    eof_ = false;
    bufferStart_ = 0;
    knownNonBlank_ = -1;
    blankFrom_ = -1;
    lineEnds_ = 0;
    commentLines_ = 0;
    atLineStart_ = true;
    afterComma_ = false;
    readErrno_ = 0;
}

std::vector<std::string> headerNames(std::string_view line, const ReadingRules &rules) {
    std::vector<std::string> names;
    std::size_t i = 0;
    const auto skipLineBlanks = [&] {
        while (i < line.size() && isBlank(static_cast<unsigned char>(line[i])))
            ++i;
    };
    for (;;) {
        skipLineBlanks();
        std::string name;
        while (i < line.size() && !isBlank(static_cast<unsigned char>(line[i])) &&
               line[i] != rules.separator) {
            if (line[i] != '"') {
                name += line[i++];
                continue;
            }
            // An unclosed quote runs to the line end, as in the data.
            const std::size_t close = std::min(line.find('"', i + 1), line.size());
            name.append(line.substr(i + 1, close - i - 1));
            i = std::min(close + 1, line.size());
        }
        names.push_back(std::move(name));
        // After a name: blanks, then one separator (a name follows it, if only an empty one)
        // or the line end.
        skipLineBlanks();
        if (i == line.size())
            return names;
        if (line[i] == rules.separator)
            ++i;
    }
}

} // namespace mergon
