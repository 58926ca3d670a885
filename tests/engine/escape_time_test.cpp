// The exact path's counts and steps against MPFR. A reordered or fused operation
// changes about 2% of the seahorse's long orbits; intermediates kept in the
// plain double range overflow (NaN never escapes) or lose bits to gradual
// underflow, which the extreme rows and GradualUnderflowDoesNotDecideTheStep
// show.
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

bool SameBits(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b) ||
           (std::isnan(a) && std::isnan(b));
}

void ExpectRowMatchesMpfr(std::int32_t width, double x1, double dx, double y, std::uint32_t limit) {
    std::vector<std::uint32_t> exact(static_cast<std::size_t>(width));
    std::vector<std::uint32_t> expected(exact.size());
    ComputeRowExact(exact.data(), width, x1, dx, y, limit);
    reference::Row(expected.data(), width, x1, dx, y, limit);
    ASSERT_EQ(exact, expected) << "row x1=" << x1 << " dx=" << dx << " y=" << y
                               << " limit=" << limit;
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

TEST(ExactPath, ExtremeRowsMatchMpfr) {
    const struct {
        std::int32_t width;
        double x1, dx, y;
        std::uint32_t limit;
    } rows[] = {
        // A running x beyond the double range (plain doubles make it infinite,
        // and 0 * inf is NaN on y = 0), the last passing back into range.
        {5, 1.7e308, 1e308, 0.0, 100},     {7, -1.7e308, -1e308, 1e-300, 100},
        {7, 1.7e308, -1e308, 0.0, 100},    {8, 1e-160, 1e-161, 1e-160, 200},
        {8, -1e-300, 3e-301, 1e-300, 200}, {8, 4.9e-324, 4.9e-324, -4.9e-324, 50},
        {6, 1e200, 1e199, -1e200, 50},     {4, NAN, 0.1, 0.0, 50},
        {4, -2.0, NAN, 0.0, 50},           {4, INFINITY, 1.0, 0.0, 50},
        {4, -INFINITY, 1.0, 0.5, 50},      {4, 0.0, 0.0, INFINITY, 50},
        {4, -1.0, INFINITY, NAN, 50},
    };
    for (const auto& r : rows) {
        ExpectRowMatchesMpfr(r.width, r.x1, r.dx, r.y, r.limit);
    }
    EXPECT_EQ(IterateExact(FromDouble(NAN), 0.0, 77), 77u) << "a NaN orbit never escapes";
    EXPECT_EQ(IterateExact(FromDouble(1e200), 1e200, 500), 1u) << "squares beyond the range";
}

}  // namespace
