// The CoordinatesWindow: the Coordinates tool window in which the user reads
// and types the Region's four corners and the iteration limit; Update fits
// the typed Region to the view, applies it with the limit, recomputes, and
// writes the fitted corners back.
#pragma once

#include <cstdint>

#include "engine/region.h"
#include "platform/win32.h"
#include "tools/number_format.h"

class CoordinatesWindow {
public:
    CoordinatesWindow() = default;
    CoordinatesWindow(const CoordinatesWindow&) = delete;
    CoordinatesWindow& operator=(const CoordinatesWindow&) = delete;
    virtual ~CoordinatesWindow();

    // Creates the hidden modeless dialog owned by `owner` and fills its fields.
    bool Create(HWND owner, const Region& region, std::uint32_t limit);
    void Destroy();

    // Write the corners ("%1.16lf", or a form that fits) and the limit into
    // the fields; nothing while there is no window.
    void ShowRegion(const Region& region);
    void ShowIterationLimit(std::uint32_t limit);

    // The corners as the fields hold them: a field whose text is still the one
    // shown gives back the double it showed; an edited one is read with
    // ParseDouble (decimal numbers only: "nan" or "inf" reads as 0).
    Region ReadRegion() const;
    // The Iterations field as an unsigned number; 0 for text that is not one.
    std::uint32_t ReadIterationLimit() const;

    // The Update action: fit, apply, recompute, write the fitted corners back.
    void ApplyCoordinates(const Region& region, std::uint32_t limit);

    HWND Window() const { return window; }

    HWND window = nullptr;

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    double ReadCorner(int index) const;

    // What each corner field last showed, X1, Y1, X2, Y2.
    ShownNumber shown_[4];
};

// The one CoordinatesWindow of the run.
CoordinatesWindow& TheCoordinatesWindow();

// ShowRegion on the one CoordinatesWindow (nothing while it has no window).
void ShowRegion(const Region& region);
