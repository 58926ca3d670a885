// The fast path with AVX2 and FMA (compiled with those flags only for this
// file): kV vectors of 4 lanes iterate side by side, each lane one safe pixel
// of the row, and a finished lane is refilled at once with the next pixel of
// the queue, inside the loop. With 16 vector registers the squares and z stay
// in registers and c is read from memory. Everything here has internal linkage; the only way in
// is fastpath::RowAvx2. Why the counts equal the exact path's: fast_path.h.
#include <immintrin.h>

#include <cstdint>

#include "engine/simd/fast_path.h"

namespace {

using fastpath::PixelQueue;

constexpr int kW = 4;
constexpr int kV = 3;
constexpr int kLanes = kW * kV;
// Iterations between the periodicity checks (with the shortcut only), as in
// the AVX-512 kernel.
constexpr std::uint32_t kBlock = 64;

// Lane masks for the 16 patterns of 4 bits, for blends.
alignas(32) const std::int64_t kLaneMasks[16][4] = {
    {0, 0, 0, 0},   {-1, 0, 0, 0},   {0, -1, 0, 0},   {-1, -1, 0, 0},
    {0, 0, -1, 0},  {-1, 0, -1, 0},  {0, -1, -1, 0},  {-1, -1, -1, 0},
    {0, 0, 0, -1},  {-1, 0, 0, -1},  {0, -1, 0, -1},  {-1, -1, 0, -1},
    {0, 0, -1, -1}, {-1, 0, -1, -1}, {0, -1, -1, -1}, {-1, -1, -1, -1},
};

__m256d LaneMask(int bits) {
    return _mm256_load_pd(reinterpret_cast<const double*>(kLaneMasks[bits]));
}

void Row(std::uint32_t* out, std::int32_t width, double x1, double dx, double y,
         std::uint32_t limit, bool shortcuts) {
    PixelQueue queue;
    if (!fastpath::BeginRow(queue, out, width, x1, dx, y, limit, shortcuts)) {
        return;
    }
    const __m256d two = _mm256_set1_pd(2.0);
    const __m256d four = _mm256_set1_pd(4.0);

    // z and its squares, which the compiler keeps in registers for the whole
    // row (every loop over the vectors is unrolled); a lane that escapes or
    // reaches the limit is finished and refilled in these registers, without
    // leaving the loop.
    __m256d zr[kV], zi[kV], zr2[kV], zi2[kV];
    // c of each lane; idle lanes (no pixel) hold c = 0, which stays at 0.
    alignas(32) double cr[kLanes];
    alignas(32) double ci[kLanes];
    // Brent's scheme: the stored pair (a NaN pattern until the first store).
    alignas(32) double savedR[kLanes];
    alignas(32) double savedI[kLanes];
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
#pragma GCC unroll 4
    for (int j = 0; j < kV; ++j) {
        zr[j] = zi[j] = zr2[j] = zi2[j] = _mm256_setzero_pd();
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
        const __m256d m = LaneMask(free);
        const __m256d x = _mm256_load_pd(cr + j * kW);
        const __m256d yv = _mm256_load_pd(ci + j * kW);
        zr[j] = _mm256_blendv_pd(zr[j], x, m);
        zi[j] = _mm256_blendv_pd(zi[j], yv, m);
        zr2[j] = _mm256_blendv_pd(zr2[j], _mm256_mul_pd(x, x), m);
        zi2[j] = _mm256_blendv_pd(zi2[j], _mm256_mul_pd(yv, yv), m);
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

#pragma GCC unroll 4
    for (int j = 0; j < kV; ++j) {
        refill(j, (1 << kW) - 1);
    }
    // A lower bound of the iterations until some lane can reach the limit (a
    // lane that escapes only delays it, and a new lane has the whole limit),
    // and the iterations left in the block (with the shortcut only).
    std::uint32_t untilDeadline = limit;
    std::uint32_t blockLeft = kBlock;
    for (;;) {
        std::uint32_t run = untilDeadline;
        if (shortcuts && blockLeft < run) {
            run = blockLeft;
        }
        untilDeadline -= run;
        blockLeft -= run;
        for (const std::uint32_t end = it + run; it != end;) {
#pragma GCC unroll 4
            for (int j = 0; j < kV; ++j) {
                const __m256d p = _mm256_mul_pd(zi[j], zr[j]);
                zr[j] = _mm256_add_pd(_mm256_sub_pd(zr2[j], zi2[j]), _mm256_load_pd(cr + j * kW));
                zi[j] = _mm256_fmadd_pd(p, two, _mm256_load_pd(ci + j * kW));
                zr2[j] = _mm256_mul_pd(zr[j], zr[j]);
                zi2[j] = _mm256_mul_pd(zi[j], zi[j]);
            }
            ++it;
            const __m256d most = _mm256_max_pd(
                _mm256_max_pd(_mm256_add_pd(zi2[0], zr2[0]), _mm256_add_pd(zi2[1], zr2[1])),
                _mm256_add_pd(zi2[2], zr2[2]));
            if (__builtin_expect(_mm256_movemask_pd(_mm256_cmp_pd(most, four, _CMP_GT_OQ)) != 0,
                                 0)) {
#pragma GCC unroll 4
                for (int j = 0; j < kV; ++j) {
                    // The sum again (the same rounded value): keeping all
                    // three through the loop would take one register more
                    // than there are.
                    const int gone =
                        active[j] & _mm256_movemask_pd(_mm256_cmp_pd(_mm256_add_pd(zi2[j], zr2[j]),
                                                                     four, _CMP_GT_OQ));
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
        if (untilDeadline == 0) {
            untilDeadline = limit;
#pragma GCC unroll 4
            for (int j = 0; j < kV; ++j) {
                int reached = 0;
                for (int b = 0; b < kW; ++b) {
                    const int l = j * kW + b;
                    if ((active[j] & (1 << b)) != 0 && it - start[l] == limit) {
                        reached |= 1 << b;
                    }
                }
                if (reached != 0) {
                    finish(j, reached, true);
                }
                for (int b = 0; b < kW; ++b) {
                    const std::uint32_t left = limit - (it - start[j * kW + b]);
                    if ((active[j] & (1 << b)) != 0 && left < untilDeadline) {
                        untilDeadline = left;
                    }
                }
            }
        }
        if (shortcuts && blockLeft == 0) {
            blockLeft = kBlock;
#pragma GCC unroll 4
            for (int j = 0; j < kV; ++j) {
                alignas(32) double r[kW];
                alignas(32) double i[kW];
                _mm256_store_pd(r, zr[j]);
                _mm256_store_pd(i, zi[j]);
                int proven = 0;
                for (int b = 0; b < kW; ++b) {
                    const int l = j * kW + b;
                    if ((active[j] & (1 << b)) == 0) {
                        continue;
                    }
                    // Near the stored pair (a NaN one is never near): a
                    // bit-for-bit repeat, or else try the attracting-cycle
                    // proof, once per stored pair.
                    if (__builtin_fabs(r[b] - savedR[l]) <= fastpath::kNearReturn &&
                        __builtin_fabs(i[b] - savedI[l]) <= fastpath::kNearReturn) {
                        if ((r[b] == savedR[l] && i[b] == savedI[l] &&
                             __builtin_signbit(r[b]) == __builtin_signbit(savedR[l]) &&
                             __builtin_signbit(i[b]) == __builtin_signbit(savedI[l])) ||
                            fastpath::NeverEscapes(cr[l], ci[l], r[b], i[b],
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
        if (!anyActive()) {
            return;
        }
    }
}

}  // namespace

namespace fastpath {

void RowAvx2(std::uint32_t* out, std::int32_t width, double x1, double dx, double y,
             std::uint32_t limit, bool shortcuts) {
    Row(out, width, x1, dx, y, limit, shortcuts);
}

}  // namespace fastpath
