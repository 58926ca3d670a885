// The parts of the fast path that every kernel shares, compiled with the
// baseline flags: row set-up, the queue of safe pixels, and the ways out to
// the exact path. See fast_path.h for why they give the exact path's counts.
#include <cmath>
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

}  // namespace

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
    if (y != 0.0 && ay < kAxisMinimum) {
        // Every pixel of the row is near the real axis: guarded one by one.
        double x = x1;
        for (std::int32_t k = 0; k < width; ++k) {
            out[k] = UnsafePixel(x, y, limit, shortcuts);
            x = x + dx;
        }
        return false;
    }
    queue.head = 0;
    queue.tail = 0;
    queue.out = out;
    queue.width = width;
    queue.dx = dx;
    queue.y = y;
    queue.limit = limit;
    queue.shortcuts = shortcuts;
    queue.nextColumn = 0;
    queue.runningX = x1;
    return true;
}

std::int32_t FillQueue(PixelQueue& queue) {
    const std::int32_t pending = queue.tail - queue.head;
    if (queue.head > 0 && pending > 0) {
        std::memmove(queue.x, queue.x + queue.head,
                     sizeof(double) * static_cast<std::size_t>(pending));
        std::memmove(queue.col, queue.col + queue.head,
                     sizeof(std::int32_t) * static_cast<std::size_t>(pending));
    }
    queue.head = 0;
    queue.tail = pending;
    double x = queue.runningX;
    std::int32_t k = queue.nextColumn;
    while (k < queue.width && queue.tail < PixelQueue::kCapacity) {
        if (SafeComponent(x)) {
            queue.x[queue.tail] = x;
            queue.col[queue.tail] = k;
            ++queue.tail;
        } else {
            queue.out[k] = UnsafePixel(x, queue.y, queue.limit, queue.shortcuts);
        }
        x = x + queue.dx;
        ++k;
    }
    queue.runningX = x;
    queue.nextColumn = k;
    return queue.tail;
}

bool RowExhausted(const PixelQueue& queue) {
    return queue.nextColumn >= queue.width;
}

}  // namespace fastpath
