// The zoom gesture's arithmetic: the rectangle that a button release in the
// view zooms to, and the Region that rectangle maps to. Pure functions.
//
// W and H are the view's client width and height. A click is a press and
// release less than 3 pixels apart in both directions; Alt held at the
// release zooms out.
#pragma once

#include <cstdint>
#include <optional>

#include "engine/region.h"

// Swaps left/right and top/bottom where they are reversed.
Selection NormalizeSelection(const Selection& selection);

// The rectangle of a button release, from the Selection as drawn (press point,
// release point):
// 1. normalise;
// 2. Alt held: three times the client size about the centre of what was drawn
//    (left = cx - W/2 - W, top = cy - H/2 - H, right = left + 3W,
//    bottom = top + 3H);
//    a click: a third of the client in each direction about the click, pushed
//    back inside the client where it would cross an edge;
//    otherwise the rectangle as drawn;
// 3. FitSelectionToAspect(W, H);
// 4. normalise again.
// Every division truncates toward zero. The arithmetic is done in 64 bits; no
// rectangle when W or H is not positive or a result does not fit 32 bits.
std::optional<Selection> ZoomRectangle(const Selection& drawn, std::int32_t width,
                                       std::int32_t height, bool altHeld);

// True when a Region can be shown: every corner and both spans finite and
// neither span zero. Zooms and rescales that would give any other Region are
// not applied, so repeated zoom-outs never leave NaN or infinite corners.
bool IsShowableRegion(const Region& region);

// The whole gesture: ZoomRectangle, then SelectionToRegion from `current`. No
// Region when there is no rectangle or the result is not showable; the caller
// then changes nothing and computes nothing.
std::optional<Region> ZoomRegion(const Region& current, const Selection& drawn, std::int32_t width,
                                 std::int32_t height, bool altHeld);
