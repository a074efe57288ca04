#pragma once
// Lines of plain numbers, found 64 bytes at a time. Every byte of a word is put in its class at
// once (blank, line end, digit, point, sign, exponent mark, other) and the number grammar is
// checked on the class masks with shifts and carries, so that the usual data line costs a few
// instructions per word instead of a branch per byte.
//
// A line is plain when it ends with a line end (CR, LF or CR LF), holds at least one item, and
// every item is a number (an optional sign, digits with an optional point and at least one
// digit, then optionally E, e, D or d, an optional sign and digits) between blanks or tabs.
// Such a line reads field by field as exactly its numbers, so any other line is left to the
// field-by-field reading.

#include "engine/text_file.h"

#include <cstdint>

namespace mergon {

struct PlainLines {
    const char *end = nullptr; // just after the line end of the last line taken
    std::int64_t lines = 0;    // lines taken
    std::int64_t fields = 0;   // their numbers
    bool toEnd = false;        // stopped by the end of the data, not by a line
};

// Takes the plain lines from `begin`, which starts a line, up to the first line that is not
// plain or does not end before `end`. `more` tells whether the file goes on after `end`: a CR
// just before it may then be the first half of a CR LF. Stops once `maxLines` lines are taken,
// give or take the lines of one word. With `numbers`, their numbers go there in order, and the
// taking stops before a line whose numbers would not fit in `room`.
PlainLines takePlainLines(const char *begin, const char *end, bool more, std::int64_t maxLines,
                          PlainNumber *numbers = nullptr, int room = 0);

// Which way plain lines are taken: the best build of the word scan this processor has (the
// default), the baseline build (SSE2 on x86-64), the build that classes a word byte by byte,
// or none, which leaves every line to the field-by-field reading. The tests and the fuzzer
// read the same files in each lane and compare.
enum class ScanLane { Best, Baseline, Bytewise, FieldByField };
void useScanLane(ScanLane lane);

} // namespace mergon
