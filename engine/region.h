// Shared geometry types of the fractal engine: the Region of the complex plane
// that is shown, a Selection in view pixels, and the snapshot a resize starts from.
#pragma once

#include <cstdint>

// The rectangle of the complex plane shown. X1 is the real part at the left
// edge (column 0), Y1 the imaginary part at the top edge (row 0); X2 and Y2 lie
// one pixel step beyond the last column and row. Copied as one 32-byte unit.
struct Region {
    double X1 = 0.0;
    double Y1 = 0.0;
    double X2 = 0.0;
    double Y2 = 0.0;
};
static_assert(sizeof(Region) == 32);

// The start-up Region, before it is fitted to the view's proportions.
inline constexpr Region kDefaultRegion{-2.0, -1.35, 1.0, 1.35};

// A rectangle in view client pixels. (left, top) is the press point and
// (right, bottom) the pointer's latest position until it is normalised.
struct Selection {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    friend bool operator==(const Selection&, const Selection&) = default;
};

// The Region and the view's client size saved when a resize begins. A snapshot
// with a zero width or height is empty.
struct SizingSnapshot {
    Region region;
    std::int32_t width = 0;
    std::int32_t height = 0;

    bool IsEmpty() const { return width == 0 || height == 0; }
};
