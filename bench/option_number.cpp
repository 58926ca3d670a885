#include "bench/option_number.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <system_error>

namespace {

bool IsSpace(char c) {  // the C locale's white space
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool IsDigit(char c, bool hex) {
    return (c >= '0' && c <= '9') || (hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')));
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Lower(x) == Lower(y); });
}

// Skips white space and takes an optional sign; false when the sign is '-'.
std::string_view TakeSign(std::string_view text, bool& negative) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) {
        ++i;
    }
    negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    return text.substr(i);
}

bool IsNan(std::string_view text) {
    if (text.size() < 3 || !EqualsIgnoringCase(text.substr(0, 3), "nan")) {
        return false;
    }
    if (text.size() == 3) {
        return true;
    }
    if (text.size() < 5 || text[3] != '(' || text.back() != ')') {
        return false;
    }
    return std::all_of(text.begin() + 4, text.end() - 1, [](char c) {
        return IsDigit(c, true) || (c >= 'g' && c <= 'z') || (c >= 'G' && c <= 'Z') || c == '_';
    });
}

// The magnitude of a decimal or (after "0x") hexadecimal number that is the
// whole text. from_chars leaves a value beyond the doubles unset; which side
// it lies on follows from the place of its first non-zero digit (a power of
// 10, or of 16 for hexadecimal) and the exponent (of 10, or of 2).
bool ParseMagnitude(std::string_view text, bool hex, double& out) {
    std::size_t i = 0;
    std::size_t digits = 0, integerDigits = 0, firstNonZero = 0;
    bool seenNonZero = false, seenPoint = false;
    for (; i < text.size(); ++i) {
        if (text[i] == '.' && !seenPoint) {
            seenPoint = true;
            continue;
        }
        if (!IsDigit(text[i], hex)) {
            break;
        }
        if (!seenNonZero && text[i] != '0') {
            seenNonZero = true;
            firstNonZero = digits;
        }
        ++digits;
        integerDigits += seenPoint ? 0 : 1;
    }
    if (digits == 0) {
        return false;
    }
    // The power of the first non-zero digit: 2 for "123", -2 for "0.05".
    const long long lead =
        static_cast<long long>(integerDigits) - 1 - static_cast<long long>(firstNonZero);
    long long exponent = 0;
    const char marker = hex ? 'p' : 'e';
    if (i < text.size() && Lower(text[i]) == marker) {
        std::size_t j = i + 1;
        const bool negativeExponent = j < text.size() && text[j] == '-';
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            ++j;
        }
        if (j == text.size() || !IsDigit(text[j], false)) {
            return false;  // "1e", "1e+": the text does not end where the number does
        }
        for (; j < text.size() && IsDigit(text[j], false); ++j) {
            // Saturated far beyond any double and any text's length.
            exponent = std::min(exponent * 10 + (text[j] - '0'), 1'000'000'000'000LL);
        }
        exponent = negativeExponent ? -exponent : exponent;
        i = j;
    }
    if (i != text.size()) {
        return false;
    }
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), out,
                        hex ? std::chars_format::hex : std::chars_format::general);
    if (error == std::errc::result_out_of_range) {
        out =
            (hex ? 4 * lead : lead) + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
        return true;
    }
    return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

bool ParseDoubleOption(std::string_view text, double& out) {
    bool negative = false;
    const std::string_view rest = TakeSign(text, negative);
    double magnitude = 0.0;
    if (EqualsIgnoringCase(rest, "inf") || EqualsIgnoringCase(rest, "infinity")) {
        magnitude = std::numeric_limits<double>::infinity();
    } else if (IsNan(rest)) {
        magnitude = std::numeric_limits<double>::quiet_NaN();
    } else {
        const bool hex = rest.size() >= 2 && rest[0] == '0' && Lower(rest[1]) == 'x';
        if (!ParseMagnitude(hex ? rest.substr(2) : rest, hex, magnitude)) {
            return false;
        }
    }
    out = negative ? -magnitude : magnitude;
    return true;
}

bool ParseIntegerOption(std::string_view text, long long low, long long high, long long& out) {
    bool negative = false;
    const std::string_view digits = TakeSign(text, negative);
    if (digits.empty() || !IsDigit(digits[0], false)) {
        return false;  // from_chars would take a second sign
    }
    std::uint64_t magnitude = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
    const std::uint64_t limit =
        static_cast<std::uint64_t>(std::numeric_limits<long long>::max()) + (negative ? 1 : 0);
    if (error != std::errc() || end != digits.data() + digits.size() || magnitude > limit) {
        return false;
    }
    const long long value =
        negative ? static_cast<long long>(0 - magnitude) : static_cast<long long>(magnitude);
    if (value < low || value > high) {
        return false;
    }
    out = value;
    return true;
}
