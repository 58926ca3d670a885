// The ColorsWindow: the Colors tool window (three swatch buttons that open the
// colour picker) and the ColorSet it holds: the picture's three colours, one
// swatch brush per colour, and the picker's 16 custom colours.
#pragma once

#include <cstdint>

#include "platform/win32.h"

class ColorsWindow {
public:
    ColorsWindow();
    ColorsWindow(const ColorsWindow&) = delete;
    ColorsWindow& operator=(const ColorsWindow&) = delete;
    virtual ~ColorsWindow();

    // Creates the hidden modeless dialog owned by `owner`; its creation sets
    // the default colours.
    bool Create(HWND owner);
    // Destroys the window, if any, then releases the colours and brushes.
    void Destroy();

    // The ColorSet. An index of 3 or more is ignored.
    void SetColor(std::uint32_t index, COLORREF color);
    void ApplyDefaults();
    // Copies min(count, 3) colours, index 0 upward; returns how many.
    std::uint32_t GetColors(std::uint32_t count, COLORREF* out) const;
    static std::int32_t ColorIndexForButton(std::int32_t id);
    void ReleaseColors();

    HWND Window() const { return window; }

    // Fields, in the order the data is laid out.
    COLORREF colors[3] = {};    // 0 set colour, 1 "Color #1", 2 "Color #2"
    HBRUSH brushes[3] = {};     // swatch brushes; null when none
    HWND window = nullptr;      // the dialog; null when there is none
    COLORREF customColors[16];  // the picker's custom colours, shared by the buttons

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    bool OnDrawItem(int id, const DRAWITEMSTRUCT& item);
    void OnPickColor(int id);
};

// The one ColorsWindow of the run.
ColorsWindow& TheColorsWindow();
