#include "engine/text_file.h"

#include "engine/number_scan.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace mergon {

namespace {

bool isBlank(int c) { return c == ' ' || c == '\t'; }
bool isLineEnd(int c) { return c == '\r' || c == '\n'; }
bool isBlankOrLineEnd(int c) { return isBlank(c) || isLineEnd(c); }
bool isDigitByte(char c) { return static_cast<unsigned char>(c - '0') < 10; }

int seekTo(std::FILE *file, std::int64_t offset) {
#ifdef _WIN32
    return _fseeki64(file, offset, SEEK_SET);
#else
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET);
#endif
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

int writeCode(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
        return kPermissionDenied;
    case ENOENT:
    case ENOTDIR:
        return kPathNotFound;
    default:
        return kOutputFailed;
    }
}

} // namespace

TextFile::TextFile(std::size_t bufferSize) : buffer_(std::max<std::size_t>(bufferSize, 1)) {}

Status TextFile::openForReading(const std::string &path) {
    closeAll();
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_type type = fs::status(path, ec).type();
    if (type == fs::file_type::not_found)
        return Status::failure(kFileNotFound, "File not found: " + path);
    if (type == fs::file_type::directory)
        return Status::failure(kFileNotFound, path + " is a folder, not a file");
    if (type != fs::file_type::regular && type != fs::file_type::none)
        return Status::failure(kFileNotFound, path + " is not a regular file");
    errno = 0;
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (!file) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR)
            return Status::failure(kFileNotFound, "File not found: " + path);
        return Status::failure(kFileNotFound, "Cannot open " + path + ": " + std::strerror(error));
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
    return readStatus();
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
    if (!afterComma_ && atEnd())
        return pastEnd();
    afterComma_ = false;
    int c = skipBlanks();
    if (c < 0 || isLineEnd(c)) { // a line with no item, or a comma right before the line end
        if (c >= 0)
            consumeLineEnd(c);
        return readStatus();
    }
    atLineStart_ = false;
    if (c == rules_.separator) { // an empty item before a separator
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

// Scans an unquoted item that ends inside the buffer, in place. False, with nothing read,
// when the item may go on after the buffer.
bool TextFile::scanItemInBuffer(Field &field, bool convert) {
    const char *begin = buffer_.data() + pos_;
    const char *end = buffer_.data() + end_;
    const char *p = begin;
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

namespace {

// Runs of blanks and digits are skipped eight bytes at a time: their lengths vary from field to
// field, and a byte-by-byte loop pays a mispredicted branch at the end of nearly every run.
constexpr bool kWordScan = std::endian::native == std::endian::little;
constexpr std::uint64_t kEveryByte = 0x0101010101010101u;

std::uint64_t load8(const char *p) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

// The first byte of a word that is flagged (nonzero), counted in memory order.
std::size_t firstFlagged(std::uint64_t flags) {
    return static_cast<std::size_t>(std::countr_zero(flags)) / 8;
}

const char *skipSpaces(const char *p, const char *end) {
    if constexpr (kWordScan) {
        for (; end - p >= 8; p += 8)
            if (const std::uint64_t other = load8(p) ^ (kEveryByte * ' '))
                return p + firstFlagged(other);
    }
    while (p < end && *p == ' ')
        ++p;
    return p;
}

const char *skipDigits(const char *p, const char *end) {
    if constexpr (kWordScan) {
        constexpr std::uint64_t kHigh = kEveryByte * 0x80;
        for (; end - p >= 8; p += 8) {
            // A digit becomes 0..9; adding 0x76 sets the high bit of every larger byte, with
            // the high bits masked off first so that no byte carries into the next.
            const std::uint64_t y = load8(p) ^ (kEveryByte * '0');
            const std::uint64_t nonDigit = (((y & ~kHigh) + kEveryByte * 0x76) | y) & kHigh;
            if (nonDigit)
                return p + firstFlagged(nonDigit);
        }
    }
    while (p < end && isDigitByte(*p))
        ++p;
    return p;
}

// Moves p over a number that starts there: sign, digits with an optional point and fraction,
// an optional exponent. Null when no number starts at p; exponentD tells whether its exponent
// is written with D.
const char *skipNumber(const char *p, const char *end, bool &exponentD) {
    if (*p == '+' || *p == '-')
        ++p;
    const char *digits = p;
    p = skipDigits(p, end);
    bool any = p != digits;
    if (p < end && *p == '.') {
        digits = ++p;
        p = skipDigits(p, end);
        any = any || p != digits;
    }
    if (!any)
        return nullptr;
    exponentD = false;
    if (p < end && isExponentMark(static_cast<unsigned char>(*p))) {
        exponentD = *p == 'd' || *p == 'D';
        if (++p < end && (*p == '+' || *p == '-'))
            ++p;
        digits = p;
        while (p < end && isDigitByte(*p))
            ++p;
        if (p == digits)
            return nullptr;
    }
    return p;
}

} // namespace

int TextFile::readPlainLine(std::vector<PlainNumber> *numbers) {
    if (numbers)
        numbers->clear();
    const auto notPlain = [numbers] {
        if (numbers)
            numbers->clear();
        return 0;
    };
    if (!file_ || writing_ || readErrno_ != 0 || !atLineStart_ || afterComma_ ||
        !rules_.isDefault())
        return 0;
    const char *const data = buffer_.data();
    const char *p = data + pos_;
    const char *const end = data + end_;
    int count = 0;
    for (;;) {
        p = skipSpaces(p, end);
        while (p < end && isBlank(static_cast<unsigned char>(*p)))
            p = skipSpaces(p + 1, end);
        if (p == end)
            return notPlain(); // the line goes on after the buffer
        if (isLineEnd(static_cast<unsigned char>(*p)))
            break;
        PlainNumber number{p, nullptr, false};
        p = skipNumber(p, end, number.exponentD);
        // A number ends at a blank or the line end; anything else makes the line not plain.
        if (!p || p == end || !isBlankOrLineEnd(static_cast<unsigned char>(*p)))
            return notPlain();
        number.end = p;
        if (numbers)
            numbers->push_back(number);
        ++count;
    }
    // A line with no item is one empty field; a CR at the end of the buffer may be the first
    // half of CR LF. Both are left to readField.
    if (count == 0 || (*p == '\r' && p + 1 == end && !eof_))
        return notPlain();
    pos_ = static_cast<std::size_t>(p - data);
    consumeLineEnd(static_cast<unsigned char>(*p));
    return count;
}

// Scans an item through refills, one byte at a time: quoted items, and items that cross the
// end of the buffer.
void TextFile::scanItem(Field &field, bool convert) {
    NumberScan number(convert, rules_.decimalMark);
    bool numeric = false;
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
            number.feed(c);
        }
        numeric = closed && number.complete();
        if (closed && !endsItem(peek())) {
            numeric = false;
            skipToSeparatorOrLineEnd();
        }
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
    std::size_t i = pos_;
    for (;;) {
        while (i < end_ && isBlankOrLineEnd(static_cast<unsigned char>(buffer_[i])))
            ++i;
        if (i < end_) {
            knownNonBlank_ = bufferStart_ + static_cast<std::int64_t>(i);
            return false;
        }
        // Everything in the buffer from pos_ on is blank: look further without consuming.
        if (pos_ == 0 && end_ == buffer_.size())
            return scanBeyondBuffer(here);
        const std::size_t scanned = i - pos_;
        if (!fillMore()) {
            if (readErrno_ == 0)
                blankFrom_ = here;
            return true;
        }
        i = pos_ + scanned;
    }
}

// The blank run fills the whole buffer: read on to its end, then come back.
bool TextFile::scanBeyondBuffer(std::int64_t from) {
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
        const char *stop = std::find_if(
            begin, end, [](char ch) { return !isBlankOrLineEnd(static_cast<unsigned char>(ch)); });
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

// c is the CR or LF at pos_; CR LF is one line end.
void TextFile::consumeLineEnd(int c) {
    ++pos_;
    if (c == '\r' && peek() == '\n')
        ++pos_;
    ++lineEnds_;
    atLineStart_ = true;
}

Status TextFile::readFailure() const {
    return Status::failure(kFileNotFound,
                           "Cannot read " + path_ + ": " + std::strerror(readErrno_));
}

Status TextFile::pastEnd() const {
    return readErrno_ != 0 ? readFailure()
                           : Status::failure(kPastEnd, "Reading past the end of " + path_);
}

Status TextFile::notReading() const {
    return Status::failure(kPastEnd, "No file is open for reading");
}

Status TextFile::writeFailure(int error, const char *what) const {
    return Status::failure(writeCode(error), std::string("Cannot ") + what + " " + path_ + ": " +
                                                 std::strerror(error));
}

Status TextFile::openForWriting(const std::string &path) {
    closeAll();
    path_ = path;
    errno = 0;
    std::FILE *file = std::fopen(path.c_str(), "wb");
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
    if (file_)
        std::fclose(file_);
    file_ = nullptr;
    writing_ = false;
    pos_ = end_ = 0;
    eof_ = false;
    bufferStart_ = 0;
    knownNonBlank_ = -1;
    blankFrom_ = -1;
    lineEnds_ = 0;
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
