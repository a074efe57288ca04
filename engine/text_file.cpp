#include "engine/text_file.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cerrno>
#include <charconv>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mergon {

namespace {

bool isBlank(int c) { return c == ' ' || c == '\t'; }
bool isLineEnd(int c) { return c == '\r' || c == '\n'; }
bool isBlankOrLineEnd(int c) { return isBlank(c) || isLineEnd(c); }
// A complete number ends at a blank, tab, comma, line end or the end of the file.
bool endsNumber(int c) { return c < 0 || isBlankOrLineEnd(c) || c == ','; }
bool isDigit(int c) { return c >= '0' && c <= '9'; }
bool isExponentMark(int c) { return c == 'e' || c == 'E' || c == 'd' || c == 'D'; }
bool isDigitByte(char c) { return static_cast<unsigned char>(c - '0') < 10; }

int seekTo(std::FILE *file, std::int64_t offset) {
#ifdef _WIN32
    return _fseeki64(file, offset, SEEK_SET);
#else
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET);
#endif
}

// Enough significant digits to round any decimal number to a double correctly, given a sticky
// digit that stands for the nonzero digits dropped after them.
constexpr int kMaxDigits = 800;
// Written exponents saturate here; any value beyond fits the range checks all the same.
constexpr std::int64_t kExponentCap = 10'000'000'000'000'000;

// Recognizes a number one character at a time, keeping its significant digits in a fixed
// array, so that an item of any length is read without storing it.
class NumberScan {
public:
    explicit NumberScan(bool keepDigits) : keep_(keepDigits) {}

    // Takes the next character of the item; false once the item cannot be a number.
    bool feed(int c) {
        switch (state_) {
        case Start:
        case Sign:
            if (isDigit(c)) {
                intDigit(c);
                state_ = Int;
            } else if (c == '.') {
                state_ = Point;
            } else if (state_ == Start && (c == '+' || c == '-')) {
                negative_ = c == '-';
                state_ = Sign;
            } else {
                state_ = Bad;
            }
            break;
        case Int:
            if (isDigit(c))
                intDigit(c);
            else if (c == '.')
                state_ = Frac;
            else
                state_ = isExponentMark(c) ? ExpMark : Bad;
            break;
        case Point:
        case Frac:
            if (isDigit(c)) {
                fracDigit(c);
                state_ = Frac;
            } else {
                state_ = state_ == Frac && isExponentMark(c) ? ExpMark : Bad;
            }
            break;
        case ExpMark:
            if (c == '+' || c == '-') {
                expNegative_ = c == '-';
                state_ = ExpSign;
                break;
            }
            [[fallthrough]];
        case ExpSign:
        case ExpDigits:
            if (isDigit(c)) {
                if (exponent_ < kExponentCap)
                    exponent_ = exponent_ * 10 + (c - '0');
                state_ = ExpDigits;
            } else {
                state_ = Bad;
            }
            break;
        case Bad:
            break;
        }
        return state_ != Bad;
    }

    bool complete() const { return state_ == Int || state_ == Frac || state_ == ExpDigits; }

    // The value of a complete number, correctly rounded: Number (an underflow gives 0 or a
    // denormal) or TooLarge.
    Field::Kind convert(double &value) const {
        const double zero = negative_ ? -0.0 : 0.0;
        if (count_ == 0) {
            value = zero;
            return Field::Kind::Number;
        }
        std::int64_t exponent = scale_ + (expNegative_ ? -exponent_ : exponent_);
        const int digits = count_ + (sticky_ ? 1 : 0);
        if (sticky_)
            --exponent;
        // The value lies in [10^(magnitude-1), 10^magnitude).
        const std::int64_t magnitude = digits + exponent;
        if (magnitude > 310)
            return Field::Kind::TooLarge;
        if (magnitude < -330) {
            value = zero;
            return Field::Kind::Number;
        }
        char text[kMaxDigits + 32];
        char *p = text;
        if (negative_)
            *p++ = '-';
        p = std::copy_n(digits_, count_, p);
        if (sticky_)
            *p++ = '1';
        *p++ = 'e';
        p = std::to_chars(p, std::end(text), exponent).ptr;
        double result = 0;
        const auto [end, ec] = std::from_chars(text, p, result);
        if (ec == std::errc::result_out_of_range) {
            if (magnitude > 0)
                return Field::Kind::TooLarge;
            value = zero;
            return Field::Kind::Number;
        }
        if (ec != std::errc() || end != p)
            return Field::Kind::NonNumeric; // not reached: the text is built above
        value = result;
        return Field::Kind::Number;
    }

private:
    enum State : unsigned char { Start, Sign, Int, Point, Frac, ExpMark, ExpSign, ExpDigits, Bad };

    void intDigit(int c) {
        if (!keep_ || (count_ == 0 && c == '0'))
            return;
        if (count_ < kMaxDigits) {
            digits_[count_++] = static_cast<char>(c);
        } else {
            ++scale_;
            sticky_ = sticky_ || c != '0';
        }
    }
    void fracDigit(int c) {
        if (!keep_)
            return;
        if (count_ == 0 && c == '0') {
            --scale_;
        } else if (count_ < kMaxDigits) {
            digits_[count_++] = static_cast<char>(c);
            --scale_;
        } else {
            sticky_ = sticky_ || c != '0';
        }
    }

    State state_ = Start;
    bool keep_;
    bool negative_ = false;
    bool expNegative_ = false;
    bool sticky_ = false;       // a nonzero digit was dropped after the kept ones
    int count_ = 0;             // significant digits kept
    std::int64_t scale_ = 0;    // power of ten of the last kept digit, before the exponent
    std::int64_t exponent_ = 0; // the written exponent, saturated
    char digits_[kMaxDigits];
};

