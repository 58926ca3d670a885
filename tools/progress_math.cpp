#include "tools/progress_math.h"

#include <algorithm>

#include "tools/number_format.h"

namespace {

std::int32_t ClampToInt32(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

}  // namespace

ScreenPoint CenterOver(const ScreenRect& owner, std::int32_t clientWidth,
                       std::int32_t clientHeight) {
    const std::int64_t ownerWidth = std::int64_t{owner.right} - owner.left;
    const std::int64_t ownerHeight = std::int64_t{owner.bottom} - owner.top;
    ScreenPoint point;
    point.x = ClampToInt32(owner.left + ownerWidth / 2 - clientWidth / 2);
    point.y = ClampToInt32(owner.top + ownerHeight / 2 - clientHeight / 2);
    return point;
}

double ProgressPercent(std::uint32_t position, std::uint32_t total) {
    const std::uint32_t scaled = position * 100u;
    return static_cast<double>(scaled) / static_cast<double>(total == 0 ? 1u : total);
}

std::size_t FormatProgress(std::uint32_t position, std::uint32_t total, char* buffer,
                           std::size_t size) {
    return FormatPercent(ProgressPercent(position, total), buffer, size);
}
