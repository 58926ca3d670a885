// The attracting-cycle proof of the fast path: whenever it says an orbit never
// escapes, the exact path must reach the limit, on points near the set's edge
// where orbits wander longest. (That it proves interior points long before
// their orbits repeat shows in the kernels' counts at the largest limit.)
#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "engine/escape_time.h"
#include "engine/simd/fast_path.h"
#include "engine/simd/scalar_orbit.h"
#include "engine/wide_double.h"
#include "tests/engine/sanitizer_scale.h"

namespace {

// The first step n (a multiple of "every", up to "steps") at which the proof
// succeeds from z_n, or 0 when it never does or the orbit escapes first.
std::uint32_t FirstProof(double cr, double ci, std::uint32_t steps, std::uint32_t every) {
    double zr = cr;
    double zi = ci;
    for (std::uint32_t n = 1; n <= steps; ++n) {
        fastpath::StepDouble(zr, zi, cr, ci);
        if (zr * zr + zi * zi > 4.0) {
            return 0;
        }
        if (n % every == 0 && fastpath::NeverEscapes(cr, ci, zr, zi, 1024)) {
            return n;
        }
    }
    return 0;
}

TEST(NeverEscapes, IsOnlyClaimedForOrbitsThatReachTheLimitAndNeverForRepellingOnes) {
    // Points of the seahorse valley and the neck between the cardioid and the
    // period-2 bulb, and random points of the whole set's box.
    constexpr std::uint32_t kLimit = 100000;
    std::mt19937_64 random(20261207);
    std::uniform_real_distribution<double> x(-2.0, 0.5);
    std::uniform_real_distribution<double> y(0.0, 1.2);
    std::uniform_real_distribution<double> seaX(-0.7465, -0.7425);
    std::uniform_real_distribution<double> seaY(0.1085, 0.1107);
    std::uniform_real_distribution<double> neckY(0.0, 0.02);
    int proven = 0;
    const int tried = 1500 / kScale;
    for (int i = 0; i < tried; ++i) {
        const double cr = i % 3 == 0 ? seaX(random) : i % 3 == 1 ? neckY(random) - 0.76 : x(random);
        const double ci = i % 3 == 0 ? seaY(random) : i % 3 == 1 ? neckY(random) : y(random);
        const std::uint32_t at = FirstProof(cr, ci, 6000, 16);
        if (at != 0) {
            ++proven;
            EXPECT_EQ(IterateExact(wide::FromDouble(cr), ci, kLimit), kLimit)
                << "c = " << cr << " + " << ci << "i proven at step " << at;
        }
    }
    EXPECT_GT(proven, tried / 10);
    // c = -2 never escapes (z = 2 is a fixed point) but its cycle repels;
    // c = 0.26 and c = -0.75 + 0.002i escape after long near-repeats.
    EXPECT_EQ(FirstProof(-2.0, 0.0, 200, 1), 0u);
    EXPECT_EQ(FirstProof(0.26, 0.0, 2000, 1), 0u);
    EXPECT_EQ(FirstProof(-0.75, 0.002, 4000, 1), 0u);
    EXPECT_FALSE(fastpath::NeverEscapes(0.26, 0.0, 0.5, 0.0, 0));
}

}  // namespace
