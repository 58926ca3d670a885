// The fast escape-time path: plain double arithmetic (scalar or SIMD) that
// gives exactly the counts of the exact path, and the out-of-line pieces every
// fast kernel shares. This header holds declarations, plain constants and plain
// structs only, no inline functions: it is included by files compiled with
// AVX-512, AVX2 or SSE2 flags, and any inline function here would be compiled
// with those flags in one file and could be merged by the linker into a copy
// that the baseline code then calls. For the same reason the per-instruction-set
// files use no std:: templates or inline functions, and do not include
// engine/wide_double.h.
//
// Why the counts are the same
// ---------------------------
// The exact path rounds every operation to 53 bits with an unbounded exponent
// and rounds each stored value (each new z component) into the double range.
// A double operation rounds to 53 bits too; the two differ only when the
// result overflows, or when it falls below 2^-1022 and the double operation
// loses bits to gradual underflow. So a fast iteration gives the exact path's
// values when each of its operations either has a result in the normal range
// or is known to be exact:
//
// 1. A sum or difference of two doubles whose result is below 2^-1022 is
//    exact in both ranges (it is a multiple of 2^-1074 with fewer than 53
//    significant bits). So sums and differences of doubles round the same in
//    both ranges unless they overflow; and the two final sums of a step are
//    stored values, where the exact path rounds an overflow to infinity just
//    as double arithmetic does.
// 2. The running x of a row (x_k = x_(k-1) + dx) is such a sum. It cannot
//    overflow when |x1| + width * |dx| <= 2^1022: every rounding enlarges a
//    magnitude by at most a factor 1 + 2^-53, and 2^31 of them by less than
//    1 + 2^-21. Rows that fail this bound, and rows with a non-finite x1, dx or
//    y, go to the exact path whole (ExactRow). Every row starts again from x1
//    and adds the same dx, so x_0, x_1, ... are the same doubles in every row
//    of a picture: they are formed once (with which of them are safe, 3 below)
//    and every row reads them.
// 3. A pixel is "safe" when 2^-458 <= |cr| < 2^510 and either ci = 0 or
//    2^-458 <= |ci| < 2^510. For a safe pixel every stored zr and zi is 0 or
//    at least 2^-511 in magnitude, so every square and product of nonzero
//    components is at least 2^-1022 (normal), and zero ones are exact zeros:
//    - z0 = c has this property.
//    - new zr = t + cr with t = zr*zr - zi*zi. A double of magnitude at least
//      2^-459 is a multiple of 2^-511. If |t| < |cr| / 2 the sum is larger than
//      |cr| / 2 >= 2^-459. Otherwise t and cr are both multiples of 2^-511, so
//      their exact sum is too; such a sum is either exactly representable (and
//      then 0 or at least 2^-511) or larger than 2^-458.
//    - new zi = 2p + ci with p = zi*zr: the same argument with 2p for t. If
//      ci = 0, zi stays zero: p = zr * 0 = 0 and 2p + 0 = 0.
//    Upper bounds: |c| < 2^510 makes the first step's squares and products
//    less than 2^1020; afterwards the orbit only goes on when zr^2 + zi^2 <= 4,
//    so every operand of a step is at most about 2 + |c|. The only squares that
//    may overflow are those of the escape test after the first step, and
//    there an overflow to infinity tests "> 4" just like the exact path's
//    large value does. No NaN can arise from a finite c.
//    Pixels that are not safe are computed on their own: |c| >= 2^510 on the
//    exact path (ExactPixel); a tiny |cr| or |ci| by IterateGuarded, which
//    iterates in double and restarts the pixel on the exact path as soon as a
//    nonzero component below 2^-511 appears (its square would fall below
//    2^-1022).
// 4. Exact rewrites used by the kernels, and no others: zr^2 and zi^2 are
//    computed once and serve both the escape test and the next step (the same
//    rounded values either way); (p + p) + ci is one fused fma(p, 2, ci)
//    because p + p is exact (no overflow, by 3), so both round 2p + ci once;
//    several vectors' escape tests are combined with a max before one compare
//    (no NaN arises, so max(s_1..s_n) > 4 exactly when some s_j > 4). The
//    order of every other operation is the exact path's: p = zi*zr,
//    new zr = (zr^2 - zi^2) + cr, test zi^2 + zr^2 > 4 (addition commutes).
// 5. Counts: a lane that starts with z = c at iteration "start" has made
//    n = it - start steps; it stops at the first n with zr^2 + zi^2 > 4 or at
//    n = limit, and the count is n either way (limit tested first gives the
//    same n). Limits 0 and 1 give 1 everywhere without iterating.
// 6. Where the test is made (AVX2): each z is tested at the top of the step
//    that follows it, with the squares that step uses, so only z is carried
//    from one step to the next. A lane starts at z_1, its first step made when
//    it is filled (so z_0 = c is never tested, as on the exact path), and
//    counts from one step before that. A lane whose z_n escapes is stepped
//    once more before it is finished with the count n and refilled; that last
//    value (perhaps infinite or NaN) is discarded. A lane that has made
//    "limit" steps is finished before z_limit would be tested. Every tested z
//    is finite (the first step from a safe c, or a step from a z that passed
//    its test), so its sum is a number or +infinity, never NaN, and the
//    maximum of point 4 still holds.
//
// The periodicity shortcut
// ------------------------
// For a safe pixel the stored pair (zr, zi) is the whole state of the orbit
// (c is fixed), and by 3 the fast step is a function of it. If the pair at a
// later step n equals bit for bit a pair the orbit had at an earlier step m,
// and the tests of z_1 .. z_(n-1) did not escape, the orbit repeats z_m ..
// z_(n-1) forever: every later value is one that has already been tested (the
// stored pair is never z_0 = c, which is never tested: the first store comes
// kFirstSaveInterval steps after a start), so it never escapes and the count
// is the limit. The current pair itself need not be tested yet (6 above). The
// kernels store a pair at growing intervals (Brent's scheme: the distance
// grows after each store, so a cycle of any length is found once the stored
// pair lies on it) and compare it with the current pair; a freshly started
// pixel stores a NaN pattern, which no finite pair equals, until its first
// store. The SIMD kernels store and compare every few iterations only (at the
// ends of short blocks), which finds the same repeats a little later, and grow
// the distance by half instead of doubling it, which finds them sooner after
// the orbit has settled.
//
// The attracting-cycle proof
// --------------------------
// An orbit drawn to an attracting cycle comes within a few thousandths of its
// earlier values long before it repeats bit for bit (which needs it to settle
// to the last bit: about 37 / (1 - |multiplier|) steps). So when the current
// pair lies within kNearReturn of the stored one, NeverEscapes tries to prove
// that the orbit from the current pair never escapes, and the count is then
// the limit. The proof is a closed chain of discs:
//   Let F be the exact path's step (every operation rounded to 53 bits,
//   stored values rounded into the double range) and f(z) = z^2 + c. For discs
//   B_k = B(a_k, r_k), k = 0..P, with any centres a_k, if
//     (a) for every z in B_k, |F(z) - a_(k+1)| <= r_(k+1),
//     (b) B_P lies inside B_0, and
//     (c) every disc lies in |z| <= 1.99,
//   then an orbit point in B_0 stays in B_0 u ... u B_(P-1) forever, each
//   escape test sees zr^2 + zi^2 below 4 (rounded: 1.99^2 (1 + 2^-51) < 4), and
//   the orbit never escapes. (a) holds when
//     r_(k+1) >= 2 |a_k| r_k + r_k^2 + E(z) + E(a_k),
//   where |f(z) - f(a_k)| = |z - a_k| |z + a_k| <= r_k (2 |a_k| + r_k), E(z)
//   bounds |F(z) - f(z)| and E(a_k) the rounding of the centre's own step
//   a_(k+1) = F(a_k) computed in double. Counting one relative error of 2^-53
//   per operation, with M >= |z| and the order of operations of the step:
//     |error of zr'| <= 2^-53 (3 M^2 + |cr|) (1 + 2^-51),
//     |error of zi'| <= 2^-53 (2 M^2 + |ci|) (1 + 2^-51),
//   plus at most 2^-1074 per operation where a result is subnormal. The chain
//   uses E = 2^-52 (5 M^2 + |cr| + |ci|) + 10^-300 for both, which is larger.
//   Every bound is computed in double from non-negative terms and then
//   enlarged by the factor 1 + 2^-40, far more than the few roundings in it.
// The orbit point the chain starts from is the fast path's pair, which is the
// exact path's (3 above) and need not have been tested yet: (c) bounds it too; the chain's centres
// are the double orbit from it, computed in double like any other numbers. Pass 1 only chooses P
// (the first step at which the orbit comes back within kNearReturn of its start) and the radius r_0
// (from a first-order estimate of the chain, see NeverEscapes), and skips the chain when that
// estimate already fails; a poor choice only makes the proof fail, and then the pixel goes on
// iterating, so the count never depends on it. Cardioid or bulb formulas are not used: the chain
// proves each point on its own orbit.
#pragma once

