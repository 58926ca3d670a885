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
// Iterations between the periodicity checks (with the shortcut only): the
// comparison with the stored pair and the stores of Brent's scheme. The limit
// is checked whenever a lane can have reached it, block or not. 64 measured
// faster than 32 and 128 on the scenes of the benchmark; a near return is
// then looked for at distances that are multiples of 64.
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

// Writes the counts of the lanes "done" of vector j and refills them.
inline __attribute__((always_inline)) void Finish(std::uint32_t* out, PixelQueue& queue,
                                                  Lanes& lanes, int j, __mmask8 done,
                                                  __m256i counts, std::uint32_t it, double y,
                                                  bool shortcuts, __m512d& zr, __m512d& zi,
                                                  __m512d& zr2, __m512d& zi2, __m512d& cr,
                                                  __m512d& ci) {
    _mm256_mask_i32scatter_epi32(out, done, lanes.col[j], counts, 4);
    Refill(queue, lanes, j, done, it, y, shortcuts, zr, zi, zr2, zi2, cr, ci);
}

bool AnyActive(const Lanes& lanes) {
    unsigned all = 0;
    for (int j = 0; j < kV; ++j) {
        all |= lanes.active[j];
    }
    return all != 0;
}

// The least of the iterations the active lanes have left until the limit, or
// the limit when none is active.
std::uint32_t UntilDeadline(const Lanes& lanes, std::uint32_t it, std::uint32_t limit) {
    const __m256i limitV = _mm256_set1_epi32(static_cast<int>(limit));
    const __m256i now = _mm256_set1_epi32(static_cast<int>(it));
    __m256i least = limitV;
    for (int j = 0; j < kV; ++j) {
        const __m256i left = _mm256_sub_epi32(limitV, _mm256_sub_epi32(now, lanes.start[j]));
        least = _mm256_mask_min_epu32(least, lanes.active[j], least, left);
    }
    alignas(32) std::uint32_t lane[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lane), least);
    std::uint32_t result = lane[0];
    for (int l = 1; l < 8; ++l) {
        result = lane[l] < result ? lane[l] : result;
    }
    return result;
}

// The lanes "near" of one vector whose orbit has come back near its stored
// pair: those shown never to escape (a bit-for-bit repeat, or the
// attracting-cycle proof, tried once per stored pair). Out of line: it is
// rare, and the register loop need not keep room for it.
__attribute__((noinline)) unsigned Proven(const Lanes& lanes, int j, __m512d zr, __m512d zi,
                                          __m512d cr, double y, std::uint32_t it, __mmask8 near) {
    const auto repeated = static_cast<__mmask8>(
        near &
        _mm512_cmpeq_epi64_mask(_mm512_castpd_si512(zr), _mm512_castpd_si512(lanes.savedR[j])) &
        _mm512_cmpeq_epi64_mask(_mm512_castpd_si512(zi), _mm512_castpd_si512(lanes.savedI[j])));
    alignas(64) double r[8], i[8], c[8];
    alignas(32) std::uint32_t since[8];
    _mm512_store_pd(r, zr);
    _mm512_store_pd(i, zi);
    _mm512_store_pd(c, cr);
    _mm256_store_si256(reinterpret_cast<__m256i*>(since),
                       _mm256_sub_epi32(_mm256_set1_epi32(static_cast<int>(it)),
                                        _mm256_sub_epi32(lanes.saveAt[j], lanes.interval[j])));
    unsigned proven = repeated;
    for (unsigned bits = near & ~repeated; bits != 0; bits &= bits - 1) {
        const int l = __builtin_ctz(bits);
        if (fastpath::NeverEscapes(c[l], y, r[l], i[l], since[l])) {
            proven |= 1u << l;
        }
    }
    return proven;
}

// The end of a block with the periodicity shortcut, on the registers of the
// loop: lanes near their stored pair are tried (Proven), and the stores of
// Brent's scheme that are due are made.
inline __attribute__((always_inline)) void BlockEnd(Lanes& lanes, PixelQueue& queue,
                                                    std::uint32_t* out, std::uint32_t it, double y,
                                                    std::uint32_t limit, __m512d (&zr)[kV],
                                                    __m512d (&zi)[kV], __m512d (&zr2)[kV],
                                                    __m512d (&zi2)[kV], __m512d (&cr)[kV],
                                                    __m512d (&ci)[kV]) {
    const __m256i now = _mm256_set1_epi32(static_cast<int>(it));
    const __m512d nearV = _mm512_set1_pd(fastpath::kNearReturn);
    const __m512d noPair = _mm512_castsi512_pd(_mm512_set1_epi64(-1));  // a NaN pattern
#pragma GCC unroll 4
    for (int j = 0; j < kV; ++j) {
        // Near the stored pair (a NaN one is never near).
        const __mmask8 near = static_cast<__mmask8>(
            lanes.active[j] &
            _mm512_cmp_pd_mask(_mm512_abs_pd(_mm512_sub_pd(zr[j], lanes.savedR[j])), nearV,
                               _CMP_LE_OQ) &
            _mm512_cmp_pd_mask(_mm512_abs_pd(_mm512_sub_pd(zi[j], lanes.savedI[j])), nearV,
                               _CMP_LE_OQ));
        if (__builtin_expect(near != 0, 0)) {
            const auto proven =
                static_cast<__mmask8>(Proven(lanes, j, zr[j], zi[j], cr[j], y, it, near));
            const auto failed = static_cast<__mmask8>(near & ~proven);
            lanes.savedR[j] = _mm512_mask_mov_pd(lanes.savedR[j], failed, noPair);
            lanes.savedI[j] = _mm512_mask_mov_pd(lanes.savedI[j], failed, noPair);
            if (proven != 0) {
                Finish(out, queue, lanes, j, proven, _mm256_set1_epi32(static_cast<int>(limit)), it,
                       y, true, zr[j], zi[j], zr2[j], zi2[j], cr[j], ci[j]);
            }
        }
        // it - saveAt >= 0 in modular arithmetic: the store is due.
        const __mmask8 due = static_cast<__mmask8>(
            lanes.active[j] & _mm256_cmpge_epi32_mask(_mm256_sub_epi32(now, lanes.saveAt[j]),
                                                      _mm256_setzero_si256()));
        if (due != 0) {
            lanes.savedR[j] = _mm512_mask_mov_pd(lanes.savedR[j], due, zr[j]);
            lanes.savedI[j] = _mm512_mask_mov_pd(lanes.savedI[j], due, zi[j]);
            lanes.interval[j] = _mm256_mask_min_epu32(
                lanes.interval[j], due,
                _mm256_add_epi32(lanes.interval[j], _mm256_srli_epi32(lanes.interval[j], 1)),
                _mm256_set1_epi32(static_cast<int>(fastpath::kMaxSaveInterval)));
            lanes.saveAt[j] = _mm256_mask_add_epi32(lanes.saveAt[j], due, now, lanes.interval[j]);
        }
    }
}

