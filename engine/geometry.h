// Region geometry: fitting Regions and Selections to the view's proportions,
// mapping a Selection in pixels to the plane, and rescaling a Region when the
// view changes size. Pure functions: no state, no allocation, no platform.
//
// Convention: for a W x H client area, pixel (x, y) stands for the plane point
// (X1 + x * (X2 - X1) / W, Y1 + y * (Y2 - Y1) / H). Every step below is one
// rounded double operation, in the order written.
#pragma once

#include <cstdint>
#include <optional>

#include "engine/region.h"

// Grows the short span of `region` about its centre until spanX / spanY equals
// width / height. Left unchanged when the proportions already match, when the
// comparison is unordered (a NaN), or when either side of the view is zero.
void FitRegionToAspect(std::int32_t width, std::int32_t height, Region& region);

// The same for a Selection in pixels. Left unchanged as above, and also when the
// new side or the shift is not a finite value within +-2^30, so that no double
// outside the 32-bit range is ever converted to an integer.
void FitSelectionToAspect(std::int32_t width, std::int32_t height, Selection& selection);

// The Region covered by `selection` in a width x height client showing
// `current`. A Selection outside the client maps linearly all the same. With a
// zero width or height the current Region is returned unchanged.
Region SelectionToRegion(const Region& current, const Selection& selection, std::int32_t width,
                         std::int32_t height);

// The Region for a new view size that keeps the snapshot's plane units per
// pixel and its centre. No Region for an empty snapshot.
std::optional<Region> RescaleRegion(const SizingSnapshot& snapshot, std::int32_t width,
                                    std::int32_t height);
