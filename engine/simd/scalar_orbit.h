// The fast path's scalar orbit loop, shared by the portable kernel (safe
// pixels) and the per-pixel guard for pixels with a tiny component. Included
// only by files built with the baseline flags: the SIMD kernels must not see
// inline code (fast_path.h says why).
#pragma once

#include <cstdint>
#include <cstring>

#include "engine/simd/fast_path.h"

namespace fastpath {

// One double step of the orbit, in the exact path's order of operations.
inline void StepDouble(double& zr, double& zi, double cr, double ci) {
    const double zr2 = zr * zr;
    const double zi2 = zi * zi;
    const double p = zi * zr;
    zr = (zr2 - zi2) + cr;
    zi = (p + p) + ci;
}

inline bool SameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof(double)) == 0;
}

// A nonzero component whose square would fall below 2^-1022.
inline bool Tiny(double v) {
    return v != 0.0 && __builtin_fabs(v) < kTinyComponent;
}

// Which pixels the loop iterates: safe ones (fast_path.h, 3), whose steps
// are the exact path's throughout and which may try the attracting-cycle
// proof; or guarded ones, which leave for the exact path from their start as
// soon as a nonzero component falls below 2^-511.
enum class OrbitRange { Safe, Guarded };

// The count of c = cr + i*ci for a limit of at least 2, on the exact path's
// values. "shortcuts" enables Brent's periodicity check (and for safe pixels
// the proof): while the range holds, each step is a function of (zr, zi)
// alone, so a pair seen again bit for bit means the limit. A NaN never equals
// a finite pair, until the first store.
template <OrbitRange kRange>
std::uint32_t IterateScalar(double cr, double ci, std::uint32_t limit, bool shortcuts) {
    if (kRange == OrbitRange::Guarded && (Tiny(cr) || Tiny(ci))) {
        return ExactPixel(cr, ci, limit);
    }
    double zr = cr;
    double zi = ci;
    double zr2 = zr * zr;
    double zi2 = zi * zi;
    double savedR = __builtin_nan("");
    double savedI = savedR;
    std::uint32_t interval = kFirstSaveInterval;
    std::uint32_t untilSave = interval;
    std::uint32_t n = 0;
    for (;;) {
        const double p = zi * zr;
        zr = (zr2 - zi2) + cr;
        zi = (p + p) + ci;
        ++n;
        if (n >= limit) {
            return n;
        }
        if (kRange == OrbitRange::Guarded && (Tiny(zr) || Tiny(zi))) {
            return ExactPixel(cr, ci, limit);
        }
        zr2 = zr * zr;
        zi2 = zi * zi;
        if (zi2 + zr2 > 4.0) {
            return n;
        }
        if (!shortcuts) {
            continue;
        }
        if (SameBits(zr, savedR) && SameBits(zi, savedI)) {
            return limit;
        }
        // (A NaN stored pair is never near.)
        if (kRange == OrbitRange::Safe && __builtin_fabs(zr - savedR) <= kNearReturn &&
            __builtin_fabs(zi - savedI) <= kNearReturn) {
            if (NeverEscapes(cr, ci, zr, zi, interval - untilSave + 1)) {
                return limit;
            }
            // Not shown: no second try before the next store.
            savedR = __builtin_nan("");
            savedI = savedR;
        }
        if (--untilSave == 0) {
            savedR = zr;
            savedI = zi;
            if (interval < kMaxSaveInterval) {
                interval += interval / 2;
            }
            untilSave = interval;
        }
    }
}

}  // namespace fastpath
