// The exact path's counts and steps against MPFR, and the counts that the
// definition of the iteration fixes by hand.
//
// These tests fail when the arithmetic departs from its definition:
// - an operation reordered or fused into a multiply-add:
//     StepMatchesMpfrOnRandomOrbits, SeahorseCountsMatchMpfr (about 2% of its
//     long orbits change their count when one step is fused or reordered);
// - intermediates kept in the plain double range (overflow):
//     SquaresBeyondTheRangeStillEscape, RunningXBeyondTheRangeStaysFinite;
// - intermediates losing bits to gradual underflow:
//     GradualUnderflowDoesNotDecideTheStep.
// Each was checked once by hand against a deliberately broken exact path.
#include "engine/escape_time.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "tests/engine/mpfr_reference.h"

namespace {

using wide::FromDouble;

std::uint32_t Count(double cr, double ci, std::uint32_t limit) {
    return IterateExact(FromDouble(cr), ci, limit);
}

bool SameBits(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b) ||
           (std::isnan(a) && std::isnan(b));
}

void ExpectRowMatchesMpfr(std::int32_t width, double x1, double dx, double y, std::uint32_t limit) {
    std::vector<std::uint32_t> exact(static_cast<std::size_t>(width));
    std::vector<std::uint32_t> expected(static_cast<std::size_t>(width));
    ComputeRowExact(exact.data(), width, x1, dx, y, limit);
    reference::Row(expected.data(), width, x1, dx, y, limit);
    for (std::int32_t k = 0; k < width; ++k) {
        ASSERT_EQ(exact[k], expected[k]) << "column " << k << " of row x1=" << x1 << " dx=" << dx
                                         << " y=" << y << " limit=" << limit;
    }
}

TEST(ExactPath, LimitBelowTwoGivesOneAndLimitTwoGivesOneOrTwo) {
    for (double c : {0.0, -2.0, 2.0, 0.25, -0.75, 5.0}) {
        EXPECT_EQ(Count(c, 0.0, 0), 1u);
        EXPECT_EQ(Count(c, 0.0, 1), 1u);
        EXPECT_LE(Count(c, 0.0, 2), 2u);
    }
    EXPECT_EQ(Count(0.0, 0.0, 2), 2u);
    EXPECT_EQ(Count(2.0, 0.0, 2), 1u);
}

TEST(ExactPath, PointsOnTheEdgeOfTheTest) {
    // c = 0 stays at 0; c = -2 stays at 2, whose squared modulus is exactly 4:
    // not greater, so it never escapes.
    EXPECT_EQ(Count(0.0, 0.0, 500), 500u);
    EXPECT_EQ(Count(-2.0, 0.0, 500), 500u);
    EXPECT_EQ(Count(2.0, 0.0, 500), 1u);
    EXPECT_EQ(Count(0.0, 2.5, 500), 1u);
    EXPECT_EQ(Count(-1.5, -1.5, 500), 1u);
}

TEST(ExactPath, SquaresBeyondTheRangeStillEscape) {
    // In plain doubles both squares overflow and their difference is NaN,
    // which never escapes. Wide, the difference is 0 and z escapes at once.
    EXPECT_EQ(Count(1e200, 1e200, 500), 1u);
    EXPECT_EQ(Count(-1e200, 1e200, 500), 1u);
    EXPECT_EQ(Count(1e200, 0.0, 500), 1u);
    EXPECT_EQ(Count(1.7976931348623157e308, 1.7976931348623157e308, 500), 1u);
}

TEST(ExactPath, RunningXBeyondTheRangeStaysFinite) {
    // 1.7e308 + 1e308 is beyond the double range: plain doubles make x
    // infinite, and on y = 0 the product 0 * inf is NaN, which never escapes.
    std::vector<std::uint32_t> counts(5);
    ComputeRowExact(counts.data(), 5, 1.7e308, 1e308, 0.0, 100);
    EXPECT_EQ(counts, std::vector<std::uint32_t>(5, 1u));
    ExpectRowMatchesMpfr(5, 1.7e308, 1e308, 0.0, 100);
    ExpectRowMatchesMpfr(7, -1.7e308, -1e308, 1e-300, 100);
    ExpectRowMatchesMpfr(7, 1.7e308, -1e308, 0.0, 100);  // passes back into range
}

