// The fast path with AVX2 and FMA (compiled with those flags only for this
// file): kV vectors of 4 lanes iterate side by side, each lane one safe pixel
// of the row, and a finished lane is refilled at once with the next pixel of
// the queue, inside the loop. Everything here has internal linkage; the only
// way in is fastpath::RowAvx2. Why the counts equal the exact path's:
// fast_path.h.
//
// Registers: with 16 vector registers, only z is carried from one step to the
// next. Each step forms the squares from z; they serve the escape test of
// that z (the one the previous step stored) and the step itself, and c is
// read from memory. So a step holds two registers per vector across the loop's
// back edge instead of four, and kV vectors' chains of dependent operations
// (multiply, subtract, add: about ten cycles) overlap. The sums of the test
// go to memory for the escape path, which alone reads them back. Refills move
// whole vectors (a permute of the next queue entries into the free lanes).
#include <immintrin.h>

#include <cstdint>

#include "engine/simd/fast_path.h"

namespace {

using fastpath::PixelQueue;

constexpr int kW = 4;
// Five vectors: a step is about 2 cycles of work per vector on a core with two
// multiply and two add units, against a chain of about ten cycles. On an AMD
// EPYC (Zen 3) 4 and 6 measured slower (6 no longer fits the registers).
constexpr int kV = 5;
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

// For each pattern of lanes to be filled: lane b takes the queue's entry
// number (the count of pattern bits below b), for a permute of four loaded
// entries into those lanes. Doubles move as pairs of 32-bit words.
// mask32 is the pattern as a mask of 32-bit lanes.
struct Expansion {
    alignas(32) std::int32_t wide[16][8];
    alignas(16) std::int32_t narrow[16][4];
    alignas(16) std::int32_t mask32[16][4];
};

constexpr Expansion MakeExpansion() {
    Expansion e{};
    for (int bits = 0; bits < 16; ++bits) {
        int rank = 0;
        for (int b = 0; b < 4; ++b) {
            const int from = (bits & (1 << b)) != 0 ? rank++ : 0;
            e.narrow[bits][b] = from;
            e.mask32[bits][b] = (bits & (1 << b)) != 0 ? -1 : 0;
            e.wide[bits][2 * b] = 2 * from;
            e.wide[bits][2 * b + 1] = 2 * from + 1;
        }
    }
    return e;
}

constexpr Expansion kExpansion = MakeExpansion();

// The state of the lanes that only refills and block ends touch; c is read by
// every step from here.
struct Lanes {
    // Idle lanes (no pixel) hold c = 0 and z = 0, which stays at 0.
    alignas(32) double cr[kLanes];
    alignas(32) double ci[kLanes];
    // Brent's scheme: the stored pair (a NaN pattern until the first store).
    alignas(32) double savedR[kLanes];
    alignas(32) double savedI[kLanes];
    // The last escape test's zr^2 + zi^2.
    alignas(32) double sum[kLanes];
    alignas(16) std::int32_t col[kLanes];
    // A lane's count is it - start: its pixel's z_1 was formed when "it" was
    // start + 1.
    alignas(16) std::uint32_t start[kLanes];
    alignas(16) std::uint32_t saveAt[kLanes];
    alignas(16) std::uint32_t interval[kLanes];
    int active[kV];
};

// The lanes "bits" as a mask of 32-bit lanes.
__m128i Mask32(int bits) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(kExpansion.mask32[bits]));
}

// The lanes "near" of vector j whose orbit has come back near its stored pair:
// those shown never to escape (a bit-for-bit repeat, or the attracting-cycle
// proof, tried once per stored pair: the others' stored pairs are dropped).
// z here is not tested yet; fast_path.h says why both still hold. Out of line:
// it is rare, and the register loop need not keep room for it.
__attribute__((noinline)) int Proven(Lanes& lanes, int j, __m256d zr, __m256d zi, std::uint32_t it,
                                     int near, double noPair) {
    alignas(32) double r[kW];
    alignas(32) double i[kW];
    _mm256_store_pd(r, zr);
    _mm256_store_pd(i, zi);
    int proven = 0;
    for (int bits = near; bits != 0; bits &= bits - 1) {
        const int b = __builtin_ctz(static_cast<unsigned>(bits));
        const int l = j * kW + b;
        const bool repeated = r[b] == lanes.savedR[l] && i[b] == lanes.savedI[l] &&
                              __builtin_signbit(r[b]) == __builtin_signbit(lanes.savedR[l]) &&
                              __builtin_signbit(i[b]) == __builtin_signbit(lanes.savedI[l]);
        if (repeated || fastpath::NeverEscapes(lanes.cr[l], lanes.ci[l], r[b], i[b],
                                               it - (lanes.saveAt[l] - lanes.interval[l]))) {
            proven |= 1 << b;
        } else {
            lanes.savedR[l] = lanes.savedI[l] = noPair;
        }
    }
    return proven;
}

