// The fast path's row set-up (fast_path.h, 2 and 3): the columns of a
// picture with which of them are safe, kept while the rows of one picture
// come, and the pixels that are not safe, computed one by one before a kernel
// takes the queue of safe ones. Built with the baseline flags.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "engine/simd/fast_path.h"

namespace fastpath {

namespace {

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

// The columns of the picture the last row belonged to. Every row of a picture
// starts again from x1 and adds the same dx, so the samples x_k, and which of
// them are safe, are the same for all its rows: they are computed when a row
// of another picture (another x1, dx or width, bit for bit) comes, and read by
// the rows that follow. Each thread has its own; the storage only grows, so a
// run of pictures of one width allocates once.
// Storage from calloc, released with free: calloc zeroes the slack past the
// end, and a failure (null) sends the row to the exact path.
struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using CallocArray = std::unique_ptr<T[], FreeDeleter>;

template <typename T>
CallocArray<T> AllocateZeroed(std::size_t n) {
    return CallocArray<T>(static_cast<T*>(std::calloc(n, sizeof(T))));
}

struct PictureColumns {
    std::uint64_t x1Bits = 0;
    std::uint64_t dxBits = 0;
    std::int32_t width = 0;  // 0: nothing computed
    std::int32_t safeCount = 0;
    std::int32_t capacity = 0;
    // x[0..safeCount) are the safe samples in column order, x[safeCount..width)
    // the others; col[k] is the column of x[k].
    CallocArray<double> x;
    CallocArray<std::int32_t> col;
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
        // With room for whole-vector loads past the end (zeros there).
        const std::size_t n = static_cast<std::size_t>(width) + kQueueSlack;
        columns.x.reset();
        columns.col.reset();
        columns.capacity = 0;
        columns.x = AllocateZeroed<double>(n);
        columns.col = AllocateZeroed<std::int32_t>(n);
        if (columns.x == nullptr || columns.col == nullptr) {
            columns.x.reset();
            columns.col.reset();
            return nullptr;
        }
        columns.capacity = width;
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
    queue.x = columns->x.get();
    queue.col = columns->col.get();
    queue.head = 0;
    queue.tail = columns->safeCount;
    queue.out = out;
    queue.y = y;
    queue.limit = limit;
    queue.shortcuts = shortcuts;
    return queue.tail > 0;
}

}  // namespace fastpath
