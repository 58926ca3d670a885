// The fast path with AVX-512 (F, VL, DQ; compiled with those flags only for
// this file): kV vectors of 8 lanes iterate side by side, each lane one safe
// pixel of the row; a lane whose pixel escapes is refilled at once with the
// next pixel of the queue (masked expand loads) inside the register loop, so
// no lane waits for the slowest and the state stays in registers. Everything
// here has internal linkage; the only way in is fastpath::RowAvx512. Why the
// counts equal the exact path's: fast_path.h.
#include <immintrin.h>

#include <cstdint>

#include "engine/simd/fast_path.h"

namespace {

using fastpath::PixelQueue;

// Four vectors in flight: one step is a chain of about 12 cycles (multiply,
// subtract, add) and 7 operations per vector, so four keep both units busy.
constexpr int kV = 4;
// Iterations between the checks that need not run every step: the limit
// (only when a lane can have reached it), the periodicity comparison and the
// stores of Brent's scheme. Each block end leaves the register loop, so a
// longer block costs less; 64 measured faster than 32 and 128 on the scenes
// of the benchmark (a near return is then looked for at distances that are
// multiples of 64).
constexpr std::uint32_t kBlock = 64;

// The state of the lanes that only the refills and the block ends touch.
struct Lanes {
    __m256i col[kV], start[kV], saveAt[kV], interval[kV];
    __m512d savedR[kV], savedI[kV];
    __mmask8 active[kV];
};

// Gives the lanes "free" of one vector the next pixels of the queue (lanes
// left without one become idle, with c = 0) starting at iteration "it"; the
// vector's registers are passed in so that the escape path keeps them there.
inline __attribute__((always_inline)) void Refill(PixelQueue& queue, Lanes& lanes, int j,
                                                  __mmask8 free, std::uint32_t it, double y,
                                                  bool shortcuts, __m512d& zr, __m512d& zi,
                                                  __m512d& zr2, __m512d& zi2, __m512d& cr,
                                                  __m512d& ci) {
    const int want = __builtin_popcount(free);
    if (queue.tail - queue.head < want && !fastpath::RowExhausted(queue)) {
        fastpath::FillQueue(queue);
    }
    const int avail = queue.tail - queue.head;
    __mmask8 take = free;
    if (avail < want) {
        take = static_cast<__mmask8>(_pdep_u32((1u << avail) - 1u, free));
    }
    const __m512d x = _mm512_maskz_expandloadu_pd(take, queue.x + queue.head);
    const __m256i c = _mm256_maskz_expandloadu_epi32(take, queue.col + queue.head);
    queue.head += avail < want ? avail : want;
    const __m512d yv = _mm512_maskz_mov_pd(take, _mm512_set1_pd(y));
    cr = _mm512_mask_mov_pd(cr, free, x);
    ci = _mm512_mask_mov_pd(ci, free, yv);
    zr = _mm512_mask_mov_pd(zr, free, x);
    zi = _mm512_mask_mov_pd(zi, free, yv);
    zr2 = _mm512_mask_mul_pd(zr2, free, x, x);
    zi2 = _mm512_mask_mul_pd(zi2, free, yv, yv);
    lanes.col[j] = _mm256_mask_mov_epi32(lanes.col[j], free, c);
    lanes.start[j] =
        _mm256_mask_mov_epi32(lanes.start[j], free, _mm256_set1_epi32(static_cast<int>(it)));
    lanes.active[j] = static_cast<__mmask8>((lanes.active[j] & ~free) | take);
    if (shortcuts) {
        const __m512d noPair = _mm512_castsi512_pd(_mm512_set1_epi64(-1));  // a NaN pattern
        lanes.savedR[j] = _mm512_mask_mov_pd(lanes.savedR[j], free, noPair);
        lanes.savedI[j] = _mm512_mask_mov_pd(lanes.savedI[j], free, noPair);
        lanes.saveAt[j] = _mm256_mask_mov_epi32(
            lanes.saveAt[j], free,
            _mm256_set1_epi32(static_cast<int>(it + fastpath::kFirstSaveInterval)));
        lanes.interval[j] = _mm256_mask_mov_epi32(
            lanes.interval[j], free,
            _mm256_set1_epi32(static_cast<int>(fastpath::kFirstSaveInterval)));
    }
}

// Writes the counts of the lanes "done" of vector j.
inline __attribute__((always_inline)) void Store(std::uint32_t* out, const Lanes& lanes, int j,
                                                 __mmask8 done, __m256i counts) {
    _mm256_mask_i32scatter_epi32(out, done, lanes.col[j], counts, 4);
}

bool AnyActive(const Lanes& lanes) {
    unsigned all = 0;
    for (int j = 0; j < kV; ++j) {
        all |= lanes.active[j];
    }
    return all != 0;
}

// The state one step reads and writes, between calls of Iterate. Idle lanes
// (no pixel) hold c = 0, which stays at 0 and never escapes.
struct Hot {
    __m512d zr[kV], zi[kV], zr2[kV], zi2[kV], cr[kV], ci[kV];
};

// Runs "steps" iterations on copies of the state that the compiler keeps in
// registers. A lane that escapes is finished and refilled here, in the
// registers, without leaving the loop. Returns false when no lane is left.
inline __attribute__((always_inline)) bool Iterate(Hot& hot, Lanes& lanes, PixelQueue& queue,
                                                   std::uint32_t* out, std::uint32_t& it,
                                                   std::uint32_t steps, double y, bool shortcuts) {
    const __m512d two = _mm512_set1_pd(2.0);
    const __m512d four = _mm512_set1_pd(4.0);
    __m512d zr[kV], zi[kV], zr2[kV], zi2[kV], cr[kV], ci[kV], sum[kV];
#pragma GCC unroll 4
    for (int j = 0; j < kV; ++j) {
        zr[j] = hot.zr[j];
        zi[j] = hot.zi[j];
        zr2[j] = hot.zr2[j];
        zi2[j] = hot.zi2[j];
        cr[j] = hot.cr[j];
        ci[j] = hot.ci[j];
    }
    bool left = true;
    const std::uint32_t end = it + steps;
    while (it != end) {
#pragma GCC unroll 4
        for (int j = 0; j < kV; ++j) {
            const __m512d p = _mm512_mul_pd(zi[j], zr[j]);
            zr[j] = _mm512_add_pd(_mm512_sub_pd(zr2[j], zi2[j]), cr[j]);
            zi[j] = _mm512_fmadd_pd(p, two, ci[j]);
            zr2[j] = _mm512_mul_pd(zr[j], zr[j]);
            zi2[j] = _mm512_mul_pd(zi[j], zi[j]);
            sum[j] = _mm512_add_pd(zi2[j], zr2[j]);
        }
        ++it;
        // (The zero-masked form with a full mask is the plain maximum; the
        // unmasked intrinsic trips a false uninitialised-value warning.)
        const __m512d most = _mm512_maskz_max_pd(0xFF, _mm512_maskz_max_pd(0xFF, sum[0], sum[1]),
                                                 _mm512_maskz_max_pd(0xFF, sum[2], sum[3]));
        if (__builtin_expect(_mm512_cmp_pd_mask(most, four, _CMP_GT_OQ) != 0, 0)) {
            const __m256i now = _mm256_set1_epi32(static_cast<int>(it));
#pragma GCC unroll 4
            for (int j = 0; j < kV; ++j) {
                const __mmask8 gone = static_cast<__mmask8>(
                    lanes.active[j] & _mm512_cmp_pd_mask(sum[j], four, _CMP_GT_OQ));
                if (gone != 0) {
                    Store(out, lanes, j, gone, _mm256_sub_epi32(now, lanes.start[j]));
                    Refill(queue, lanes, j, gone, it, y, shortcuts, zr[j], zi[j], zr2[j], zi2[j],
                           cr[j], ci[j]);
                }
            }
            if (!AnyActive(lanes)) {
                // The row is done: idle lanes never escape, so do not
                // iterate them up to the limit.
                left = false;
                break;
            }
        }
    }
#pragma GCC unroll 4
    for (int j = 0; j < kV; ++j) {
        hot.zr[j] = zr[j];
        hot.zi[j] = zi[j];
        hot.zr2[j] = zr2[j];
        hot.zi2[j] = zi2[j];
        hot.cr[j] = cr[j];
        hot.ci[j] = ci[j];
    }
    return left;
}

void Row(std::uint32_t* out, std::int32_t width, double x1, double dx, double y,
         std::uint32_t limit, bool shortcuts) {
    PixelQueue queue;
    if (!fastpath::BeginRow(queue, out, width, x1, dx, y, limit, shortcuts)) {
        return;
    }
    const __m512d noPair = _mm512_castsi512_pd(_mm512_set1_epi64(-1));  // a NaN pattern
    const __m512d nearV = _mm512_set1_pd(fastpath::kNearReturn);
    const __m256i limitV = _mm256_set1_epi32(static_cast<int>(limit));
    const __m256i capV = _mm256_set1_epi32(static_cast<int>(fastpath::kMaxSaveInterval));

    // Lane state: z, its squares, c; the column and the iteration at which
    // the pixel started; Brent's scheme: the stored pair, when the next store
    // is due, and the distance to the one after.
    Hot hot;
    Lanes lanes;
    __m512d(&zr)[kV] = hot.zr;
    __m512d(&zi)[kV] = hot.zi;
    __m512d(&cr)[kV] = hot.cr;
    __m256i(&saveAt)[kV] = lanes.saveAt;
    __m256i(&interval)[kV] = lanes.interval;
    __m512d(&savedR)[kV] = lanes.savedR;
    __m512d(&savedI)[kV] = lanes.savedI;
    __mmask8(&active)[kV] = lanes.active;
    std::uint32_t it = 0;

    for (int j = 0; j < kV; ++j) {
        hot.zr[j] = hot.zi[j] = hot.zr2[j] = hot.zi2[j] = hot.cr[j] = hot.ci[j] =
            _mm512_setzero_pd();
        lanes.savedR[j] = lanes.savedI[j] = noPair;
        lanes.col[j] = lanes.start[j] = lanes.saveAt[j] = lanes.interval[j] =
            _mm256_setzero_si256();
        lanes.active[j] = 0;
    }
    // Lanes of vector j that are done with the count "counts" (at a block end).
    auto finish = [&](int j, __mmask8 done, __m256i counts) {
        Store(out, lanes, j, done, counts);
        Refill(queue, lanes, j, done, it, y, shortcuts, hot.zr[j], hot.zi[j], hot.zr2[j],
               hot.zi2[j], hot.cr[j], hot.ci[j]);
    };

    for (int j = 0; j < kV; ++j) {
        Refill(queue, lanes, j, 0xFF, it, y, shortcuts, hot.zr[j], hot.zi[j], hot.zr2[j],
               hot.zi2[j], hot.cr[j], hot.ci[j]);
    }
    // Iterations until the first lane can reach the limit: a lower bound, since
    // a lane that escapes only delays it and a new lane has the whole limit.
    std::uint32_t untilDeadline = limit;

    while (AnyActive(lanes)) {
        // Without the shortcut only the limit ends a block.
        const std::uint32_t steps = shortcuts && kBlock < untilDeadline ? kBlock : untilDeadline;
        untilDeadline -= steps;
        if (!Iterate(hot, lanes, queue, out, it, steps, y, shortcuts)) {
            return;
        }

        const __m256i now = _mm256_set1_epi32(static_cast<int>(it));
        if (shortcuts) {
            for (int j = 0; j < kV; ++j) {
                const __mmask8 repeated =
                    static_cast<__mmask8>(active[j] &
                                          _mm512_cmpeq_epi64_mask(_mm512_castpd_si512(zr[j]),
                                                                  _mm512_castpd_si512(savedR[j])) &
                                          _mm512_cmpeq_epi64_mask(_mm512_castpd_si512(zi[j]),
                                                                  _mm512_castpd_si512(savedI[j])));
                if (repeated != 0) {
                    finish(j, repeated, limitV);
                }
            }
            for (int j = 0; j < kV; ++j) {
                // Near the stored pair (a NaN one is never near): try the
                // attracting-cycle proof, once per stored pair.
                const __mmask8 near = static_cast<__mmask8>(
                    active[j] &
                    _mm512_cmp_pd_mask(_mm512_abs_pd(_mm512_sub_pd(zr[j], savedR[j])), nearV,
                                       _CMP_LE_OQ) &
                    _mm512_cmp_pd_mask(_mm512_abs_pd(_mm512_sub_pd(zi[j], savedI[j])), nearV,
                                       _CMP_LE_OQ));
                if (near == 0) {
                    continue;
                }
                alignas(64) double r[8], i[8], c[8];
                alignas(32) std::uint32_t since[8];
                _mm512_store_pd(r, zr[j]);
                _mm512_store_pd(i, zi[j]);
                _mm512_store_pd(c, cr[j]);
                _mm256_store_si256(reinterpret_cast<__m256i*>(since),
                                   _mm256_sub_epi32(now, _mm256_sub_epi32(saveAt[j], interval[j])));
                unsigned proven = 0;
                for (unsigned bits = near; bits != 0; bits &= bits - 1) {
                    const int l = __builtin_ctz(bits);
                    if (fastpath::NeverEscapes(c[l], y, r[l], i[l], since[l])) {
                        proven |= 1u << l;
                    }
                }
                const auto failed = static_cast<__mmask8>(near & ~proven);
                savedR[j] = _mm512_mask_mov_pd(savedR[j], failed, noPair);
                savedI[j] = _mm512_mask_mov_pd(savedI[j], failed, noPair);
                if (proven != 0) {
                    finish(j, static_cast<__mmask8>(proven), limitV);
                }
            }
            for (int j = 0; j < kV; ++j) {
                // it - saveAt >= 0 in modular arithmetic: the store is due.
                const __mmask8 due = static_cast<__mmask8>(
                    active[j] & _mm256_cmpge_epi32_mask(_mm256_sub_epi32(now, saveAt[j]),
                                                        _mm256_setzero_si256()));
                if (due != 0) {
                    savedR[j] = _mm512_mask_mov_pd(savedR[j], due, zr[j]);
                    savedI[j] = _mm512_mask_mov_pd(savedI[j], due, zi[j]);
                    interval[j] = _mm256_mask_min_epu32(
                        interval[j], due,
                        _mm256_add_epi32(interval[j], _mm256_srli_epi32(interval[j], 1)), capV);
                    saveAt[j] = _mm256_mask_add_epi32(saveAt[j], due, now, interval[j]);
                }
            }
        }
        if (untilDeadline == 0) {
            __m256i remaining = _mm256_set1_epi32(-1);
            for (int j = 0; j < kV; ++j) {
                const __m256i n = _mm256_sub_epi32(now, lanes.start[j]);
                const __mmask8 reached =
                    static_cast<__mmask8>(active[j] & _mm256_cmpeq_epi32_mask(n, limitV));
                if (reached != 0) {
                    finish(j, reached, limitV);
                }
                const __m256i left =
                    _mm256_sub_epi32(limitV, _mm256_sub_epi32(now, lanes.start[j]));
                remaining = _mm256_mask_min_epu32(remaining, active[j], remaining, left);
            }
            alignas(32) std::uint32_t lanes[8];
            _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), remaining);
            untilDeadline = lanes[0];
            for (int l = 1; l < 8; ++l) {
                untilDeadline = lanes[l] < untilDeadline ? lanes[l] : untilDeadline;
            }
        }
    }
}

}  // namespace

namespace fastpath {

void RowAvx512(std::uint32_t* out, std::int32_t width, double x1, double dx, double y,
               std::uint32_t limit, bool shortcuts) {
    Row(out, width, x1, dx, y, limit, shortcuts);
}

}  // namespace fastpath
