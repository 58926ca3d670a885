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
    const std::size_t n = FormatFixed(v, decimals, width, buffer, sizeof buffer);
    EXPECT_EQ(n, std::strlen(buffer));
    return buffer;
}

std::string Percent(double v) {
    char buffer[64];
    FormatPercent(v, buffer, sizeof buffer);
    return buffer;
}

std::string Short17(double v) {
    char buffer[64];
    FormatShortest17(v, buffer, sizeof buffer);
    return buffer;
}

std::string Glibc(const char* format, double v) {
    char buffer[1200];
    std::snprintf(buffer, sizeof buffer, format, v);
    return buffer;
}

// Random doubles of every kind: uniform bit patterns, which cover subnormals,
// huge values and every exponent, with non-finite patterns skipped.
double RandomFinite(std::mt19937_64& rng) {
    for (;;) {
        const double v = std::bit_cast<double>(rng());
        if (std::isfinite(v)) {
            return v;
        }
    }
}

TEST(NumberFormatTest, SeventeenDigitFormMatchesGlibcsExactConversion) {
    // glibc prints the exact binary value correctly rounded (ties to even), so
    // "%.16e" is the 17-digit form.
    std::mt19937_64 rng(20261206);
    for (int i = 0; i < 100000; ++i) {
        const double v = RandomFinite(rng);
        const Decimal17 d = ToDecimal17(v);
        std::string mine = d.negative ? "-" : "";
        mine += static_cast<char>('0' + d.digits[0]);
        mine += '.';
        for (int k = 1; k < 17; ++k) {
            mine += static_cast<char>('0' + d.digits[k]);
        }
        char exponent[16];
        std::snprintf(exponent, sizeof exponent, "e%+03d", d.exponent);
        mine += exponent;
        ASSERT_EQ(mine, Glibc("%.16e", v)) << std::hexfloat << v;
    }
}

TEST(NumberFormatTest, ShortFormMatchesGlibcAndReadsBackToTheSameDouble) {
    std::mt19937_64 rng(7);
    const double extremes[] = {0.0,
                               -0.0,
                               std::numeric_limits<double>::denorm_min(),
                               -std::numeric_limits<double>::denorm_min(),
                               std::numeric_limits<double>::min(),
                               std::numeric_limits<double>::max(),
                               -std::numeric_limits<double>::max(),
                               1e-5,
                               1e-4,
                               1e16,
                               1e17,
                               123456789012345678.0,
                               0.1,
                               -2.0};
    for (double v : extremes) {
        EXPECT_EQ(Short17(v), Glibc("%.17g", v));
        EXPECT_EQ(std::bit_cast<std::uint64_t>(ParseDouble(Short17(v).c_str())),
                  std::bit_cast<std::uint64_t>(v));
    }
    for (int i = 0; i < 100000; ++i) {
        const double v = RandomFinite(rng);
        const std::string text = Short17(v);
        ASSERT_EQ(text, Glibc("%.17g", v));
        ASSERT_LE(text.size(), 24u);
        ASSERT_EQ(std::bit_cast<std::uint64_t>(ParseDouble(text.c_str())),
                  std::bit_cast<std::uint64_t>(v))
            << text;
    }
}

TEST(NumberFormatTest, FixedAgreesWithGlibcExceptWhereTheSeventeenDigitRuleDecides) {
    // glibc rounds the exact value half to even; ours rounds the 17-digit form
    // half up. They must agree whenever the 17-digit form's digits past the
    // kept decimals are not exactly a half, and the kept decimals lie within
    // the 17 digits.
    std::mt19937_64 rng(99);
    std::uniform_real_distribution<double> exponent(-20.0, 16.0);
    std::bernoulli_distribution negative(0.5);
    const int decimalsList[] = {1, 16, 18};
    int compared = 0;
    for (int i = 0; i < 60000; ++i) {
        double v = std::pow(10.0, exponent(rng));
        if (negative(rng)) {
            v = -v;
        }
        const int decimals = decimalsList[i % 3];
        const Decimal17 d = ToDecimal17(v);
        const int keep = d.exponent + decimals + 1;
        if (keep >= 17) {
            continue;  // glibc shows digits past the 17th, we show zeros
        }
        if (keep >= 0 && d.digits[keep] == 5) {
            bool restZero = true;
            for (int k = keep + 1; k < 17; ++k) {
                restZero = restZero && d.digits[k] == 0;
            }
            if (restZero) {
                continue;  // a half in the 17-digit form: see the next test
            }
        }
        char format[16];
        std::snprintf(format, sizeof format, "%%1.%df", decimals);
        ASSERT_EQ(Fixed(v, decimals), Glibc(format, v)) << std::hexfloat << v;
        ++compared;
    }
    EXPECT_GT(compared, 30000);
}