// The exact fast path of decimal conversion: a number whose digits form an integer of at most
// 2^53 and whose power of ten is at most 22 either way is the quotient or product of two exact
// doubles, so one rounding gives the correctly rounded value. False for any other number.
bool convertExactly(const char *p, const char *end, double &value) {
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    constexpr std::uint64_t kExactLimit = std::uint64_t{1} << 53;
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-')
        ++p;
    std::uint64_t digits = 0;
    int scale = 0;
    bool fraction = false;
    for (; p < end && (isDigitByte(*p) || *p == '.'); ++p) {
        if (*p == '.') {
            fraction = true;
            continue;
        }
        if (digits >= kExactLimit / 10)
            return false;
        digits = digits * 10 + static_cast<std::uint64_t>(*p - '0');
        scale -= fraction ? 1 : 0;
    }
    if (p < end) { // the exponent: a mark, an optional sign, digits
        ++p;
        const bool negativeExponent = *p == '-';
        if (*p == '+' || *p == '-')
            ++p;
        int exponent = 0;
        for (; p < end; ++p) {
            if (exponent > 1000)
                return false;
            exponent = exponent * 10 + (*p - '0');
        }
        scale += negativeExponent ? -exponent : exponent;
    }
    if (digits > kExactLimit || scale < -22 || scale > 22)
        return false;
    const double exact = static_cast<double>(digits);
    value = scale < 0 ? exact / kPowers[-scale] : exact * kPowers[scale];
    if (negative)
        value = -value;
    return true;
}

// The value of a complete number held in [begin, end).
Field::Kind convertNumber(const char *begin, const char *end, bool exponentD, double &value) {
    if (convertExactly(begin, end, value))
        return Field::Kind::Number;
    // from_chars takes neither '+' nor a D exponent: most numbers have neither and are read
    // in place; short ones that do are copied without them first.
    if (!exponentD && *begin != '+') {
        const auto [stop, ec] = std::from_chars(begin, end, value);
        if (ec == std::errc() && stop == end)
            return Field::Kind::Number;
    }
    char text[64];
    if (static_cast<std::size_t>(end - begin) <= sizeof text) {
        char *out = text;
        for (const char *q = begin + (*begin == '+' ? 1 : 0); q < end; ++q)
            *out++ = exponentD && (*q == 'd' || *q == 'D') ? 'e' : *q;
        const auto [stop, ec] = std::from_chars(text, out, value);
        if (ec == std::errc() && stop == out)
            return Field::Kind::Number;
    }
    // Long numbers, and those out of range: overflow or underflow.
    NumberScan number(true);
    for (const char *q = begin; q < end; ++q)
        number.feed(static_cast<unsigned char>(*q));
    value = 0;
    return number.convert(value);
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

// An input file that cannot be opened: missing, not to be read, or anything else.
Status openFailure(const std::string &path, int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return Status::failure(kFileNotFound, "File not found: " + path);
    case EACCES:
    case EPERM:
        return Status::failure(kPermissionDenied, "Cannot read " + path + ": permission denied");
    default:
        return Status::failure(kFileFailed, "Cannot open " + path + ": " + std::strerror(error));
    }
}

Status notRegular(const std::string &path, mode_t mode) {
    return Status::failure(kFileFailed, path + (S_ISDIR(mode) ? " is a folder, not a file"
                                                              : " is not a regular file"));
}

} // namespace

TextFile::TextFile(std::size_t bufferSize) : buffer_(std::max<std::size_t>(bufferSize, 1)) {}

Status TextFile::openForReading(const std::string &path) {
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
    if (c == ',') { // an empty item before a comma
        ++pos_;
        afterComma_ = true;
        return readStatus();
    }

    if (c == '"' || !scanItemInBuffer(field, convert))
        scanItem(field, convert);

    // After an item: blanks, then one comma or the line end.
    c = skipBlanks();
    if (c == ',') {
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
    if (p < end && *p == '.') {
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
    if (!complete || !endsNumber(p < end ? static_cast<unsigned char>(*p) : -1)) {
        skipToCommaOrLineEnd();
        field.kind = Field::Kind::NonNumeric;
        return true;
    }
    field.kind = convert ? convertNumber(begin, p, exponentD, field.value) : Field::Kind::Number;
    return true;
}

Field::Kind PlainNumber::convert(double &value) const {
    return convertNumber(begin, end, exponentD, value);
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
    if (!file_ || writing_ || readErrno_ != 0 || !atLineStart_ || afterComma_)
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
    NumberScan number(convert);
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
        if (closed && !endsNumber(peek())) {
            numeric = false;
            skipToCommaOrLineEnd();
        }
    } else {
        while (!endsNumber(c) && number.feed(c)) {
            ++pos_;
            c = peek();
        }
        numeric = endsNumber(c) && number.complete();
        if (!numeric)
            skipToCommaOrLineEnd();
    }

    if (!numeric)
        field.kind = Field::Kind::NonNumeric;
    else if (convert)
        field.kind = number.convert(field.value);
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

void TextFile::skipToCommaOrLineEnd() {
    for (;;) {
        const char *begin = buffer_.data() + pos_;
        const char *end = buffer_.data() + end_;
        const char *stop =
            std::find_if(begin, end, [](char ch) { return ch == ',' || ch == '\r' || ch == '\n'; });
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
    return Status::failure(kFileFailed, "Cannot read " + path_ + ": " + std::strerror(readErrno_));
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

} // namespace mergon
