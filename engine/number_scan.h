#pragma once
// The number grammar of the input files and its exact conversion: an optional sign, digits with
// an optional decimal mark and fraction (at least one digit in all), and an optional exponent:
// E, e, D or d, an optional sign, digits. The mark is a point unless the file's reading rules
// make it a comma. Values are correctly rounded; no locale, no allocation.

#include <cstdint>

namespace mergon {

enum class NumberError {
    None,       // a number; its value is set
    NotANumber, // no number starts here
    OutOfRange, // beyond the range of a double ("1e999"); an underflow reads as 0 instead
};

struct NumberScanResult {
    const char *ptr; // the end of the number, or the start when there is none
    NumberError error;
};

// from_chars style: reads the longest prefix of [first, last) that is a number, with
// decimalMark ('.' or ',') as its decimal mark. The caller rejects trailing text by checking ptr.
NumberScanResult scanNumber(const char *first, const char *last, double &value,
                            char decimalMark = '.');

// The value of [begin, end), which holds exactly one complete number written with a decimal
// point; exponentD tells whether its exponent is written with D or d.
NumberError convertNumber(const char *begin, const char *end, bool exponentD, double &value);
// The same for a number written with a decimal comma.
NumberError convertCommaNumber(const char *begin, const char *end, bool exponentD, double &value);
// The same for a number written with the given decimal mark, '.' or ','.
inline NumberError convertNumber(const char *begin, const char *end, bool exponentD,
                                 char decimalMark, double &value) {
    return decimalMark == '.' ? convertNumber(begin, end, exponentD, value)
                              : convertCommaNumber(begin, end, exponentD, value);
}

inline bool isDigit(int c) { return c >= '0' && c <= '9'; }
inline bool isExponentMark(int c) { return c == 'e' || c == 'E' || c == 'd' || c == 'D'; }

// Enough significant digits to round any decimal number to a double correctly, given a sticky
// digit that stands for the nonzero digits dropped after them.
inline constexpr int kMaxDigits = 800;
// Written exponents saturate here; any value beyond fits the range checks all the same.
inline constexpr std::int64_t kExponentCap = 10'000'000'000'000'000;

// Recognizes a number one character at a time, keeping its significant digits in a fixed
// array, so that an item of any length is read without storing it.
class NumberScan {
  public:
    explicit NumberScan(bool keepDigits, char decimalMark = '.')
        : keep_(keepDigits), mark_(decimalMark) {}

    // Takes the next character of the item; false once the item cannot be a number.
    bool feed(int c) {
        switch (state_) {
        case Start:
        case Sign:
            if (isDigit(c)) {
                intDigit(c);
                state_ = Int;
            } else if (c == mark_) {
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
            else if (c == mark_)
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

    // The value of a complete number, correctly rounded: None (an underflow gives 0 or a
    // denormal) or OutOfRange.
    NumberError convert(double &value) const;

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
    char mark_; // the decimal mark
    bool negative_ = false;
    bool expNegative_ = false;
    bool sticky_ = false;       // a nonzero digit was dropped after the kept ones
    int count_ = 0;             // significant digits kept
    std::int64_t scale_ = 0;    // power of ten of the last kept digit, before the exponent
    std::int64_t exponent_ = 0; // the written exponent, saturated
    char digits_[kMaxDigits];
};

} // namespace mergon