__m128i Load4(const std::uint32_t* p) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(p));
}

void Store4(std::uint32_t* p, __m128i v) {
    _mm_store_si128(reinterpret_cast<__m128i*>(p), v);
}

void Row(std::uint32_t* out, std::int32_t width, double x1, double dx, double y,
         std::uint32_t limit, bool shortcuts) {
    PixelQueue queue;
    if (!fastpath::BeginRow(queue, out, width, x1, dx, y, limit, shortcuts)) {
        return;
    }
    const __m256d two = _mm256_set1_pd(2.0);
    const __m256d four = _mm256_set1_pd(4.0);
    const double noPair = __builtin_nan("");

    // z of each vector, which the compiler keeps in registers for the whole
    // row (every loop over the vectors is unrolled).
    __m256d zr[kV], zi[kV];
    Lanes lanes;
    // The steps made since the row began.
    std::uint32_t it = 1;

    for (int l = 0; l < kLanes; ++l) {
        lanes.cr[l] = lanes.ci[l] = 0.0;
        lanes.savedR[l] = lanes.savedI[l] = noPair;
        lanes.col[l] = 0;
        lanes.start[l] = lanes.saveAt[l] = lanes.interval[l] = 0;
    }
#pragma GCC unroll 8
    for (int j = 0; j < kV; ++j) {
        zr[j] = zi[j] = _mm256_setzero_pd();
        lanes.active[j] = 0;
    }

    // Gives the lanes "free" (bits) of vector j the next pixels of the queue;
    // lanes left without one become idle. A new lane starts at z_1, its first
    // step made here, so that z_0 = c, which the exact path never tests, is
    // never tested here either: the loop tests each z at the top of the step
    // that follows it.
    auto refill = [&](int j, int free) __attribute__((always_inline)) {
        int take = free;
        const int avail = queue.tail - queue.head;
        if (avail < __builtin_popcount(take)) {
            // The end of the row: the lowest free lanes take what is left.
            while (__builtin_popcount(take) > avail) {
                take &= ~(1 << (31 - __builtin_clz(static_cast<unsigned>(take))));
            }
        }
        // Four entries from the queue (readable past its end, see
        // kQueueSlack), moved into the lanes that take one.
        const __m256d x = _mm256_castps_pd(_mm256_permutevar8x32_ps(
            _mm256_castpd_ps(_mm256_loadu_pd(queue.x + queue.head)),
            _mm256_load_si256(reinterpret_cast<const __m256i*>(kExpansion.wide[take]))));
        const __m128i c = _mm_castps_si128(_mm_permutevar_ps(
            _mm_castsi128_ps(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(queue.col + queue.head))),
            _mm_load_si128(reinterpret_cast<const __m128i*>(kExpansion.narrow[take]))));
        queue.head += __builtin_popcount(take);
        lanes.active[j] = (lanes.active[j] & ~free) | take;

        const __m256d m = LaneMask(free);
        const __m256d taken = LaneMask(take);
        const __m128i free32 =
            _mm_load_si128(reinterpret_cast<const __m128i*>(kExpansion.mask32[free]));
        const __m256d cr =
            _mm256_blendv_pd(_mm256_load_pd(lanes.cr + j * kW), _mm256_and_pd(x, taken), m);
        const __m256d ci = _mm256_blendv_pd(_mm256_load_pd(lanes.ci + j * kW),
                                            _mm256_and_pd(_mm256_set1_pd(queue.y), taken), m);
        _mm256_store_pd(lanes.cr + j * kW, cr);
        _mm256_store_pd(lanes.ci + j * kW, ci);
        std::uint32_t* const laneCol = reinterpret_cast<std::uint32_t*>(lanes.col) + j * kW;
        Store4(laneCol, _mm_blendv_epi8(Load4(laneCol), c, free32));
        Store4(lanes.start + j * kW,
               _mm_blendv_epi8(Load4(lanes.start + j * kW),
                               _mm_set1_epi32(static_cast<int>(it - 1)), free32));
        if (shortcuts) {
            const __m256d none = _mm256_set1_pd(noPair);
            _mm256_store_pd(lanes.savedR + j * kW,
                            _mm256_blendv_pd(_mm256_load_pd(lanes.savedR + j * kW), none, m));
            _mm256_store_pd(lanes.savedI + j * kW,
                            _mm256_blendv_pd(_mm256_load_pd(lanes.savedI + j * kW), none, m));
            Store4(
                lanes.saveAt + j * kW,
                _mm_blendv_epi8(Load4(lanes.saveAt + j * kW),
                                _mm_set1_epi32(static_cast<int>(it + fastpath::kFirstSaveInterval)),
                                free32));
            Store4(lanes.interval + j * kW,
                   _mm_blendv_epi8(Load4(lanes.interval + j * kW),
                                   _mm_set1_epi32(static_cast<int>(fastpath::kFirstSaveInterval)),
                                   free32));
        }
        // The first step of the new lanes, in the loop's order of operations.
        const __m256d p = _mm256_mul_pd(ci, cr);
        const __m256d r1 =
            _mm256_add_pd(_mm256_sub_pd(_mm256_mul_pd(cr, cr), _mm256_mul_pd(ci, ci)), cr);
        const __m256d i1 = _mm256_fmadd_pd(p, two, ci);
        zr[j] = _mm256_blendv_pd(zr[j], r1, m);
        zi[j] = _mm256_blendv_pd(zi[j], i1, m);
    };
    // Writes the count of the lanes "done" of vector j (the limit, or the
    // steps made until the z that escaped) and refills them.
    auto finish = [&](int j, int done, bool atLimit) __attribute__((always_inline)) {
        for (int bits = done; bits != 0; bits &= bits - 1) {
            const int l = j * kW + __builtin_ctz(static_cast<unsigned>(bits));
            out[lanes.col[l]] = atLimit ? limit : it - 1 - lanes.start[l];
        }
        refill(j, done);
    };
    auto anyActive = [&] {
        int all = 0;
        for (int j = 0; j < kV; ++j) {
            all |= lanes.active[j];
        }
        return all != 0;
    };

