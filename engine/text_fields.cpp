#include "engine/text_file.h"

#include "engine/number_scan.h"
#include "engine/plain_lines.h"
#include "engine/text_bytes.h"

#include <algorithm>
#include <cstdint>

// The field tokenizer of TextFile: fields, comment lines, the plain-line lanes and the end of
// the data.

namespace mergon {

namespace {

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

} // namespace

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
    pos_ += static_cast<std::size_t>(p - begin);
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

} // namespace mergon
