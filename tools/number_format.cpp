#include "tools/number_format.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// White space as the "C" locale's isspace has it.
const char* SkipSpace(const char* text) {
    while (*text == ' ' || *text == '\t' || *text == '\n' || *text == '\v' || *text == '\f' ||
           *text == '\r') {
        ++text;
    }
    return text;
}

// Appends to a caller's buffer of `size` bytes, keeping room for the
// terminator, and counts the whole text.
class BoundedWriter {
public:
    BoundedWriter(char* buffer, std::size_t size) : buffer_(buffer), size_(buffer ? size : 0) {}

    void Put(char c) {
        if (length_ + 1 < size_) {
            buffer_[length_] = c;
        }
        ++length_;
    }
    void Put(const char* text) {
        while (*text != '\0') {
            Put(*text++);
        }
    }
    void Repeat(char c, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            Put(c);
        }
    }
    std::size_t Finish() {
        if (size_ > 0) {
            buffer_[std::min(length_, size_ - 1)] = '\0';
        }
        return length_;
    }

private:
    char* buffer_;
    std::size_t size_;
    std::size_t length_ = 0;
};

bool SignBit(double value) {
    return (std::bit_cast<std::uint64_t>(value) >> 63) != 0;
}

bool IsNonFinite(double value) {
    return ((std::bit_cast<std::uint64_t>(value) >> 52) & 0x7FF) == 0x7FF;
}

const char* NonFiniteName(double value) {
    const bool isNan = (std::bit_cast<std::uint64_t>(value) & ((std::uint64_t{1} << 52) - 1)) != 0;
    if (isNan) {
        return SignBit(value) ? "-nan" : "nan";
    }
    return SignBit(value) ? "-inf" : "inf";
}

void PutPadded(BoundedWriter& out, const char* text, int minWidth) {
    const std::size_t length = std::strlen(text);
    if (static_cast<std::size_t>(minWidth) > length) {
        out.Repeat(' ', static_cast<std::size_t>(minWidth) - length);
    }
    out.Put(text);
}

// Digits of a fixed-point result: digit[i] stands at the power 10^(top - i);
// positions outside 0..count-1 are zero.
struct RoundedDigits {
    std::uint8_t digit[18] = {};
    int count = 0;
    int top = 0;

    int At(int power) const {
        const int index = top - power;
        return index >= 0 && index < count ? digit[index] : 0;
    }
};

// The 17-digit form rounded half away from zero to `decimals` places.
RoundedDigits RoundToDecimals(const Decimal17& d, int decimals) {
    RoundedDigits r;
    r.top = d.exponent;
    if (d.digits[0] == 0) {
        return r;  // zero
    }
    // Number of the form's digits that stand at or above 10^-decimals.
    const int keep = d.exponent + decimals + 1;
    if (keep >= 17) {
        std::copy(d.digits, d.digits + 17, r.digit);
        r.count = 17;
        return r;
    }
    if (keep < 0) {
        return r;  // below half a unit of the last place
    }
    std::copy(d.digits, d.digits + keep, r.digit);
    r.count = keep;
    if (d.digits[keep] < 5) {
        return r;
    }
    int i = keep - 1;
    while (i >= 0 && r.digit[i] == 9) {
        r.digit[i--] = 0;
    }
    if (i >= 0) {
        ++r.digit[i];
    } else {
        // Carried past the first digit (or keep == 0): one unit one place up.
        r.digit[0] = 1;
        r.count = 1;
        r.top = d.exponent + 1;
    }
    return r;
}

void WriteFixed(BoundedWriter& out, double value, int decimals, int minWidth) {
    decimals = std::clamp(decimals, 0, 1074);
    minWidth = std::clamp(minWidth, 0, 1100);
    if (IsNonFinite(value)) {
        PutPadded(out, NonFiniteName(value), minWidth);
        return;
    }
    const Decimal17 d = ToDecimal17(value);
    const RoundedDigits r = RoundToDecimals(d, decimals);
    const int highest = (r.count > 0 && r.top > 0) ? r.top : 0;
    const std::size_t length = (d.negative ? 1u : 0u) + static_cast<std::size_t>(highest) + 1 +
                               (decimals > 0 ? 1 + static_cast<std::size_t>(decimals) : 0);
    if (static_cast<std::size_t>(minWidth) > length) {
        out.Repeat(' ', static_cast<std::size_t>(minWidth) - length);
    }
    if (d.negative) {
        out.Put('-');
    }
    for (int p = highest; p >= 0; --p) {
        out.Put(static_cast<char>('0' + r.At(p)));
    }
    if (decimals > 0) {
        out.Put('.');
        for (int p = -1; p >= -decimals; --p) {
            out.Put(static_cast<char>('0' + r.At(p)));
        }
    }
}

}  // namespace

Decimal17 ToDecimal17(double value) {
    Decimal17 result;
    result.negative = SignBit(value);
    if (IsNonFinite(value) || value == 0.0) {
        return result;
    }
    // to_chars with a precision rounds correctly from the exact binary value,
    // ties to even, on every runtime: "d.dddddddddddddddde[+-]x..".
    char text[32];
    const auto [end, error] = std::to_chars(text, text + sizeof(text), value < 0 ? -value : value,
                                            std::chars_format::scientific, 16);
    (void)error;  // 24 characters at most: it always fits
    result.digits[0] = static_cast<std::uint8_t>(text[0] - '0');
    for (int i = 1; i < 17; ++i) {
        result.digits[i] = static_cast<std::uint8_t>(text[i + 1] - '0');
    }
    const char* p = text + 19;  // the exponent's sign, past "e"
    const bool negativeExponent = *p++ == '-';
    int exponent = 0;
    for (; p != end; ++p) {
        exponent = exponent * 10 + (*p - '0');
    }
    result.exponent = negativeExponent ? -exponent : exponent;
    return result;
}

