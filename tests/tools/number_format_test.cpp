#include "tools/number_format.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace {

std::string Fixed(double v, int decimals, int width = 1) {
    char buffer[1200];
    const std::size_t length = FormatFixed(v, decimals, width, buffer, sizeof buffer);
    EXPECT_EQ(length, std::strlen(buffer));
    return buffer;
}

std::string Glibc(const char* format, double v) {
    char buffer[1200];
    std::snprintf(buffer, sizeof buffer, format, v);
    return buffer;
}

std::uint64_t Bits(double v) {
    return std::bit_cast<std::uint64_t>(v);
}

TEST(NumberFormatTest, FixedAgreesWithGlibcWhereTheSeventeenDigitRuleDoesNotDecide) {
    // (The 17-digit form shows through these texts; the short form's round
    // trip is the fields fuzz target's.) Ours rounds the 17-digit form half up, glibc the exact
    // value half to even: they agree unless the form shows a half past the kept decimals. Where the
    // decimals reach past its 17 digits, ours shows them, then 0s.
    std::mt19937_64 rng(99);
    std::uniform_real_distribution<double> exponent(-20.0, 25.0);
    int compared = 0;
    for (int i = 0; i < 60000; ++i) {
        const double v = (i % 2 ? -1 : 1) * std::pow(10.0, exponent(rng));
        const int decimals = i % 3 == 0 ? 1 : i % 3 == 1 ? 16 : 18;
        const Decimal17 d = ToDecimal17(v);
        const int keep = d.exponent + decimals + 1;
        bool half = keep >= 0 && keep < 17 && d.digits[keep] == 5;
        for (int k = keep + 1; half && k < 17; ++k) {
            half = d.digits[k] == 0;
        }
        char format[16];
        std::snprintf(format, sizeof format, "%%1.%df", decimals);
        if (keep >= 17) {
            // Decimals past the 17 digits: the texts' table shows the 0s.
            ASSERT_EQ(ParseDouble(Fixed(v, decimals).c_str()), v) << std::hexfloat << v;
            continue;
        }
        if (half) {
            continue;
        }
        ASSERT_EQ(Fixed(v, decimals), Glibc(format, v)) << std::hexfloat << v;
        ++compared;
    }
    EXPECT_GT(compared, 20000);
    // The 17-digit form itself is glibc's "%.16e" (exact, ties to even), over
    // every exponent, subnormals and exact ties included.
    for (int i = 0; i < 20000; ++i) {
        const double v = i % 4 == 3 ? std::ldexp(static_cast<double>(rng() % 4096) + 0.5, -13)
                                    : std::bit_cast<double>(rng() >> (i % 4 == 2 ? 12 : 1));
        if (!std::isfinite(v)) {
            continue;
        }
        const Decimal17 d = ToDecimal17(v);
        std::string ours = d.negative ? "-" : "";
        for (int k = 0; k < 17; ++k) {
            ours += static_cast<char>('0' + d.digits[k]) + std::string(k == 0 ? "." : "");
        }
        char exponent[8];
        std::snprintf(exponent, sizeof exponent, "e%+03d", d.exponent);
        ASSERT_EQ(ours + exponent, Glibc("%.16e", v)) << std::hexfloat << v;
    }
}

TEST(NumberFormatTest, TextsOfTheFixedFormats) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double value;
        int decimals, width;
        const char* text;
    } cases[] = {
        // Half up from the 17-digit form: glibc gives 0.2 and 0.12; 1.45 is
        // 1.4500000000000000 at 17 digits, 0.35 is 0.34999999999999998.
        {0.25, 1, 1, "0.3"},
        {-0.25, 1, 1, "-0.3"},
        {0.125, 2, 1, "0.13"},
        {1.45, 1, 1, "1.5"},
        {0.35, 1, 1, "0.3"},
        {9.96, 1, 1, "10.0"},
        {0.04, 1, 1, "0.0"},
        {-1.35, 16, 1, "-1.3500000000000001"},
        {0.1, 18, 1, "0.100000000000000010"},  // digits past the 17th show as 0
        {1e23, 1, 1, "99999999999999992000000.0"},
        {6e-17, 16, 1, "0.0000000000000001"},
        {-1e-20, 16, 1, "-0.0000000000000000"},  // the sign stays, as in C
        {-0.0, 16, 1, "-0.0000000000000000"},
        {nan, 16, 1, "nan"},
        {-nan, 16, 1, "-nan"},
        {inf, 1, 5, "  inf"},
        {-1.0, 1, 6, "  -1.0"},
        {1.0, -3, 0, "1"},  // decimals clamped to 0
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Fixed(c.value, c.decimals, c.width), c.text) << c.value;
    }
    const std::string huge = Fixed(-std::numeric_limits<double>::max(), 16);
    EXPECT_EQ(huge.size(), 1u + 309 + 1 + 16);
    EXPECT_EQ(huge.substr(0, 18), "-17976931348623157");
    char percent[16];
    FormatPercent(0.25, percent, sizeof percent);
    EXPECT_STREQ(percent, "0.3%");
    // Buffers too short are filled and terminated; the length is the whole text's.
    char buffer[8] = "xxxxxxx";
    EXPECT_EQ(FormatFixed(-2.0, 16, 1, buffer, 5), 19u);
    EXPECT_STREQ(buffer, "-2.0");
    EXPECT_EQ(buffer[5], 'x');
    EXPECT_EQ(FormatFixed(1.0, 16, 1, nullptr, 100), 18u);  // a length query
    EXPECT_EQ(FormatShortest17(-1e22, buffer, 3), 6u);
    EXPECT_STREQ(buffer, "-1");
}

