// Pixel operations of the software GDI; see raster.h.
#include "platform/gdi/raster.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

namespace platform::raster {

Box Intersect(const Box& a, const Box& b) {
    return Box{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
               std::min(a.bottom, b.bottom)};
}

Box Union(const Box& a, const Box& b) {
    if (a.Empty())
        return b;
    if (b.Empty())
        return a;
    return Box{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
               std::max(a.bottom, b.bottom)};
}

Box Bounds(const Canvas& canvas) {
    return Box{0, 0, canvas.width, canvas.height};
}

std::uint32_t Mix(int rop2, std::uint32_t dst, std::uint32_t pen) {
    const std::uint32_t d = dst;
    const std::uint32_t p = pen;
    std::uint32_t mixed = d;
    switch (rop2) {
        case 1:
            mixed = 0;
            break;  // R2_BLACK
        case 2:
            mixed = ~(p | d);
            break;  // R2_NOTMERGEPEN
        case 3:
            mixed = ~p & d;
            break;  // R2_MASKNOTPEN
        case 4:
            mixed = ~p;
            break;  // R2_NOTCOPYPEN
        case 5:
            mixed = p & ~d;
            break;  // R2_MASKPENNOT
        case 6:
            mixed = ~d;
            break;  // R2_NOT
        case 7:
            mixed = p ^ d;
            break;  // R2_XORPEN
        case 8:
            mixed = ~(p & d);
            break;  // R2_NOTMASKPEN
        case 9:
            mixed = p & d;
            break;  // R2_MASKPEN
        case 10:
            mixed = ~(p ^ d);
            break;  // R2_NOTXORPEN
        case 11:
            mixed = d;
            break;  // R2_NOP
        case 12:
            mixed = ~p | d;
            break;  // R2_MERGENOTPEN
        case 13:
            mixed = p;
            break;  // R2_COPYPEN
        case 14:
            mixed = p | ~d;
            break;  // R2_MERGEPENNOT
        case 15:
            mixed = p | d;
            break;  // R2_MERGEPEN
        case 16:
            mixed = 0xFFFFFFFFu;
            break;  // R2_WHITE
        default:
            break;
    }
    return (mixed & 0x00FFFFFFu) | (d & 0xFF000000u);
}

Box Fill(const Canvas& canvas, const Box& clip, const Box& box, int rop2, std::uint32_t color) {
    const Box target = Intersect(Intersect(box, clip), Bounds(canvas));
    if (target.Empty())
        return Box{};
    for (std::int64_t y = target.top; y < target.bottom; ++y) {
        std::uint32_t* row = canvas.Row(y);
        for (std::int64_t x = target.left; x < target.right; ++x)
            row[x] = Mix(rop2, row[x], color);
    }
    return target;
}

Box DrawRectangle(const Canvas& canvas, const Box& clip, Box rect, int rop2,
                  const std::uint32_t* pen, const std::uint32_t* brush) {
    if (rect.left > rect.right)
        std::swap(rect.left, rect.right);
    if (rect.top > rect.bottom)
        std::swap(rect.top, rect.bottom);
    Box touched;
    const std::int64_t l = rect.left, t = rect.top, r = rect.right, b = rect.bottom;
    if (pen != nullptr) {
        if (rect.Empty())
            return touched;
        touched = Union(touched, Fill(canvas, clip, Box{l, t, r, t + 1}, rop2, *pen));
        if (b - t > 1)
            touched = Union(touched, Fill(canvas, clip, Box{l, b - 1, r, b}, rop2, *pen));
        touched = Union(touched, Fill(canvas, clip, Box{l, t + 1, l + 1, b - 1}, rop2, *pen));
        if (r - l > 1)
            touched = Union(touched, Fill(canvas, clip, Box{r - 1, t + 1, r, b - 1}, rop2, *pen));
        if (brush != nullptr)
            touched =
                Union(touched, Fill(canvas, clip, Box{l + 1, t + 1, r - 1, b - 1}, rop2, *brush));
    } else if (brush != nullptr) {
        touched = Fill(canvas, clip, Box{l, t, r - 1, b - 1}, rop2, *brush);
    }
    return touched;
}

Box DrawFocusOutline(const Canvas& canvas, const Box& clip, Box rect) {
    if (rect.Empty())
        return Box{};
    const Box inside = Intersect(Intersect(clip, Bounds(canvas)), rect);
    if (inside.Empty())
        return Box{};
    auto invert = [&](std::int64_t x, std::int64_t y) {
        if (x >= inside.left && x < inside.right && y >= inside.top && y < inside.bottom &&
            ((x + y) & 1) == 0)
            canvas.Row(y)[x] ^= 0x00FFFFFFu;
    };
    // Rows first, then the columns between them: every outline pixel once.
    for (std::int64_t x = inside.left; x < inside.right; ++x) {
        invert(x, rect.top);
        if (rect.bottom - 1 > rect.top)
            invert(x, rect.bottom - 1);
    }
    for (std::int64_t y = std::max(inside.top, rect.top + 1);
         y < std::min(inside.bottom, rect.bottom - 1); ++y) {
        invert(rect.left, y);
        if (rect.right - 1 > rect.left)
            invert(rect.right - 1, y);
    }
    return inside;
}

namespace {

bool Overlaps(const Canvas& a, const Canvas& b) {
    if (a.width <= 0 || a.height <= 0 || b.width <= 0 || b.height <= 0)
        return false;
    auto span = [](const Canvas& c, const std::uint32_t*& lo, const std::uint32_t*& hi) {
        const std::uint32_t* first = c.Row(0);
        const std::uint32_t* last = c.Row(c.height - 1);
        lo = std::min(first, last);
        hi = std::max(first, last) + c.width;
    };
    const std::uint32_t *alo, *ahi, *blo, *bhi;
    span(a, alo, ahi);
    span(b, blo, bhi);
    return std::less<const std::uint32_t*>()(alo, bhi) &&
           std::less<const std::uint32_t*>()(blo, ahi);
}

}  // namespace

void Copy(const Canvas& dst, std::int64_t dx, std::int64_t dy, const Canvas& src, std::int64_t sx,
          std::int64_t sy, std::int64_t w, std::int64_t h) {
    if (w <= 0 || h <= 0)
        return;
    const std::size_t rowBytes = static_cast<std::size_t>(w) * sizeof(std::uint32_t);
    if (!Overlaps(dst, src)) {
        for (std::int64_t i = 0; i < h; ++i)
            std::memcpy(dst.Row(dy + i) + dx, src.Row(sy + i) + sx, rowBytes);
        return;
    }
    if (dst.stride == src.stride) {
        // One buffer seen alike: as memmove, walk from the end when the
        // destination lies above the source in memory (memmove itself
        // handles the overlap within a row).
        const bool destinationHigher =
            std::less<const std::uint32_t*>()(src.Row(sy) + sx, dst.Row(dy) + dx);
        const bool backwards = destinationHigher == (dst.stride > 0);
        for (std::int64_t i = 0; i < h; ++i) {
            const std::int64_t row = backwards ? h - 1 - i : i;
            std::memmove(dst.Row(dy + row) + dx, src.Row(sy + row) + sx, rowBytes);
        }
        return;
    }
    // Two differently laid out views of one buffer: go through a copy.
    std::vector<std::uint32_t> copy;
    try {
        copy.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    } catch (...) {
        return;
    }
    for (std::int64_t i = 0; i < h; ++i)
        std::memcpy(copy.data() + i * w, src.Row(sy + i) + sx, rowBytes);
    for (std::int64_t i = 0; i < h; ++i)
        std::memcpy(dst.Row(dy + i) + dx, copy.data() + i * w, rowBytes);
}

}  // namespace platform::raster
