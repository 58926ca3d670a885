#include "view/zoom.h"

#include <cmath>
#include <utility>

#include "engine/geometry.h"

namespace {

// The rectangle while it is worked on, in 64 bits: a zoom-out of a client of
// up to 2^31 pixels reaches about 2^33.
struct WideRect {
    std::int64_t left;
    std::int64_t top;
    std::int64_t right;
    std::int64_t bottom;
};

bool FitsInt32(std::int64_t v) {
    return v >= INT32_MIN && v <= INT32_MAX;
}

// Clamps a third of the client about the click into 0..extent (extent > 0).
void ClampThird(std::int64_t& low, std::int64_t& high, std::int64_t extent) {
    const std::int64_t third = extent / 3;
    low -= third / 2;
    if (low < 0) {
        low = 0;
    }
    high = low + third;
    if (high > extent) {
        high = extent;
        low = extent - third;
    }
}

}  // namespace

Selection NormalizeSelection(const Selection& selection) {
    Selection s = selection;
    if (s.right < s.left) {
        std::swap(s.left, s.right);
    }
    if (s.bottom < s.top) {
        std::swap(s.top, s.bottom);
    }
    return s;
}

std::optional<Selection> ZoomRectangle(const Selection& drawn, std::int32_t width,
                                       std::int32_t height, bool altHeld) {
    if (width <= 0 || height <= 0) {
        return std::nullopt;
    }
    const Selection n = NormalizeSelection(drawn);
    WideRect r{n.left, n.top, n.right, n.bottom};
    const std::int64_t w = width;
    const std::int64_t h = height;
    if (altHeld) {
        const std::int64_t cx = r.left + (r.right - r.left) / 2;
        const std::int64_t cy = r.top + (r.bottom - r.top) / 2;
        r.left = cx - w / 2 - w;
        r.top = cy - h / 2 - h;
        r.right = r.left + 3 * w;
        r.bottom = r.top + 3 * h;
    } else if (r.right - r.left < 3 && r.bottom - r.top < 3) {
        ClampThird(r.left, r.right, w);
        ClampThird(r.top, r.bottom, h);
    }
    if (!FitsInt32(r.left) || !FitsInt32(r.top) || !FitsInt32(r.right) || !FitsInt32(r.bottom)) {
        return std::nullopt;
    }
    Selection s{static_cast<std::int32_t>(r.left), static_cast<std::int32_t>(r.top),
                static_cast<std::int32_t>(r.right), static_cast<std::int32_t>(r.bottom)};
    FitSelectionToAspect(width, height, s);
    return NormalizeSelection(s);
}

bool IsShowableRegion(const Region& region) {
    const double spanX = region.X2 - region.X1;
    const double spanY = region.Y2 - region.Y1;
    return std::isfinite(region.X1) && std::isfinite(region.Y1) && std::isfinite(region.X2) &&
           std::isfinite(region.Y2) && std::isfinite(spanX) && std::isfinite(spanY) &&
           spanX != 0.0 && spanY != 0.0;
}

std::optional<Region> ZoomRegion(const Region& current, const Selection& drawn, std::int32_t width,
                                 std::int32_t height, bool altHeld) {
    const std::optional<Selection> rectangle = ZoomRectangle(drawn, width, height, altHeld);
    if (!rectangle) {
        return std::nullopt;
    }
    const Region region = SelectionToRegion(current, *rectangle, width, height);
    if (!IsShowableRegion(region)) {
        return std::nullopt;
    }
    return region;
}