std::size_t FormatFixed(double value, int decimals, int minWidth, char* buffer, std::size_t size) {
    BoundedWriter out(buffer, size);
    WriteFixed(out, value, decimals, minWidth);
    return out.Finish();
}

std::size_t FormatShortest17(double value, char* buffer, std::size_t size) {
    BoundedWriter out(buffer, size);
    if (IsNonFinite(value)) {
        out.Put(NonFiniteName(value));
        return out.Finish();
    }
    const Decimal17 d = ToDecimal17(value);
    if (d.negative) {
        out.Put('-');
    }
    int last = 16;  // the last digit that is not a trailing zero
    while (last > 0 && d.digits[last] == 0) {
        --last;
    }
    const int x = d.exponent;
    if (x < -4 || x >= 17) {
        out.Put(static_cast<char>('0' + d.digits[0]));
        if (last > 0) {
            out.Put('.');
            for (int i = 1; i <= last; ++i) {
                out.Put(static_cast<char>('0' + d.digits[i]));
            }
        }
        out.Put('e');
        out.Put(x < 0 ? '-' : '+');
        const int magnitude = x < 0 ? -x : x;
        if (magnitude >= 100) {
            out.Put(static_cast<char>('0' + magnitude / 100));
        }
        out.Put(static_cast<char>('0' + magnitude / 10 % 10));
        out.Put(static_cast<char>('0' + magnitude % 10));
        return out.Finish();
    }
    // Plain notation: digit i stands at 10^(x - i).
    if (x >= 0) {
        for (int i = 0; i <= x; ++i) {
            out.Put(static_cast<char>('0' + d.digits[i]));
        }
    } else {
        out.Put('0');
    }
    const int fractionDigits = last - x;  // digits after the point up to the last non-zero
    if (fractionDigits > 0) {
        out.Put('.');
        for (int k = 1; k <= fractionDigits; ++k) {
            const int index = x + k;
            out.Put(static_cast<char>('0' + (index >= 0 ? d.digits[index] : 0)));
        }
    }
    return out.Finish();
}

std::size_t FormatCorner(double value, int decimals, char* buffer, std::size_t size) {
    const std::size_t fixedLength = FormatFixed(value, decimals, 1, nullptr, 0);
    if (fixedLength < size) {
        return FormatFixed(value, decimals, 1, buffer, size);
    }
    return FormatShortest17(value, buffer, size);
}

std::size_t FormatPercent(double percent, char* buffer, std::size_t size) {
    BoundedWriter out(buffer, size);
    WriteFixed(out, percent, 1, 3);
    out.Put('%');
    return out.Finish();
}

double ParseDouble(const char* text) {
    if (text == nullptr) {
        return 0.0;
    }
    const char* p = SkipSpace(text);
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-') {
        ++p;
    }
    // The mantissa: digits with at most one point, and at least one digit.
    // lead is the power of ten of its first non-zero digit (any value when
    // every digit is 0).
    const char* const begin = p;
    int integerDigits = 0;
    for (; IsDigit(*p); ++p) {
        ++integerDigits;
    }
    int fractionDigits = 0;
    if (*p == '.') {
        for (++p; IsDigit(*p); ++p) {
            ++fractionDigits;
        }
    }
    if (integerDigits + fractionDigits == 0) {
        return 0.0;
    }
    long lead = integerDigits - 1;
    for (const char* digit = begin; digit != p && (*digit == '0' || *digit == '.'); ++digit) {
        lead -= *digit == '0' ? 1 : 0;
    }
    // The exponent counts only with at least one digit: "1e" and "1e+" are 1.
    const char* end = p;
    long exponent = 0;
    if (*p == 'e' || *p == 'E') {
        const char* q = p + 1;
        const bool negativeExponent = *q == '-';
        if (*q == '+' || *q == '-') {
            ++q;
        }
        if (IsDigit(*q)) {
            for (; IsDigit(*q); ++q) {
                // Saturated far beyond any double's range.
                exponent = std::min(exponent * 10 + (*q - '0'), 100000L);
            }
            exponent = negativeExponent ? -exponent : exponent;
            end = q;
        }
    }
    double magnitude = 0.0;
    const auto [stop, error] = std::from_chars(begin, end, magnitude, std::chars_format::general);
    if (error == std::errc::result_out_of_range) {
        // Beyond the doubles: infinity above, zero below, as strtod gives.
        magnitude = lead + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (error != std::errc() || stop != end) {
        return 0.0;  // not reached: the prefix is one from_chars reads whole
    }
    return negative ? -magnitude : magnitude;
}

std::uint32_t ParseUnsigned(const char* text, bool* translated) {
    if (translated != nullptr) {
        *translated = false;
    }
    if (text == nullptr) {
        return 0;
    }
    text = SkipSpace(text);
    if (*text < '0' || *text > '9') {
        return 0;
    }
    std::uint64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + static_cast<std::uint64_t>(*text - '0');
        if (value > 0xFFFFFFFFu) {
            return 0;
        }
    }
    if (translated != nullptr) {
        *translated = true;
    }
    return static_cast<std::uint32_t>(value);
}

void ShownNumber::Show(double value, int decimals, std::size_t fieldSize) {
    fieldSize = std::clamp<std::size_t>(fieldSize, 25, kCapacity);
    FormatCorner(value, decimals, text_, fieldSize);
    value_ = value;
    shown_ = true;
}

double ShownNumber::Read(const char* currentText) const {
    if (shown_ && currentText != nullptr && std::strcmp(currentText, text_) == 0) {
        return value_;
    }
    return ParseDouble(currentText);
}
