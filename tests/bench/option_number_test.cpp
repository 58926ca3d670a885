// The benchmark's numeric options read as glibc's strtod and strtoll read a
// whole argument (what the Linux benchmark did): the same texts accepted, the
// same bits given. The reader does not use the C runtime, so the Windows
// build reads them alike; it cannot be run here to show it.
#include "bench/option_number.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace {

std::uint64_t Bits(double d) {
    std::uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return bits;
}

// Ours against strtod on the whole text. NaNs match in sign only: no payload
// is read.
void ExpectReadsAsStrtod(const std::string& text) {
    SCOPED_TRACE("\"" + text + "\"");
    char* end = nullptr;
    const double theirs = std::strtod(text.c_str(), &end);
    const bool theyAccept = end != text.c_str() && *end == '\0';
    double ours = 12345.0;
    ASSERT_EQ(ParseDoubleOption(text, ours), theyAccept);
    if (!theyAccept) {
        EXPECT_EQ(ours, 12345.0);
    } else if (std::isnan(theirs)) {
        EXPECT_TRUE(std::isnan(ours));
        EXPECT_EQ(std::signbit(ours), std::signbit(theirs));
    } else {
        EXPECT_EQ(Bits(ours), Bits(theirs)) << ours << " " << theirs;
    }
}

TEST(BenchOptions, DoublesReadAsStrtodReadsTheWholeText) {
    // Texts separated by '|'.
    const std::string texts =
        "0|-0|+1.5| \t\n\v\f\r-2.5|1e3|1E-3|1e|1e+|1e+-1|.5|5.|.|| |-|+|+-1|--1|1 |1,5|1_000|"
        "1..2|0x1.8p3|0X1P-1074|-0x.8|0x10|0x1.|0x|0x.|0x-1|0x+1|0xnan|0x1p|0x1p+|0xg|0x1e3|"
        "0x1.fffffffffffff8p1023|-0x1p-1075|0x1.0000000000001p-1075|0x1p2000|0x1p-2000|"
        "0x0.0000000000000000000001p-1000|inf|-INFINITY|+Inf|infin|infinityy|nan|-nan|"
        "NaN(abc_19)|nan(|nan()|nan(a b)|nan(-)|nanq|1e400|-1e400|1e-400|"
        "2.4703282292062328e-324|2.4703282292062327e-324|4.9e-324|1.7976931348623157e308|"
        "1.7976931348623158e308|1.7976931348623159e308|1e99999999999999999999999|"
        "1e-99999999999999999999999|0e99999999999999999999999|"
        "0.00000000000000000000000000000000000000001e+41|"
        "10000000000000000000000000000000000000000e-40|9007199254740993|"
        "0.1000000000000000055511151231257827021181583404541015625";
    for (std::size_t at = 0, end; at <= texts.size(); at = end + 1) {
        end = std::min(texts.find('|', at), texts.size());
        ExpectReadsAsStrtod(texts.substr(at, end - at));
    }
    // Beyond the doubles or not by its first digit's place and the exponent:
    // 16^400 x 2^-400 = 2^1200 overflows though 400 and -400 add up to 0.
    ExpectReadsAsStrtod("0x1" + std::string(400, '0') + "p-400");
    ExpectReadsAsStrtod("0." + std::string(400, '0') + "1e-10");
    // Any double, in the forms a user copies from printed output, and near
    // the halfway points between neighbours, where rounding is decided.
    std::mt19937_64 random(20240229);
    for (int i = 0; i < 4000; ++i) {
        double value;
        const std::uint64_t bits = random();
        std::memcpy(&value, &bits, sizeof value);
        char text[96];
        for (const char* format : {"%.17g", "%.3e", "%a", "%.25e"}) {
            std::snprintf(text, sizeof text, format, value);
            ExpectReadsAsStrtod(text);
        }
        if (std::isfinite(value)) {
            const long double halfway =
                (static_cast<long double>(value) + std::nextafter(value, INFINITY)) / 2;
            std::snprintf(text, sizeof text, "%.40Le", halfway);
            ExpectReadsAsStrtod(text);
        }
    }
}

TEST(BenchOptions, IntegersReadAsStrtollInBaseTenWithinTheirRange) {
    for (const char* text :
         {"0", "-0", "+7", " \t12", "007", "12 ", "1e3", "0x10", "1.0", "", "-", "+-1", "- 1",
          "9223372036854775807", "9223372036854775808", "-9223372036854775808",
          "-9223372036854775809", "99999999999999999999999"}) {
        SCOPED_TRACE(text);
        char* end = nullptr;
        errno = 0;
        const long long theirs = std::strtoll(text, &end, 10);
        const bool theyAccept = end != text && *end == '\0' && errno == 0;
        long long ours = 42;
        ASSERT_EQ(ParseIntegerOption(text, LLONG_MIN, LLONG_MAX, ours), theyAccept);
        EXPECT_EQ(ours, theyAccept ? theirs : 42);
    }
    long long out = 0;
    EXPECT_TRUE(ParseIntegerOption("32768", 0, 1 << 15, out));
    EXPECT_FALSE(ParseIntegerOption("32769", 0, 1 << 15, out));
    EXPECT_FALSE(ParseIntegerOption("-1", 0, 1 << 15, out));
    EXPECT_EQ(out, 32768);
}

}  // namespace
