// The attracting-cycle proof of the fast path (fast_path.h): a closed chain
// of discs around the double orbit shows that the exact path's orbit never
// escapes. Built with the baseline flags; every kernel calls it.
#include <cmath>
#include <cstdint>

#include "engine/simd/fast_path.h"
#include "engine/simd/scalar_orbit.h"

namespace fastpath {

namespace {

// Bounds of the attracting-cycle proof (fast_path.h).
constexpr double kTwiceUnitRoundoff = 0x1p-52;
constexpr double kEnlarge = 1.0 + 0x1p-40;
constexpr double kSubnormalErrors = 1e-300;
constexpr double kBoundingRadius = 1.99;

// Conditions (a) to (c) for the chain of "period" discs from B((zr, zi), r0).
bool ChainCloses(double cr, double ci, double zr0, double zi0, std::uint32_t period, double r0) {
    const double cSize = std::fabs(cr) + std::fabs(ci);
    double zr = zr0;
    double zi = zi0;
    double r = r0;
    for (std::uint32_t k = 0; k < period; ++k) {
        const double size = std::sqrt(zr * zr + zi * zi);
        const double reach = size + r;
        if (!(reach * kEnlarge <= kBoundingRadius)) {
            return false;
        }
        const double error = kTwiceUnitRoundoff * (5.0 * reach * reach + cSize) + kSubnormalErrors;
        r = ((2.0 * size) * r + r * r + 2.0 * error) * kEnlarge;
        StepDouble(zr, zi, cr, ci);
    }
    const double dr = zr - zr0;
    const double di = zi - zi0;
    return (std::sqrt(dr * dr + di * di) + r) * kEnlarge <= r0;
}

}  // namespace

bool NeverEscapes(double cr, double ci, double zr, double zi, std::uint32_t maxPeriod) {
    if (maxPeriod > kMaxProofPeriod) {
        maxPeriod = kMaxProofPeriod;
    }
    // Pass 1, on the same double orbit the chain will use: the first near
    // return P, the cycle's multiplier |2 a_0| ... |2 a_(P-1)|, and an estimate
    // of what the squares r_k^2 add to r_P: with r_k = r_0 G_k in the linear
    // part (G_k the product of the first k factors), r_P grows by about
    // r_0^2 * multiplier * sum of G_k / |2 a_k|.
    const double near2 = 8.0 * kNearReturn * kNearReturn;
    double ar = zr;
    double ai = zi;
    double growth = 1.0;
    double curvature = 0.0;
    std::uint32_t period = 0;
    double distance2 = 0.0;
    for (std::uint32_t k = 1; k <= maxPeriod; ++k) {
        const double factor = 2.0 * std::sqrt(ar * ar + ai * ai);
        curvature += growth / factor;
        growth *= factor;
        StepDouble(ar, ai, cr, ci);
        if (!(ar * ar + ai * ai <= kBoundingRadius * kBoundingRadius) || !(growth < 1e300)) {
            return false;
        }
        const double dr = ar - zr;
        const double di = ai - zi;
        distance2 = dr * dr + di * di;
        if (distance2 <= near2) {
            period = k;
            break;
        }
    }
    const double multiplier = growth;
    if (period == 0 || !(multiplier < 0.999)) {
        return false;
    }
    // The chain closes (to first order in the squares) when
    // distance + multiplier r0 + multiplier curvature r0^2 <= r0; the middle
    // of the radii that satisfy it is gap / (2 multiplier curvature). A return
    // so close that rounding errors dominate takes a radius well above them.
    const double gap = 1.0 - multiplier;
    const double distance = std::sqrt(distance2);
    const double q = multiplier * curvature;
    if (!(gap * gap > 4.0 * q * distance)) {
        return false;
    }
    // At most 1e-3, so that the squares stay small next to the gap; at least
    // a million times the rounding errors the chain adds per step, amplified
    // by 1 / gap over a cycle.
    // (Comparisons rather than fmin and fmax, which are library calls here;
    // no operand is a NaN.)
    const double middle = q > 0.0 ? gap / (2.0 * q) : 1e-3;
    double r0 = middle < 1e-3 ? middle : 1e-3;
    const double least = 1e6 * kTwiceUnitRoundoff * period / gap;
    r0 = r0 < least ? least : r0;
    return ChainCloses(cr, ci, zr, zi, period, r0);
}

}  // namespace fastpath