TEST(ExactPath, GradualUnderflowDoesNotDecideTheStep) {
    // Squares that fall below the normal range keep their 53 bits; only the
    // stored result is rounded onto the subnormal grid. Plain doubles round
    // each square first, which changes a fair share of these steps.
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> unit(1.0, 2.0);
    std::uniform_int_distribution<int> exponent(-545, -530);
    int differFromPlain = 0;
    const int trials = 20000;
    for (int i = 0; i < trials; ++i) {
        const double zr = std::ldexp(unit(rng), exponent(rng));
        const double zi = std::ldexp(unit(rng), exponent(rng));
        const double cr = (rng() % 2) ? 0.0 : std::ldexp(unit(rng), -1070);
        const double ci = std::ldexp(unit(rng), -1060);
        const OrbitPoint exact = StepExact(zr, zi, FromDouble(cr), ci);
        const OrbitPoint expected = reference::Step(zr, zi, cr, 0, ci);
        ASSERT_TRUE(SameBits(exact.zr, expected.zr) && SameBits(exact.zi, expected.zi))
            << "z = (" << zr << ", " << zi << ")";
        const double plainZr = (zr * zr - zi * zi) + cr;
        const double p = zi * zr;
        if (!SameBits(plainZr, exact.zr) || !SameBits(p + p + ci, exact.zi)) {
            ++differFromPlain;
        }
    }
    EXPECT_GT(differFromPlain, trials / 20) << "the cases no longer exercise gradual underflow";
}

TEST(ExactPath, StepMatchesMpfrOnRandomOrbits) {
    std::mt19937_64 rng(12);
    std::uniform_real_distribution<double> plane(-2.5, 2.5);
    std::uniform_int_distribution<int> crExponent(-1100, 1100);
    for (int i = 0; i < 100000; ++i) {
        const double zr = plane(rng);
        const double zi = plane(rng);
        const double ci = plane(rng);
        // A wide running x: significand and exponent of its own, mostly in range.
        const double crSignificand = plane(rng);
        const int e = (i % 8 == 0) ? crExponent(rng) : 0;
        WideDouble cr = FromDouble(crSignificand);
        cr.e += e;
        const OrbitPoint exact = StepExact(zr, zi, cr, ci);
        const OrbitPoint expected = reference::Step(zr, zi, crSignificand, e, ci);
        ASSERT_TRUE(SameBits(exact.zr, expected.zr) && SameBits(exact.zi, expected.zi))
            << "z = (" << zr << ", " << zi << "), c = (" << crSignificand << " * 2^" << e << ", "
            << ci << ")";
    }
}

TEST(ExactPath, RowsMatchMpfrAtEveryDepth) {
    // Random rows at spans from 4 down to 1e-13 around points near the set's
    // boundary, where a changed rounding soon changes counts.
    std::mt19937_64 rng(13);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const double centres[][2] = {{-0.7453, 0.1127}, {-0.16, 1.0405}, {-1.25066, 0.02012},
                                 {0.2925, 0.0149},  {-0.75, 0.1},    {-1.7687, 0.0017}};
    int pixels = 0;
    for (int i = 0; i < 1200; ++i) {
        const auto& c = centres[i % 6];
        const double span = 4.0 * std::pow(10.0, -13.0 * unit(rng));
        const std::int32_t width = 1 + static_cast<std::int32_t>(rng() % 24);
        const double x1 = c[0] - span * unit(rng);
        const double y = c[1] + span * (unit(rng) - 0.5);
        const auto limit = static_cast<std::uint32_t>(50 + rng() % 1000);
        ExpectRowMatchesMpfr(width, x1, span / width, y, limit);
        pixels += width;
    }
    RecordProperty("pixels_compared", pixels);
}

TEST(ExactPath, SeahorseCountsMatchMpfr) {
    // 64 x 32 samples of the seahorse valley at limit 5000, as Render lays
    // them out: y accumulated by repeated addition.
    const double x1 = -0.7465;
    const double y1 = 0.1085;
    const double dx = reference::StepSize(x1, -0.7425, 64);
    const double dy = reference::StepSize(y1, 0.1107, 32);
    double y = y1;
    for (int row = 0; row < 32; ++row) {
        ExpectRowMatchesMpfr(64, x1, dx, y, 5000);
        y = y + dy;
    }
}

TEST(ExactPath, ExtremeSamplesMatchMpfr) {
    ExpectRowMatchesMpfr(8, 1e-160, 1e-161, 1e-160, 200);
    ExpectRowMatchesMpfr(8, -1e-300, 3e-301, 1e-300, 200);
    ExpectRowMatchesMpfr(8, 4.9e-324, 4.9e-324, -4.9e-324, 50);
    ExpectRowMatchesMpfr(6, 1e200, 1e199, -1e200, 50);
    ExpectRowMatchesMpfr(4, NAN, 0.1, 0.0, 50);
    ExpectRowMatchesMpfr(4, -2.0, NAN, 0.0, 50);
    ExpectRowMatchesMpfr(4, INFINITY, 1.0, 0.0, 50);
    ExpectRowMatchesMpfr(4, -INFINITY, 1.0, 0.5, 50);
    ExpectRowMatchesMpfr(4, 0.0, 0.0, INFINITY, 50);
    ExpectRowMatchesMpfr(4, -1.0, INFINITY, NAN, 50);
    EXPECT_EQ(Count(NAN, 0.0, 77), 77u) << "a NaN orbit never escapes";
}

}  // namespace