#include <cstdint>

namespace fastpath {

// Magnitudes of the safe range (see 3 above).
inline constexpr double kSampleLimit = 0x1p510;     // |cr|, |ci| below this
inline constexpr double kAxisMinimum = 0x1p-458;    // nonzero |cr|, |ci| at least this
inline constexpr double kTinyComponent = 0x1p-511;  // a square below 2^-1022 below this
inline constexpr double kRunningXLimit = 0x1p1022;  // bound of |x1| + width * |dx|

// Entries of a PixelQueue's arrays that can be read past its end (with
// whatever values), so that a kernel can load a whole vector of samples.
inline constexpr std::int32_t kQueueSlack = 8;

// Brent's scheme: the first store happens this many iterations after a pixel
// starts; the distance then grows by half after each store, up to
// kMaxSaveInterval.
inline constexpr std::uint32_t kFirstSaveInterval = 8;
inline constexpr std::uint32_t kMaxSaveInterval = 1u << 24;

// A pair within this distance (in each component) of the stored one starts
// the attracting-cycle proof.
inline constexpr double kNearReturn = 0x1p-12;
// The longest cycle the proof looks for, in steps.
inline constexpr std::uint32_t kMaxProofPeriod = 1024;

// The safe pixels of one row, for the kernels to take in turn. The samples
// and their columns belong to the picture (see ColumnsOf in row_setup.cpp):
// every row reads the same ones. Plain data: set up by BeginRow, read by the
// kernels.
struct PixelQueue {
    // The pending pixels are x[head..tail) at columns col[head..tail); both
    // arrays can be read kQueueSlack entries past tail, for whole-vector loads.
    const double* x;
    const std::int32_t* col;
    std::int32_t head;
    std::int32_t tail;
    // The row.
    std::uint32_t* out;
    double y;
    std::uint32_t limit;
    bool shortcuts;
};

// Prepares a row. Returns true when the kernel is to iterate the queued safe
// pixels; the row's other pixels have been computed here already. Returns
// false when the whole row has been computed here: limits 0 and 1, non-finite
// x1, dx or y, a running x that might leave the double range, |y| >= 2^510
// (exact path) or 0 < |y| < 2^-458 (IterateGuarded per pixel).
bool BeginRow(PixelQueue& queue, std::uint32_t* out, std::int32_t width, double x1, double dx,
              double y, std::uint32_t limit, bool shortcuts);

// The exact path for a whole row and for one sample (cr is a running x that
// lies in the double range).
void ExactRow(std::uint32_t* out, std::int32_t width, double x1, double dx, double y,
              std::uint32_t limit);
std::uint32_t ExactPixel(double cr, double ci, std::uint32_t limit);

// Iterates in double with a range guard; a nonzero component below 2^-511
// sends the pixel to the exact path from its start. Requires finite
// |cr|, |ci| < 2^510. "shortcuts" enables the periodicity check.
std::uint32_t IterateGuarded(double cr, double ci, std::uint32_t limit, bool shortcuts);

// True when the exact path's orbit of c continuing from (zr, zi) is shown never
// to escape (the attracting-cycle proof above), looking for a cycle of at most
// min(maxPeriod, kMaxProofPeriod) steps. False means only "not shown". Needs
// finite |cr|, |ci| < 2^510 and a pair of the orbit formed from z that did not
// escape (the pair itself need not be tested yet).
bool NeverEscapes(double cr, double ci, double zr, double zi, std::uint32_t maxPeriod);

// The kernels, one per instruction set. "shortcuts" enables the periodicity
// check. Each computes out[k] for k < width as the exact path does.
void RowGeneric(std::uint32_t* out, std::int32_t width, double x1, double dx, double y,
                std::uint32_t limit, bool shortcuts);
void RowSse2(std::uint32_t* out, std::int32_t width, double x1, double dx, double y,
             std::uint32_t limit, bool shortcuts);
void RowAvx2(std::uint32_t* out, std::int32_t width, double x1, double dx, double y,
             std::uint32_t limit, bool shortcuts);
void RowAvx512(std::uint32_t* out, std::int32_t width, double x1, double dx, double y,
               std::uint32_t limit, bool shortcuts);

}  // namespace fastpath
