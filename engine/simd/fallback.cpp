// The parts of the fast path that every kernel shares, compiled with the
// baseline flags: row set-up, the queue of safe pixels, and the ways out to
// the exact path. See fast_path.h for why they give the exact path's counts.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/escape_time.h"
#include "engine/simd/fast_path.h"

namespace fastpath {

namespace {

// A nonzero component whose square would fall below 2^-1022.
bool Tiny(double v) {
    return v != 0.0 && std::fabs(v) < kTinyComponent;
}

bool SafeComponent(double v) {
    const double a = std::fabs(v);
    return a >= kAxisMinimum && a < kSampleLimit;
}

// Computes one pixel that is not safe; x lies in the double range.
std::uint32_t UnsafePixel(double x, double y, std::uint32_t limit, bool shortcuts) {
    if (!(std::fabs(x) < kSampleLimit)) {
        return ExactPixel(x, y, limit);
    }
    return IterateGuarded(x, y, limit, shortcuts);
}

bool SameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof(double)) == 0;
}

// Bounds of the attracting-cycle proof (fast_path.h).
constexpr double kTwiceUnitRoundoff = 0x1p-52;
constexpr double kEnlarge = 1.0 + 0x1p-40;
constexpr double kSubnormalErrors = 1e-300;
constexpr double kBoundingRadius = 1.99;

// One double step of the orbit, in the exact path's order of operations.
void Step(double& zr, double& zi, double cr, double ci) {
    const double zr2 = zr * zr;
    const double zi2 = zi * zi;
    const double p = zi * zr;
    zr = (zr2 - zi2) + cr;
    zi = (p + p) + ci;
}

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
        Step(zr, zi, cr, ci);
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
        Step(ar, ai, cr, ci);
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

void ExactRow(std::uint32_t* out, std::int32_t width, double x1, double dx, double y,
              std::uint32_t limit) {
    ComputeRowExact(out, width, x1, dx, y, limit);
}

std::uint32_t ExactPixel(double cr, double ci, std::uint32_t limit) {
    return IterateExact(wide::FromDouble(cr), ci, limit);
}

std::uint32_t IterateGuarded(double cr, double ci, std::uint32_t limit, bool shortcuts) {
    if (Tiny(cr) || Tiny(ci)) {
        return ExactPixel(cr, ci, limit);
    }
    double zr = cr;
    double zi = ci;
    double zr2 = zr * zr;
    double zi2 = zi * zi;
    // Brent's scheme, as in the kernels: while the guard holds, each step is
    // the exact path's and a function of (zr, zi) alone.
    double savedR = NAN;
    double savedI = NAN;
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
        if (Tiny(zr) || Tiny(zi)) {
            return ExactPixel(cr, ci, limit);
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
            if (--untilSave == 0) {
                savedR = zr;
                savedI = zi;
                interval = interval < kMaxSaveInterval ? interval + interval / 2 : interval;
                untilSave = interval;
            }
        }
    }
}

namespace {

// The columns of the picture the last row belonged to. Every row of a picture
// starts again from x1 and adds the same dx, so the samples x_k, and which of
// them are safe, are the same for all its rows: they are computed when a row
// of another picture (another x1, dx or width, bit for bit) comes, and read by
// the rows that follow. Each thread has its own; the storage only grows, so a
// run of pictures of one width allocates once.
struct PictureColumns {
    std::uint64_t x1Bits = 0;
    std::uint64_t dxBits = 0;
    std::int32_t width = 0;  // 0: nothing computed
    std::int32_t safeCount = 0;
    std::int32_t capacity = 0;
    // x[0..safeCount) are the safe samples in column order, x[safeCount..width)
    // the others; col[k] is the column of x[k].
    double* x = nullptr;
    std::int32_t* col = nullptr;

    PictureColumns() = default;
    PictureColumns(const PictureColumns&) = delete;
    PictureColumns& operator=(const PictureColumns&) = delete;
    ~PictureColumns() {
        std::free(x);
        std::free(col);
    }
};

std::uint64_t Bits(double v) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

// The columns for x1, dx and width (width > 0, and |x1| + width * |dx| within
// kRunningXLimit, so that the double sums are the exact path's); null when
// there is no memory for them.
const PictureColumns* ColumnsOf(double x1, double dx, std::int32_t width) {
    thread_local PictureColumns columns;
    if (columns.width == width && columns.x1Bits == Bits(x1) && columns.dxBits == Bits(dx)) {
        return &columns;
    }
    columns.width = 0;
    if (width > columns.capacity) {
        std::free(columns.x);
        std::free(columns.col);
        // With room for whole-vector loads past the end (zeros there).
        const std::size_t n = static_cast<std::size_t>(width) + kQueueSlack;
        columns.x = static_cast<double*>(std::calloc(n, sizeof(double)));
        columns.col = static_cast<std::int32_t*>(std::calloc(n, sizeof(std::int32_t)));
        columns.capacity = width;
        if (columns.x == nullptr || columns.col == nullptr) {
            std::free(columns.x);
            std::free(columns.col);
            columns.x = nullptr;
            columns.col = nullptr;
            columns.capacity = 0;
            return nullptr;
        }
    }
    std::int32_t safe = 0;
    std::int32_t other = width;
    double x = x1;
    for (std::int32_t k = 0; k < width; ++k) {
        const std::int32_t slot = SafeComponent(x) ? safe++ : --other;
        columns.x[slot] = x;
        columns.col[slot] = k;
        x = x + dx;
    }
    columns.x1Bits = Bits(x1);
    columns.dxBits = Bits(dx);
    columns.width = width;
    columns.safeCount = safe;
    return &columns;
}

}  // namespace

bool BeginRow(PixelQueue& queue, std::uint32_t* out, std::int32_t width, double x1, double dx,
              double y, std::uint32_t limit, bool shortcuts) {
    if (width <= 0) {
        return false;
    }
    if (limit <= 1) {
        // The limit is tested before the escape: every count is 1.
        for (std::int32_t k = 0; k < width; ++k) {
            out[k] = 1;
        }
        return false;
    }
    const double ay = std::fabs(y);
    const bool finite = std::isfinite(x1) && std::isfinite(dx) && std::isfinite(y);
    if (!finite ||
        !(std::fabs(x1) + static_cast<double>(width) * std::fabs(dx) <= kRunningXLimit) ||
        !(ay < kSampleLimit)) {
        ExactRow(out, width, x1, dx, y, limit);
        return false;
    }
    const PictureColumns* columns = ColumnsOf(x1, dx, width);
    if (columns == nullptr) {
        ExactRow(out, width, x1, dx, y, limit);
        return false;
    }
    // Near the real axis every pixel of the row is guarded one by one;
    // otherwise only those whose x is not safe.
    const bool nearAxis = y != 0.0 && ay < kAxisMinimum;
    for (std::int32_t k = nearAxis ? 0 : columns->safeCount; k < width; ++k) {
        out[columns->col[k]] = UnsafePixel(columns->x[k], y, limit, shortcuts);
    }
    if (nearAxis) {
        return false;
    }
    queue.x = columns->x;
    queue.col = columns->col;
    queue.head = 0;
    queue.tail = columns->safeCount;
    queue.out = out;
    queue.y = y;
    queue.limit = limit;
    queue.shortcuts = shortcuts;
    return queue.tail > 0;
}

}  // namespace fastpath