TEST(NumberFormatTest, HalvesOfTheSeventeenDigitFormRoundAwayFromZero) {
    EXPECT_EQ(Fixed(0.25, 1), "0.3");  // glibc: 0.2
    EXPECT_EQ(Fixed(-0.25, 1), "-0.3");
    EXPECT_EQ(Fixed(1.45, 1), "1.5");    // just below 1.45, 1.4500000000000000 at 17 digits
    EXPECT_EQ(Fixed(0.35, 1), "0.3");    // 0.34999999999999998 at 17 digits
    EXPECT_EQ(Fixed(0.125, 2), "0.13");  // glibc: 0.12
    EXPECT_EQ(Fixed(2.5, 0), "3");
    EXPECT_EQ(Fixed(9.96, 1), "10.0");  // the carry reaches a new digit
    EXPECT_EQ(Fixed(0.05, 1), "0.1");   // the rounding digit is the first one
    EXPECT_EQ(Fixed(0.04, 1), "0.0");
    EXPECT_EQ(Fixed(0.004, 1), "0.0");
    EXPECT_EQ(Fixed(99.95, 1), "100.0");
}

TEST(NumberFormatTest, CornerTextsOfTheCoordinatesAndRenderDialogs) {
    EXPECT_EQ(Fixed(-2.0, 16), "-2.0000000000000000");
    EXPECT_EQ(Fixed(1.0, 18), "1.000000000000000000");
    EXPECT_EQ(Fixed(0.1, 18), "0.100000000000000010");  // 17 digits, then 0
    EXPECT_EQ(Fixed(-1.35, 16), "-1.3500000000000001");
    EXPECT_EQ(Fixed(1e-20, 16), "0.0000000000000000");
    EXPECT_EQ(Fixed(-1e-20, 16), "-0.0000000000000000");  // the sign stays, as in C
    EXPECT_EQ(Fixed(-0.0, 16), "-0.0000000000000000");
    EXPECT_EQ(Fixed(6e-17, 16), "0.0000000000000001");
    EXPECT_EQ(Fixed(4e-17, 16), "0.0000000000000000");
    EXPECT_EQ(Fixed(1e23, 1), "99999999999999992000000.0");  // glibc: ...991611392.0
    EXPECT_EQ(Fixed(std::numeric_limits<double>::denorm_min(), 16), "0.0000000000000000");
    const std::string huge = Fixed(1e308, 16);
    EXPECT_EQ(huge.size(), 326u);
    EXPECT_EQ(huge.substr(0, 3), "100");
    EXPECT_EQ(huge.find_first_not_of("0", 1), 309u);
    const std::string max = Fixed(-std::numeric_limits<double>::max(), 18);
    EXPECT_EQ(max.substr(0, 18), "-17976931348623157");
    EXPECT_EQ(max.size(), 1u + 309 + 1 + 18);
}

TEST(NumberFormatTest, NonFiniteValuesAndWidth) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(Fixed(nan, 16), "nan");
    EXPECT_EQ(Fixed(-nan, 16), "-nan");
    EXPECT_EQ(Fixed(inf, 16), "inf");
    EXPECT_EQ(Fixed(-inf, 18), "-inf");
    EXPECT_EQ(Short17(-inf), "-inf");
    EXPECT_EQ(Fixed(inf, 1, 5), "  inf");
    EXPECT_EQ(Fixed(1.0, 1, 6), "   1.0");
    EXPECT_EQ(Fixed(-1.0, 1, 6), "  -1.0");
    EXPECT_EQ(Fixed(1.0, -3, 0), "1");  // decimals clamped to 0
}

TEST(NumberFormatTest, PercentTexts) {
    EXPECT_EQ(Percent(0.0), "0.0%");
    EXPECT_EQ(Percent(0.25), "0.3%");
    EXPECT_EQ(Percent(1.45), "1.5%");
    EXPECT_EQ(Percent(100.0 / 3.0), "33.3%");
    EXPECT_EQ(Percent(200.0 / 3.0), "66.7%");
    EXPECT_EQ(Percent(100.0), "100.0%");
}

