#include "engine/geometry.h"

#include <cmath>

namespace {

// 2^30: the largest shift or side FitSelectionToAspect converts back to an
// integer; anything beyond it (or not finite) comes from a degenerate view.
constexpr double kMaxPixelValue = 1073741824.0;

bool IsConvertible(double value) {
    return std::isfinite(value) && std::fabs(value) <= kMaxPixelValue;
}

}  // namespace

void FitRegionToAspect(std::int32_t width, std::int32_t height, Region& region) {
    if (width == 0 || height == 0) {
        return;
    }
    const double w = width;
    const double h = height;
    const double spanX = region.X2 - region.X1;
    const double spanY = region.Y2 - region.Y1;
    const double ratio = spanX / spanY;
    const double aspect = w / h;
    if (ratio == aspect || std::isunordered(ratio, aspect)) {
        return;
    }
    if (ratio > aspect) {
        const double newSpanY = (h * spanX) / w;
        region.Y1 = region.Y1 - (newSpanY - spanY) * 0.5;
        region.Y2 = region.Y1 + newSpanY;
    } else {
        const double newSpanX = (w * spanY) / h;
        region.X1 = region.X1 - (newSpanX - spanX) * 0.5;
        region.X2 = region.X1 + newSpanX;
    }
}

void FitSelectionToAspect(std::int32_t width, std::int32_t height, Selection& selection) {
    if (width == 0 || height == 0) {
        return;
    }
    const double w = width;
    const double h = height;
    // The differences are formed in doubles, where they are exact: two 32-bit
    // coordinates can be 2^32 apart, which a 32-bit subtraction would overflow.
    const double dx = static_cast<double>(selection.right) - static_cast<double>(selection.left);
    const double dy = static_cast<double>(selection.bottom) - static_cast<double>(selection.top);
    const double ratio = dx / dy;
    const double aspect = w / h;
    if (ratio == aspect || std::isunordered(ratio, aspect)) {
        return;
    }
    if (ratio > aspect) {
        const double newDy = (dx * h) / w;
        const double shift = (newDy - dy) * -0.5;
        if (!IsConvertible(newDy) || !IsConvertible(shift)) {
            return;
        }
        // Both are within +-2^30, so the truncations fit 32 bits.
        const std::int64_t top = std::int64_t{selection.top} + static_cast<std::int32_t>(shift);
        const std::int64_t bottom = top + static_cast<std::int32_t>(newDy);
        if (top < INT32_MIN || bottom > INT32_MAX) {
            return;
        }
        selection.top = static_cast<std::int32_t>(top);
        selection.bottom = static_cast<std::int32_t>(bottom);
    } else {
        const double newDx = (w * dy) / h;
        const double shift = (newDx - dx) * -0.5;
        if (!IsConvertible(newDx) || !IsConvertible(shift)) {
            return;
        }
        const std::int64_t left = std::int64_t{selection.left} + static_cast<std::int32_t>(shift);
        const std::int64_t right = left + static_cast<std::int32_t>(newDx);
        if (left < INT32_MIN || right > INT32_MAX) {
            return;
        }
        selection.left = static_cast<std::int32_t>(left);
        selection.right = static_cast<std::int32_t>(right);
    }
}

Region SelectionToRegion(const Region& current, const Selection& selection, std::int32_t width,
                         std::int32_t height) {
    if (width == 0 || height == 0) {
        return current;
    }
    const double w = width;
    const double h = height;
    const double spanX = current.X2 - current.X1;
    const double spanY = current.Y2 - current.Y1;
    Region result;
    result.X1 = current.X1 + (selection.left * spanX) / w;
    result.Y1 = current.Y1 + (selection.top * spanY) / h;
    result.X2 = current.X1 + (selection.right * spanX) / w;
    result.Y2 = current.Y1 + (selection.bottom * spanY) / h;
    return result;
}

std::optional<Region> RescaleRegion(const SizingSnapshot& snapshot, std::int32_t width,
                                    std::int32_t height) {
    if (snapshot.IsEmpty()) {
        return std::nullopt;
    }
    const Region& s = snapshot.region;
    // Pixel differences, formed in doubles where they are exact, so that no
    // pair of 32-bit sizes can overflow them.
    const double growPixelsX = static_cast<double>(width) - static_cast<double>(snapshot.width);
    const double growPixelsY = static_cast<double>(height) - static_cast<double>(snapshot.height);

    const double spanX = s.X2 - s.X1;
    const double unitsX = spanX / snapshot.width;
    const double growX = unitsX * growPixelsX;
    const double spanY = s.Y2 - s.Y1;
    const double unitsY = spanY / snapshot.height;
    const double growY = unitsY * growPixelsY;

    Region result;
    result.X1 = s.X1 - growX * 0.5;
    result.X2 = (spanX + result.X1) + growX;
    result.Y1 = s.Y1 - growY * 0.5;
    result.Y2 = (spanY + result.Y1) + growY;
    return result;
}
