// The fast path with SSE2, the x86-64 baseline (compiled with -msse2 for this
// file, which also makes it available in 32-bit builds): kV vectors of 2 lanes
// iterate side by side, each lane one safe pixel of the row, and a finished
// lane is refilled at once with the next pixel of the queue. There is no fused
// multiply-add here, so 2p + ci is computed as (p + p) + ci, as written.
// Everything here has internal linkage; the only way in is fastpath::RowSse2.
// Why the counts equal the exact path's: fast_path.h.
#include <emmintrin.h>

#include <cstdint>

#include "engine/simd/fast_path.h"

namespace {

using fastpath::PixelQueue;

constexpr int kW = 2;
constexpr int kV = 3;
constexpr int kLanes = kW * kV;
constexpr std::uint32_t kBlock = 32;

// Lane masks for the 4 patterns of 2 bits, for blends.
alignas(16) const std::int64_t kLaneMasks[4][2] = {{0, 0}, {-1, 0}, {0, -1}, {-1, -1}};

__m128d LaneMask(int bits) {
    return _mm_load_pd(reinterpret_cast<const double*>(kLaneMasks[bits]));
}

__m128d Blend(__m128d a, __m128d b, __m128d mask) {
    return _mm_or_pd(_mm_and_pd(mask, b), _mm_andnot_pd(mask, a));
}

// All 64 bits equal, per lane, as a mask.
__m128i SameBits(__m128d a, __m128d b) {
    const __m128i halves = _mm_cmpeq_epi32(_mm_castpd_si128(a), _mm_castpd_si128(b));
    return _mm_and_si128(halves, _mm_shuffle_epi32(halves, _MM_SHUFFLE(2, 3, 0, 1)));
}

// Runs at most "steps" iterations on copies of z and its squares that the
// compiler keeps in registers (c is read from memory), and stops after the
// first iteration in which some lane escaped (escaped = true, s = that
// iteration's zi^2 + zr^2). Returns the number of iterations made.
inline __attribute__((always_inline)) std::uint32_t Iterate(__m128d (&zrH)[kV], __m128d (&ziH)[kV],
                                                            __m128d (&zr2H)[kV],
                                                            __m128d (&zi2H)[kV], const double* crA,
                                                            const double* ciA, __m128d (&s)[kV],
                                                            std::uint32_t steps, bool& escaped) {
    const __m128d four = _mm_set1_pd(4.0);
    __m128d zr[kV], zi[kV], zr2[kV], zi2[kV], sum[kV];
#pragma GCC unroll 4
    for (int j = 0; j < kV; ++j) {
        zr[j] = zrH[j];
        zi[j] = ziH[j];
        zr2[j] = zr2H[j];
        zi2[j] = zi2H[j];
    }
    std::uint32_t done = 0;
    do {
#pragma GCC unroll 4
        for (int j = 0; j < kV; ++j) {
            const __m128d p = _mm_mul_pd(zi[j], zr[j]);
            zr[j] = _mm_add_pd(_mm_sub_pd(zr2[j], zi2[j]), _mm_load_pd(crA + j * kW));
            zi[j] = _mm_add_pd(_mm_add_pd(p, p), _mm_load_pd(ciA + j * kW));
            zr2[j] = _mm_mul_pd(zr[j], zr[j]);
            zi2[j] = _mm_mul_pd(zi[j], zi[j]);
            sum[j] = _mm_add_pd(zi2[j], zr2[j]);
        }
        ++done;
        const __m128d most = _mm_max_pd(_mm_max_pd(sum[0], sum[1]), sum[2]);
        if (_mm_movemask_pd(_mm_cmpgt_pd(most, four)) != 0) {
            escaped = true;
            break;
        }
    } while (done < steps);
#pragma GCC unroll 4
    for (int j = 0; j < kV; ++j) {
        zrH[j] = zr[j];
        ziH[j] = zi[j];
        zr2H[j] = zr2[j];
        zi2H[j] = zi2[j];
        s[j] = sum[j];
    }
    return done;
}

void Row(std::uint32_t* out, std::int32_t width, double x1, double dx, double y,
         std::uint32_t limit, bool shortcuts) {
    PixelQueue queue;
    if (!fastpath::BeginRow(queue, out, width, x1, dx, y, limit, shortcuts)) {
        return;
    }
    const __m128d four = _mm_set1_pd(4.0);

    __m128d zr[kV], zi[kV], zr2[kV], zi2[kV];
    // c of each lane; idle lanes (no pixel) hold c = 0, which stays at 0.
    alignas(16) double cr[kLanes];
    alignas(16) double ci[kLanes];
    // Brent's scheme: the stored pair (a NaN pattern until the first store).
    alignas(16) double savedR[kLanes];
    alignas(16) double savedI[kLanes];
    std::int32_t col[kLanes];
    std::uint32_t start[kLanes];
    std::uint32_t saveAt[kLanes];
    std::uint32_t interval[kLanes];
    int active[kV];
    std::uint32_t it = 0;
    const double noPair = __builtin_nan("");

    for (int l = 0; l < kLanes; ++l) {
        cr[l] = ci[l] = 0.0;
        savedR[l] = savedI[l] = noPair;
        col[l] = 0;
        start[l] = saveAt[l] = interval[l] = 0;
    }
    for (int j = 0; j < kV; ++j) {
        zr[j] = zi[j] = zr2[j] = zi2[j] = _mm_setzero_pd();
        active[j] = 0;
    }

    // Gives the lanes "free" (bits) of vector j the next pixels of the queue;
    // lanes left without one become idle.
    auto refill = [&](int j, int free) {
        for (int b = 0; b < kW; ++b) {
            if ((free & (1 << b)) == 0) {
                continue;
            }
            const int l = j * kW + b;
            if (queue.head < queue.tail) {
                cr[l] = queue.x[queue.head];
                ci[l] = queue.y;
                col[l] = queue.col[queue.head];
                ++queue.head;
                active[j] |= 1 << b;
            } else {
                cr[l] = ci[l] = 0.0;
                active[j] &= ~(1 << b);
            }
            start[l] = it;
            savedR[l] = savedI[l] = noPair;
            saveAt[l] = it + fastpath::kFirstSaveInterval;
            interval[l] = fastpath::kFirstSaveInterval;
        }
        const __m128d m = LaneMask(free);
        const __m128d x = _mm_load_pd(cr + j * kW);
        const __m128d yv = _mm_load_pd(ci + j * kW);
        zr[j] = Blend(zr[j], x, m);
        zi[j] = Blend(zi[j], yv, m);
        zr2[j] = Blend(zr2[j], _mm_mul_pd(x, x), m);
        zi2[j] = Blend(zi2[j], _mm_mul_pd(yv, yv), m);
    };
    // Writes the count of the lanes "done" of vector j (the limit, or the
    // steps made) and refills them.
    auto finish = [&](int j, int done, bool atLimit) {
        for (int b = 0; b < kW; ++b) {
            if ((done & (1 << b)) != 0) {
                const int l = j * kW + b;
                out[col[l]] = atLimit ? limit : it - start[l];
            }
        }
        refill(j, done);
    };
    auto anyActive = [&] {
        int all = 0;
        for (int j = 0; j < kV; ++j) {
            all |= active[j];
        }
        return all != 0;
    };

    for (int j = 0; j < kV; ++j) {
        refill(j, (1 << kW) - 1);
    }
    // A lower bound of the iterations until a lane can reach the limit.
    std::uint32_t untilDeadline = limit;

    while (anyActive()) {
        // Without the shortcut only the limit ends a block.
        const std::uint32_t steps = shortcuts && kBlock < untilDeadline ? kBlock : untilDeadline;
        untilDeadline -= steps;
        for (std::uint32_t left = steps; left > 0;) {
            __m128d s[kV];
            bool escaped = false;
            const std::uint32_t done = Iterate(zr, zi, zr2, zi2, cr, ci, s, left, escaped);
            it += done;
            left -= done;
            if (escaped) {
                for (int j = 0; j < kV; ++j) {
                    const int gone = active[j] & _mm_movemask_pd(_mm_cmpgt_pd(s[j], four));
                    if (gone != 0) {
                        finish(j, gone, false);
                    }
                }
                if (!anyActive()) {
                    // The row is done: idle lanes never escape, so do not
                    // iterate them up to the limit.
                    return;
                }
            }
        }

        if (shortcuts) {
            for (int j = 0; j < kV; ++j) {
                const __m128i same = _mm_and_si128(SameBits(zr[j], _mm_load_pd(savedR + j * kW)),
                                                   SameBits(zi[j], _mm_load_pd(savedI + j * kW)));
                const int repeated = active[j] & _mm_movemask_pd(_mm_castsi128_pd(same));
                if (repeated != 0) {
                    finish(j, repeated, true);
                }
            }
            for (int j = 0; j < kV; ++j) {
                alignas(16) double r[kW];
                alignas(16) double i[kW];
                _mm_store_pd(r, zr[j]);
                _mm_store_pd(i, zi[j]);
                int proven = 0;
                for (int b = 0; b < kW; ++b) {
                    const int l = j * kW + b;
                    if ((active[j] & (1 << b)) == 0) {
                        continue;
                    }
                    // Near the stored pair (a NaN one is never near): try the
                    // attracting-cycle proof, once per stored pair.
                    if (__builtin_fabs(r[b] - savedR[l]) <= fastpath::kNearReturn &&
                        __builtin_fabs(i[b] - savedI[l]) <= fastpath::kNearReturn) {
                        if (fastpath::NeverEscapes(cr[l], ci[l], r[b], i[b],
                                                   it - (saveAt[l] - interval[l]))) {
                            proven |= 1 << b;
                            continue;
                        }
                        savedR[l] = savedI[l] = noPair;
                    }
                    if (static_cast<std::int32_t>(it - saveAt[l]) >= 0) {
                        savedR[l] = r[b];
                        savedI[l] = i[b];
                        if (interval[l] < fastpath::kMaxSaveInterval) {
                            interval[l] += interval[l] / 2;
                        }
                        saveAt[l] = it + interval[l];
                    }
                }
                if (proven != 0) {
                    finish(j, proven, true);
                }
            }
        }
        if (untilDeadline == 0) {
            for (int j = 0; j < kV; ++j) {
                int reached = 0;
                for (int b = 0; b < kW; ++b) {
                    if ((active[j] & (1 << b)) != 0 && it - start[j * kW + b] == limit) {
                        reached |= 1 << b;
                    }
                }
                if (reached != 0) {
                    finish(j, reached, true);
                }
            }
            untilDeadline = limit;
            for (int j = 0; j < kV; ++j) {
                for (int b = 0; b < kW; ++b) {
                    const std::uint32_t left = limit - (it - start[j * kW + b]);
                    if ((active[j] & (1 << b)) != 0 && left < untilDeadline) {
                        untilDeadline = left;
                    }
                }
            }
        }
    }
}

}  // namespace

namespace fastpath {

void RowSse2(std::uint32_t* out, std::int32_t width, double x1, double dx, double y,
             std::uint32_t limit, bool shortcuts) {
    Row(out, width, x1, dx, y, limit, shortcuts);
}

}  // namespace fastpath