TEST(NumberFormatTest, BuffersAreHonouredAndAlwaysTerminated) {
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(FormatFixed(-2.0, 16, 1, buffer, 5), 19u);
    EXPECT_STREQ(buffer, "-2.0");
    EXPECT_EQ(buffer[5], 'x');
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(FormatFixed(1.0, 16, 1, buffer, 1), 18u);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(buffer[1], 'x');
    EXPECT_EQ(FormatFixed(1.0, 16, 1, nullptr, 100), 18u);  // a length query
    EXPECT_EQ(FormatFixed(1.0, 16, 1, buffer, 0), 18u);
    EXPECT_EQ(buffer[0], '\0');  // untouched from the call before
    EXPECT_EQ(FormatPercent(50.0, buffer, 4), 5u);
    EXPECT_STREQ(buffer, "50.");
    EXPECT_EQ(FormatShortest17(-1e22, buffer, 3), 6u);
    EXPECT_STREQ(buffer, "-1");
}

TEST(NumberFormatTest, CornerFallsBackToTheShortFormWhenFixedWouldNotFit) {
    char field[64];
    // 46 integer digits, a point and 16 decimals: 63 characters fit...
    EXPECT_EQ(FormatCorner(5e45, 16, field, sizeof field), 63u);
    EXPECT_EQ(std::string(field).substr(0, 2), "50");
    // ...and with the sign they do not.
    EXPECT_EQ(FormatCorner(-5e45, 16, field, sizeof field), 6u);
    EXPECT_STREQ(field, "-5e+45");
    EXPECT_EQ(ParseDouble(field), -5e45);
    FormatCorner(-std::numeric_limits<double>::max(), 16, field, sizeof field);
    EXPECT_STREQ(field, "-1.7976931348623157e+308");
    EXPECT_EQ(ParseDouble(field), -std::numeric_limits<double>::max());

    char wide[260];
    EXPECT_EQ(FormatCorner(5e239, 18, wide, sizeof wide), 259u);
    EXPECT_EQ(FormatCorner(5e240, 18, wide, sizeof wide), Short17(5e240).size());
    EXPECT_EQ(ParseDouble(wide), 5e240);
}

TEST(NumberFormatTest, ParseDoubleFollowsStrtod) {
    EXPECT_EQ(ParseDouble("1.5abc"), 1.5);
    EXPECT_EQ(ParseDouble("  2e-3"), 0.002);
    EXPECT_EQ(ParseDouble("abc"), 0.0);
    EXPECT_EQ(ParseDouble(""), 0.0);
    EXPECT_EQ(ParseDouble(nullptr), 0.0);
    EXPECT_EQ(ParseDouble("-"), 0.0);
    EXPECT_EQ(ParseDouble("-2.0000000000000000"), -2.0);
    EXPECT_EQ(ParseDouble("1e999"), std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(ParseDouble("nan")));
}

TEST(NumberFormatTest, ParseUnsignedReadsLikeADialogsIntegerField) {
    bool translated = false;
    EXPECT_EQ(ParseUnsigned("500", &translated), 500u);
    EXPECT_TRUE(translated);
    EXPECT_EQ(ParseUnsigned("  42"), 42u);
    EXPECT_EQ(ParseUnsigned("12abc"), 12u);
    EXPECT_EQ(ParseUnsigned("4294967295"), 4294967295u);
    EXPECT_EQ(ParseUnsigned("0"), 0u);
    for (const char* bad :
         {"4294967296", "99999999999999999999", "-5", "+5", "abc", "", " ", "- 5"}) {
        EXPECT_EQ(ParseUnsigned(bad, &translated), 0u) << bad;
        EXPECT_FALSE(translated) << bad;
    }
    EXPECT_EQ(ParseUnsigned(nullptr, &translated), 0u);
    EXPECT_FALSE(translated);
}

TEST(NumberFormatTest, ShownNumberGivesBackEveryFiniteDoubleWhileTheTextIsUnchanged) {
    std::mt19937_64 rng(12345);
    ShownNumber field;
    EXPECT_STREQ(field.Text(), "");
    EXPECT_EQ(field.Read("1.5"), 1.5);  // nothing shown yet: the text counts
    for (int i = 0; i < 20000; ++i) {
        const double v = RandomFinite(rng);
        field.Show(v, 16, 64);
        ASSERT_LT(std::strlen(field.Text()), 64u);
        ASSERT_EQ(std::bit_cast<std::uint64_t>(field.Read(field.Text())),
                  std::bit_cast<std::uint64_t>(v));
    }
    // A deep-zoom corner and one near zero survive; a changed text is read.
    field.Show(-0.7436438870371587, 16, 64);
    EXPECT_EQ(field.Read(field.Text()), -0.7436438870371587);
    field.Show(1e-30, 16, 64);
    EXPECT_STREQ(field.Text(), "0.0000000000000000");
    EXPECT_EQ(field.Read("0.0000000000000000"), 1e-30);
    EXPECT_EQ(field.Read("0.5"), 0.5);
    EXPECT_EQ(field.Read(nullptr), 0.0);
}

}  // namespace
