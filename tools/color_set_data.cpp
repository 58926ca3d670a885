#include "tools/color_set_data.h"

#include <algorithm>

std::int32_t ColorIndexForButton(std::int32_t id) {
    switch (id) {
        case kSetColorButtonId:
            return kSetColorIndex;
        case kColor1ButtonId:
            return kGradientStartIndex;
        case kColor2ButtonId:
            return kGradientEndIndex;
        default:
            return -1;
    }
}

std::uint32_t CopyColors(const ColorRef (&colors)[kColorCount], std::uint32_t count,
                         ColorRef* out) {
    const std::uint32_t n = std::min<std::uint32_t>(count, kColorCount);
    if (out == nullptr) {
        return 0;
    }
    std::copy(colors, colors + n, out);
    return n;
}
