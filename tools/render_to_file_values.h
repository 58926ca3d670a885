// The numbers the Render To File dialog proposes, without its window: the
// corner texts and the pixel height that keeps the Region's proportions for a
// pixel width.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/region.h"

// The corner fields' buffer: 259 characters and the terminator.
inline constexpr std::size_t kRenderCornerBufferSize = 260;

// A corner as "%1.18lf", or the short form that reads back to the same double
// when that text would pass 259 characters (magnitudes from about 1e240).
std::size_t FormatRenderCorner(double value, char (&buffer)[kRenderCornerBufferSize]);

// |width x spanY / spanX| truncated toward zero, so that width x height has
// the Region's proportions; a mirrored Region gives the same as its unmirrored
// twin. 0 when the value is not a finite number within the unsigned 32-bit
// range (a zero span X, NaN or infinite corners).
std::uint32_t ProposedHeight(std::int32_t width, const Region& region);
