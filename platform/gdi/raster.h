// The pixel work of the software GDI: filling boxes with a ROP2 mix, the
// outline and interior of Rectangle, and the clipped copy of BitBlt, over
// 32-bit pixels (0x00RRGGBB in a 32-bit word; the fourth byte is left as the
// destination holds it by every mix). No handles and no locking here.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform::raster {

// A pixel grid seen top row first. `stride` is in pixels and may be negative
// (a bottom-up bitmap seen from its top row).
struct Canvas {
    std::uint32_t* top = nullptr;
    std::ptrdiff_t stride = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;

    std::uint32_t* Row(std::int64_t y) const {
        return top + static_cast<std::ptrdiff_t>(y) * stride;
    }
};

// A half-open box [left, right) x [top, bottom) in device pixels. 64-bit, so
// that int coordinates plus extents never overflow.
struct Box {
    std::int64_t left = 0;
    std::int64_t top = 0;
    std::int64_t right = 0;
    std::int64_t bottom = 0;

    bool Empty() const { return left >= right || top >= bottom; }
};

Box Intersect(const Box& a, const Box& b);
// The smallest box holding both; an empty box adds nothing.
Box Union(const Box& a, const Box& b);
Box Bounds(const Canvas& canvas);

// COLORREF (0x00BBGGRR) to a pixel (0x00RRGGBB). Inline, so that the window
// layer's surfaces use it without linking GDI.
inline std::uint32_t PixelOfColor(std::uint32_t colorref) {
    return ((colorref & 0xFFu) << 16) | (colorref & 0xFF00u) | ((colorref >> 16) & 0xFFu);
}

// The ROP2 mix (R2_BLACK .. R2_WHITE) of pen colour `pen` onto pixel `dst`,
// computed on the three colour bytes; the fourth byte of `dst` is kept.
std::uint32_t Mix(int rop2, std::uint32_t dst, std::uint32_t pen);

// Mixes `color` into every pixel of `box` that lies inside `clip`; returns the
// part of the box that was touched.
Box Fill(const Canvas& canvas, const Box& clip, const Box& box, int rop2, std::uint32_t color);

// Rectangle as GDI draws it. `rect` may be reversed; it is normalised first.
// With a pen: a 1-pixel outline on the box [left, right) x [top, bottom), each
// outline pixel mixed once, and the brush inside it. Without a pen the brush
// fills [left, right - 1) x [top, bottom - 1). Null colour pointers mean the
// null pen or brush. Returns the touched box, clipped to `clip`.
Box DrawRectangle(const Canvas& canvas, const Box& clip, Box rect, int rop2,
                  const std::uint32_t* pen, const std::uint32_t* brush);

// DrawFocusRect: the 1-pixel outline of [left, right) x [top, bottom),
// dotted (the pixels whose x + y is even), each dot inverted once, so that a
// second call restores the pixels. An empty box draws nothing. Returns the
// touched box, clipped to `clip`.
Box DrawFocusOutline(const Canvas& canvas, const Box& clip, Box rect);

// Copies the w x h pixels at (sx, sy) of `src` to (dx, dy) of `dst`. Both
// boxes must already lie inside their canvases. Overlapping memory (the same
// canvas, or two views of one surface) is copied as if through a temporary.
void Copy(const Canvas& dst, std::int64_t dx, std::int64_t dy, const Canvas& src, std::int64_t sx,
          std::int64_t sy, std::int64_t w, std::int64_t h);

}  // namespace platform::raster