TEST(NumberFormatTest, CornersFallBackToTheShortFormWhenFixedWouldNotFit) {
    char field[64];
    EXPECT_EQ(FormatCorner(5e45, 16, field, sizeof field), 63u);  // 46 digits . 16
    EXPECT_EQ(FormatCorner(-5e45, 16, field, sizeof field), 6u);  // one more with the sign
    EXPECT_STREQ(field, "-5e+45");
    FormatCorner(-std::numeric_limits<double>::max(), 16, field, sizeof field);
    EXPECT_STREQ(field, "-1.7976931348623157e+308");
    char wide[260];
    EXPECT_EQ(FormatCorner(5e239, 18, wide, sizeof wide), 259u);
    EXPECT_LT(FormatCorner(5e240, 18, wide, sizeof wide), 25u);
    EXPECT_EQ(ParseDouble(wide), 5e240);
}

TEST(NumberFormatTest, CornersReadTheLongestDecimalPrefixOnlyAndIntegersTheUnsignedRules) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        const char* text;
        double value;
    } rows[] = {
        // Decimal and exponent notation, white space first, anything after.
        {"1.5abc", 1.5},
        {"  2e-3", 0.002},
        {"  2e-3x", 0.002},
        {"\t+.5", 0.5},
        {"-7.", -7.0},
        {"-0", -0.0},
        {"1E+2", 100.0},
        {"0.1", 0.1},
        // An exponent without digits is not part of the number.
        {"1e", 1.0},
        {"1e+", 1.0},
        {"2.5E-z", 2.5},
        // No number: what strtod would take as one is not.
        {"nan", 0.0},
        {"-inf", 0.0},
        {"infinity", 0.0},
        {"-", 0.0},
        {"+.", 0.0},
        {".e5", 0.0},
        {"abc", 0.0},
        {"", 0.0},
        {nullptr, 0.0},
        // Hexadecimal is read up to its leading 0.
        {"0x1p-1", 0.0},
        {"-0x10", -0.0},
        // Correct rounding, and strtod's answers beyond the doubles.
        {"2.2250738585072011e-308", 2.2250738585072009e-308},
        {"4.9406564584124654e-324", 4.9406564584124654e-324},
        {"1e-400", 0.0},
        {"-1e-400", -0.0},
        {"1e999", inf},
        {"-1e999", -inf},
        {"1e99999999999999999999", inf},
        {"0e99999999999999999999", 0.0},
        {"0.0000000000000000000000000001e-290", 1e-318},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Bits(ParseDouble(row.text)), Bits(row.value)) << (row.text ? row.text : "null");
    }
    // Integers: digits only after white space, and 32 bits.
    bool translated = false;
    EXPECT_EQ(ParseUnsigned(" 4294967295x", &translated), 4294967295u);
    EXPECT_TRUE(translated);
    for (const char* bad : {"4294967296", "+5", static_cast<const char*>(nullptr)}) {
        EXPECT_EQ(ParseUnsigned(bad, &translated), 0u) << (bad ? bad : "null");
        EXPECT_FALSE(translated);
    }
}

TEST(NumberFormatTest, ShownNumberGivesBackItsDoubleWhileTheTextIsUnchanged) {
    // Near zero the text alone would give 0. (Every double's round trip is
    // the fields fuzz target's.)
    ShownNumber field;
    EXPECT_EQ(field.Read(""), 0.0);  // nothing shown yet: the text counts
    field.Show(1e-30, 16, 64);
    EXPECT_STREQ(field.Text(), "0.0000000000000000");
    EXPECT_EQ(field.Read("0.0000000000000000"), 1e-30);
    EXPECT_EQ(field.Read("0.5"), 0.5);  // a changed text is read
}

}  // namespace