#pragma GCC unroll 8
    for (int j = 0; j < kV; ++j) {
        refill(j, (1 << kW) - 1);
    }
    // A lower bound of the steps until some lane can reach the limit (a lane
    // that escapes only delays it, and a new lane, which starts at z_1, has
    // limit - 1 steps left), and the steps left in the block (with the
    // shortcut only).
    std::uint32_t untilDeadline = limit - 1;
    std::uint32_t blockLeft = kBlock;
    for (;;) {
        std::uint32_t run = untilDeadline;
        if (shortcuts && blockLeft < run) {
            run = blockLeft;
        }
        untilDeadline -= run;
        blockLeft -= run;
        for (const std::uint32_t end = it + run; it != end;) {
            // Each vector: the escape test of its z, then the step from it. A
            // lane that escapes is stepped once more (perhaps to infinities or
            // NaN) before it is refilled below; the test's sums come from z
            // that did not escape before, which are finite, so no NaN reaches
            // the maximum.
            __m256d most = _mm256_setzero_pd();
#pragma GCC unroll 8
            for (int j = 0; j < kV; ++j) {
                const __m256d zr2 = _mm256_mul_pd(zr[j], zr[j]);
                const __m256d zi2 = _mm256_mul_pd(zi[j], zi[j]);
                const __m256d sum = _mm256_add_pd(zi2, zr2);
                // Kept in memory for the escape path, not in registers.
                _mm256_store_pd(lanes.sum + j * kW, sum);
                most = _mm256_max_pd(most, sum);
                const __m256d p = _mm256_mul_pd(zi[j], zr[j]);
                zr[j] = _mm256_add_pd(_mm256_sub_pd(zr2, zi2), _mm256_load_pd(lanes.cr + j * kW));
                zi[j] = _mm256_fmadd_pd(p, two, _mm256_load_pd(lanes.ci + j * kW));
            }
            ++it;
            if (__builtin_expect(_mm256_movemask_pd(_mm256_cmp_pd(most, four, _CMP_GT_OQ)) != 0,
                                 0)) {
#pragma GCC unroll 8
                for (int j = 0; j < kV; ++j) {
                    const int gone = lanes.active[j] &
                                     _mm256_movemask_pd(_mm256_cmp_pd(
                                         _mm256_load_pd(lanes.sum + j * kW), four, _CMP_GT_OQ));
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
            // Lanes that have made "limit" steps: z_limit is never tested.
            const __m128i now = _mm_set1_epi32(static_cast<int>(it));
            const __m128i limitV = _mm_set1_epi32(static_cast<int>(limit));
            __m128i least = limitV;
#pragma GCC unroll 8
            for (int j = 0; j < kV; ++j) {
                const int reached = lanes.active[j] &
                                    _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(
                                        _mm_sub_epi32(now, Load4(lanes.start + j * kW)), limitV)));
                if (reached != 0) {
                    finish(j, reached, true);
                }
                // Steps left until the limit, for the active lanes.
                const __m128i left =
                    _mm_sub_epi32(limitV, _mm_sub_epi32(now, Load4(lanes.start + j * kW)));
                least =
                    _mm_min_epu32(least, _mm_blendv_epi8(limitV, left, Mask32(lanes.active[j])));
            }
            least = _mm_min_epu32(least, _mm_shuffle_epi32(least, _MM_SHUFFLE(1, 0, 3, 2)));
            least = _mm_min_epu32(least, _mm_shuffle_epi32(least, _MM_SHUFFLE(2, 3, 0, 1)));
            untilDeadline = static_cast<std::uint32_t>(_mm_cvtsi128_si32(least));
        }
        if (shortcuts && blockLeft == 0) {
            blockLeft = kBlock;
            const __m128i now = _mm_set1_epi32(static_cast<int>(it));
            const __m256d nearV = _mm256_set1_pd(fastpath::kNearReturn);
            const __m256d magnitude = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7FFFFFFFFFFFFFFF));
