// Turning escape-time counts into image pixels: the wrapping integer gradient
// between two colours, the set colour for points that did not escape, and the
// conversion of a whole IterationBuffer into the view's bottom-up image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// A Win32 COLORREF: 0x00BBGGRR, red in the lowest byte.
using ColorRef = std::uint32_t;
// An image pixel: 0x00RRGGBB as a little-endian word, so the bytes in memory
// are blue, green, red, zero.
using ImagePixel = std::uint32_t;

// The colours split once per re-colouring: the set colour as a pixel, and per
// channel the gradient's start byte (0..255) and end byte minus start byte
// (-255..255).
struct GradientParameters {
    ImagePixel setPixel = 0;
    std::int32_t startRed = 0;
    std::int32_t startGreen = 0;
    std::int32_t startBlue = 0;
    std::int32_t deltaRed = 0;
    std::int32_t deltaGreen = 0;
    std::int32_t deltaBlue = 0;
};

// The pixel of a colour: its red, green and blue bytes in pixel order.
inline ImagePixel PixelOfColor(ColorRef color) {
    return (color & 0xFFu) << 16 | (color & 0xFF00u) | (color >> 16 & 0xFFu);
}

// colors[0] the set colour, [1] the gradient start, [2] the gradient end.
GradientParameters SplitColors(const ColorRef (&colors)[3]);

// The limit the colouring divides by: the iteration limit, or 1 when it is 0.
inline std::uint32_t EffectiveLimit(std::uint32_t limit) {
    return limit == 0 ? 1u : limit;
}

// The pixel of one count. A count equal to EffectiveLimit(limit) takes the set
// colour. Otherwise each channel is
//   (start + low 8 bits of ((delta * (count * 64)) / L)) mod 256
// with every step of the inner expression in unsigned 32-bit arithmetic: the
// products wrap modulo 2^32, a negative delta enters as its two's-complement
// pattern and the division truncates as an unsigned one. The factor 64 makes
// the gradient run through its colours about 64 times between 0 and L.
ImagePixel MapColor(const GradientParameters& gradient, std::uint32_t count, std::uint32_t limit);

// Counts as the engine keeps them: width x height, row-major, row 0 at Y1 (the
// top row on screen). The dimensions are the buffer's own.
struct CountGrid {
    const std::uint32_t* counts = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// Fills a bottom-up image of the grid's size: count row r goes to pixel row
// height - 1 - r, so the grid's row 0 is the top row on screen. Reads exactly
// width x height counts and writes exactly as many pixels. Returns false and
// writes nothing when the grid has no counts, a negative side, or more pixels
// than `pixels` holds; a grid with a zero side writes nothing and succeeds.
bool ColorCounts(const CountGrid& grid, std::uint32_t limit, const GradientParameters& gradient,
                 std::span<ImagePixel> pixels);
