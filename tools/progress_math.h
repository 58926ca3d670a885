// The arithmetic of the progress window: where it stands over its owner and
// the percentage text it shows for a finished row. No window in it.
#pragma once

#include <cstddef>
#include <cstdint>

struct ScreenPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

// A window rectangle in screen pixels (right and bottom exclusive).
struct ScreenRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

// The top-left corner that centres a dialog over `owner`, from the dialog's
// client width and height: owner.left + (owner width) / 2 - clientWidth / 2,
// and the same vertically, each division truncating toward zero. Because the
// client size is used, the window sits off centre by its frame, towards the
// right and the bottom. Worked out in 64 bits and clamped to the 32-bit range,
// so no rectangle can overflow it.
ScreenPoint CenterOver(const ScreenRect& owner, std::int32_t clientWidth,
                       std::int32_t clientHeight);

// (position * 100) / total: the product wraps modulo 2^32 as unsigned 32-bit
// arithmetic does, and the division is of the two unsigned values as doubles.
// A total of 0 counts as 1, so nothing ever divides by zero.
double ProgressPercent(std::uint32_t position, std::uint32_t total);

// The percentage text for a finished row: "%3.1f%%" of ProgressPercent. At most
// 13 characters ("4294967295.0%"); written like snprintf (see FormatPercent).
std::size_t FormatProgress(std::uint32_t position, std::uint32_t total, char* buffer,
                           std::size_t size);