#pragma GCC unroll 8
            for (int j = 0; j < kV; ++j) {
                double* const savedR = lanes.savedR + j * kW;
                double* const savedI = lanes.savedI + j * kW;
                // Near the stored pair (a NaN one is never near).
                const __m256d closeR = _mm256_cmp_pd(
                    _mm256_and_pd(_mm256_sub_pd(zr[j], _mm256_load_pd(savedR)), magnitude), nearV,
                    _CMP_LE_OQ);
                const __m256d closeI = _mm256_cmp_pd(
                    _mm256_and_pd(_mm256_sub_pd(zi[j], _mm256_load_pd(savedI)), magnitude), nearV,
                    _CMP_LE_OQ);
                const int near =
                    lanes.active[j] & _mm256_movemask_pd(_mm256_and_pd(closeR, closeI));
                int proven = 0;
                if (__builtin_expect(near != 0, 0)) {
                    proven = Proven(lanes, j, zr[j], zi[j], it, near, noPair);
                }
                // The stores of Brent's scheme that are due: it - saveAt >= 0
                // in modular arithmetic.
                const __m128i due = _mm_andnot_si128(
                    _mm_srai_epi32(_mm_sub_epi32(now, Load4(lanes.saveAt + j * kW)), 31),
                    Mask32(lanes.active[j]));
                // (Without a branch: which lanes are due changes from block
                // to block and would be mispredicted.)
                const __m256d due64 = _mm256_castsi256_pd(_mm256_cvtepi32_epi64(due));
                _mm256_store_pd(savedR, _mm256_blendv_pd(_mm256_load_pd(savedR), zr[j], due64));
                _mm256_store_pd(savedI, _mm256_blendv_pd(_mm256_load_pd(savedI), zi[j], due64));
                const __m128i interval = Load4(lanes.interval + j * kW);
                const __m128i longer =
                    _mm_min_epu32(_mm_add_epi32(interval, _mm_srli_epi32(interval, 1)),
                                  _mm_set1_epi32(static_cast<int>(fastpath::kMaxSaveInterval)));
                const __m128i next = _mm_blendv_epi8(interval, longer, due);
                Store4(lanes.interval + j * kW, next);
                Store4(lanes.saveAt + j * kW, _mm_blendv_epi8(Load4(lanes.saveAt + j * kW),
                                                              _mm_add_epi32(now, next), due));
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
