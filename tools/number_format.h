// Number texts of the user interface, the same on every C runtime: the corner
// fields ("%1.16lf", "%1.18lf"), the progress percentage ("%3.1f%%") and a
// short form that reads back to the same double ("%.17g"), all from one
// formatter of our own; and the reading of those fields (decimal numbers
// only, and the unsigned reading of a dialog's integer field).
//
// Rounding of the fixed-point texts: the value is first taken to its decimal
// form of 17 significant digits, correctly rounded from the exact binary value
// (ties to even); that form is then rounded half away from zero to the
// format's decimals, and digits past the 17th significant one show as 0. So
// 0.25 gives "0.3" at one decimal, and 1.45 (just below 1.45 as a double, but
// 1.4500000000000000 at 17 digits) gives "1.5".
//
// Every formatter writes at most size - 1 characters and a terminator (none
// when size is 0) and returns the length of the whole text, as snprintf does:
// a result >= size means the text was cut. Non-finite values read "nan",
// "-nan", "inf" and "-inf"; a negative value, -0.0 included, keeps its sign
// even when it rounds to zero.
#pragma once

#include <cstddef>
#include <cstdint>

// The 17-significant-digit decimal form of a double: value = digits[0].digits[1]
// ... digits[16] x 10^exponent, digits as 0..9 (not characters), digits[0] != 0
// unless the value is zero (then every digit is 0 and exponent is 0).
struct Decimal17 {
    std::uint8_t digits[17] = {};
    int exponent = 0;
    bool negative = false;
};

// The correctly rounded 17-digit form of a finite double (NaN and infinities
// give an all-zero form; callers test for them first).
Decimal17 ToDecimal17(double value);

// "%<minWidth>.<decimals>f" with the rounding above. decimals is taken in
// 0..1074 and minWidth in 0..1100 (values outside are clamped); padding is
// with spaces on the left.
std::size_t FormatFixed(double value, int decimals, int minWidth, char* buffer, std::size_t size);

// "%.17g": 17 significant digits with trailing zeros removed, in exponent form
// ("1.2345678901234567e+45") when the exponent is below -4 or above 16. It
// reads back with strtod to the same double, at most 24 characters.
std::size_t FormatShortest17(double value, char* buffer, std::size_t size);

// A corner field: "%1.<decimals>lf" when that text fits in size - 1
// characters, otherwise the "%.17g" form, which fits whenever size >= 25.
std::size_t FormatCorner(double value, int decimals, char* buffer, std::size_t size);

// "%3.1f%%": the percentage of the progress window.
std::size_t FormatPercent(double percent, char* buffer, std::size_t size);

// A corner field's number, the same on every C runtime: white space, an
// optional sign, decimal digits with an optional point (at least one digit),
// and an optional exponent ('e' or 'E', an optional sign, at least one digit);
// the longest prefix of that form is converted with correct rounding (to
// +-infinity beyond the largest double, to +-0 below the smallest). Text
// without such a prefix ("nan", "inf", a lone sign, "."), or a null pointer,
// gives 0.0; "0x1p-1" reads as its leading 0. Nothing past the terminator is
// read.
double ParseDouble(const char* text);

// The unsigned reading of a dialog's integer field: leading white space is
// skipped, then at least one decimal digit must follow and the digits up to
// the first other character are converted. A sign ('+' or '-'), text without
// a leading digit, a value above 4294967295, or a null pointer gives 0, and
// *translated (when given) tells whether a value was read.
std::uint32_t ParseUnsigned(const char* text, bool* translated = nullptr);

// A field that shows a double as text and gives that double back while the
// user has not changed the text: 16 or 18 decimals cannot hold every double,
// so reading the text back would move a deep-zoom corner or collapse one near
// zero.
class ShownNumber {
public:
    // Formats value with FormatCorner for a field that holds fieldSize - 1
    // characters (fieldSize is taken in 25..kCapacity).
    void Show(double value, int decimals, std::size_t fieldSize);
    // The text to put into the field (empty before the first Show).
    const char* Text() const { return text_; }
    // The value for the field's current text: the shown double when the text
    // is the one shown, otherwise ParseDouble(text).
    double Read(const char* currentText) const;

    static constexpr std::size_t kCapacity = 260;

private:
    double value_ = 0.0;
    bool shown_ = false;
    char text_[kCapacity] = {};
};
