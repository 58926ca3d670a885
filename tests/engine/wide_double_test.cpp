// The wide-exponent arithmetic of the exact path against MPFR: each operation
// on two doubles, rounded into the double range once at the end, must give
// MPFR's result bit for bit, over the whole double range.
#include "engine/wide_double.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "tests/engine/mpfr_reference.h"

namespace {

using wide::FromDouble;
using wide::ToDouble;

bool SameBits(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b) ||
           (std::isnan(a) && std::isnan(b));
}

// Doubles spread over every exponent, subnormals and specials included.
double AnyDouble(std::mt19937_64& rng) {
    const double specials[] = {0.0, -0.0, std::numeric_limits<double>::infinity(),
                               std::numeric_limits<double>::denorm_min() * (rng() % 1000)};
    const std::uint64_t pick = rng() % 16;
    if (pick < 4) {
        return specials[pick];
    }
    // Random sign, exponent and significand bits; NaN patterns skipped.
    std::uint64_t bits = rng();
    if ((bits & wide::kExponentMask) == wide::kExponentMask) {
        bits &= ~(std::uint64_t{1} << 62);
    }
    return std::bit_cast<double>(bits);
}

TEST(WideDouble, OperationsMatchMpfrOverTheWholeRange) {
    std::mt19937_64 rng(2);
    for (int i = 0; i < 200000; ++i) {
        const double a = AnyDouble(rng);
        const double b = AnyDouble(rng);
        ASSERT_TRUE(SameBits(ToDouble(FromDouble(a)), a)) << a << " converted back";
        const double mul = ToDouble(wide::Mul(FromDouble(a), FromDouble(b)));
        const double add = ToDouble(wide::Add(FromDouble(a), FromDouble(b)));
        const double sub = ToDouble(wide::Sub(FromDouble(a), FromDouble(b)));
        const double div = ToDouble(wide::Div(FromDouble(a), FromDouble(b)));
        ASSERT_TRUE(SameBits(mul, reference::Mul(a, b))) << a << " * " << b;
        ASSERT_TRUE(SameBits(add, reference::Add(a, b))) << a << " + " << b;
        ASSERT_TRUE(SameBits(sub, reference::Add(a, -b))) << a << " - " << b;
        ASSERT_TRUE(SameBits(div, reference::Div(a, b))) << a << " / " << b;
    }
    EXPECT_TRUE(std::isnan(ToDouble(FromDouble(NAN))));
}

TEST(WideDouble, KeepsIntermediatesBeyondTheDoubleRangeAndEscapesStrictly) {
    const WideDouble huge = wide::Mul(FromDouble(1e200), FromDouble(1e200));
    const WideDouble tiny = wide::Mul(FromDouble(1e-200), FromDouble(1e-200));
    EXPECT_EQ(ToDouble(wide::Sub(huge, huge)), 0.0);
    EXPECT_DOUBLE_EQ(ToDouble(wide::Mul(tiny, FromDouble(1e300))), 1e-100);
    EXPECT_TRUE(wide::GreaterThanFour(huge));
    EXPECT_FALSE(wide::GreaterThanFour(FromDouble(4.0)));
    EXPECT_TRUE(wide::GreaterThanFour(FromDouble(std::nextafter(4.0, 5.0))));
    EXPECT_FALSE(wide::GreaterThanFour(FromDouble(NAN)));
}

}  // namespace
