// The fast path in portable scalar code, for CPUs without a SIMD kernel: one
// safe pixel at a time, in plain double arithmetic, with the optional
// periodicity check. Why its counts equal the exact path's: fast_path.h.
#include <cstring>

#include "engine/simd/fast_path.h"

namespace {

using fastpath::PixelQueue;

bool SameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof(double)) == 0;
}

// One safe pixel (fast_path.h, 3). The limit is at least 2.
std::uint32_t IterateSafe(double cr, double ci, std::uint32_t limit, bool shortcuts) {
    double zr = cr;
    double zi = ci;
    double zr2 = zr * zr;
    double zi2 = zi * zi;
    // Brent's scheme: a NaN never equals a finite pair, until the first store.
    double savedR = __builtin_nan("");
    double savedI = savedR;
    std::uint32_t interval = fastpath::kFirstSaveInterval;
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
        zr2 = zr * zr;
        zi2 = zi * zi;
        if (zi2 + zr2 > 4.0) {
            return n;
        }
        if (shortcuts) {
            if (SameBits(zr, savedR) && SameBits(zi, savedI)) {
                return limit;
            }
            // (A NaN stored pair is never near.)
            if (__builtin_fabs(zr - savedR) <= fastpath::kNearReturn &&
                __builtin_fabs(zi - savedI) <= fastpath::kNearReturn) {
                if (fastpath::NeverEscapes(cr, ci, zr, zi, interval - untilSave + 1)) {
                    return limit;
                }
                // Not shown: no second try before the next store.
                savedR = __builtin_nan("");
                savedI = savedR;
            }
            if (--untilSave == 0) {
                savedR = zr;
                savedI = zi;
                if (interval < fastpath::kMaxSaveInterval) {
                    interval += interval / 2;
                }
                untilSave = interval;
            }
        }
    }
}

}  // namespace

namespace fastpath {

void RowGeneric(std::uint32_t* out, std::int32_t width, double x1, double dx, double y,
                std::uint32_t limit, bool shortcuts) {
    PixelQueue queue;
    if (!BeginRow(queue, out, width, x1, dx, y, limit, shortcuts)) {
        return;
    }
    for (std::int32_t i = queue.head; i < queue.tail; ++i) {
        out[queue.col[i]] = IterateSafe(queue.x[i], y, limit, shortcuts);
    }
}

}  // namespace fastpath