void Row(std::uint32_t* out, std::int32_t width, double x1, double dx, double y,
         std::uint32_t limit, bool shortcuts) {
    PixelQueue queue;
    if (!fastpath::BeginRow(queue, out, width, x1, dx, y, limit, shortcuts)) {
        return;
    }
    const __m512d two = _mm512_set1_pd(2.0);
    const __m512d four = _mm512_set1_pd(4.0);
    const __m256i limitV = _mm256_set1_epi32(static_cast<int>(limit));
    // The state one step reads and writes, which the compiler keeps in
    // registers for the whole row (every loop over the vectors is unrolled):
    // z, its squares and c. Idle lanes (no pixel) hold c = 0, which stays at 0
    // and never escapes. A lane that escapes or reaches the limit is finished
    // and refilled in these registers, without leaving the loop.
    __m512d zr[kV], zi[kV], zr2[kV], zi2[kV], cr[kV], ci[kV], sum[kV];
    Lanes lanes;
    std::uint32_t it = 0;
#pragma GCC unroll 4
    for (int j = 0; j < kV; ++j) {
        zr[j] = zi[j] = zr2[j] = zi2[j] = cr[j] = ci[j] = _mm512_setzero_pd();
        lanes.savedR[j] = lanes.savedI[j] = _mm512_setzero_pd();
        lanes.col[j] = lanes.start[j] = lanes.saveAt[j] = lanes.interval[j] =
            _mm256_setzero_si256();
        lanes.active[j] = 0;
        Refill(queue, lanes, j, 0xFF, it, y, shortcuts, zr[j], zi[j], zr2[j], zi2[j], cr[j], ci[j]);
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
            const __m512d most =
                _mm512_maskz_max_pd(0xFF, _mm512_maskz_max_pd(0xFF, sum[0], sum[1]),
                                    _mm512_maskz_max_pd(0xFF, sum[2], sum[3]));
            if (__builtin_expect(_mm512_cmp_pd_mask(most, four, _CMP_GT_OQ) != 0, 0)) {
                const __m256i now = _mm256_set1_epi32(static_cast<int>(it));
#pragma GCC unroll 4
                for (int j = 0; j < kV; ++j) {
                    const __mmask8 gone = static_cast<__mmask8>(
                        lanes.active[j] & _mm512_cmp_pd_mask(sum[j], four, _CMP_GT_OQ));
                    if (gone != 0) {
                        Finish(out, queue, lanes, j, gone, _mm256_sub_epi32(now, lanes.start[j]),
                               it, y, shortcuts, zr[j], zi[j], zr2[j], zi2[j], cr[j], ci[j]);
                    }
                }
                if (!AnyActive(lanes)) {
                    // The row is done: idle lanes never escape, so do not
                    // iterate them up to the limit.
                    return;
                }
            }
        }
        if (untilDeadline == 0) {
            const __m256i now = _mm256_set1_epi32(static_cast<int>(it));
#pragma GCC unroll 4
            for (int j = 0; j < kV; ++j) {
                const __mmask8 reached = static_cast<__mmask8>(
                    lanes.active[j] &
                    _mm256_cmpeq_epi32_mask(_mm256_sub_epi32(now, lanes.start[j]), limitV));
                if (reached != 0) {
                    Finish(out, queue, lanes, j, reached, limitV, it, y, shortcuts, zr[j], zi[j],
                           zr2[j], zi2[j], cr[j], ci[j]);
                }
            }
            untilDeadline = UntilDeadline(lanes, it, limit);
        }
        if (shortcuts && blockLeft == 0) {
            BlockEnd(lanes, queue, out, it, y, limit, zr, zi, zr2, zi2, cr, ci);
            blockLeft = kBlock;
        }
        if (!AnyActive(lanes)) {
            return;
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
