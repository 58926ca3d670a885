// The ProgressWindow: the captionless popup over the frame while the engine
// computes: a label ("Rendering..."), a smooth bar and a percentage. One per
// computation, as a local object of Render; it takes no input.
#pragma once

#include <cstdint>

#include "engine/fractal_engine.h"
#include "platform/win32.h"

class ProgressWindow : public ProgressDisplay {
public:
    ProgressWindow();
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;
    ~ProgressWindow() override;

    // Creates the window if there is none, centres it over the owner (when
    // given), sets the label (when given) and the range (when total is not 0),
    // and moves the bar to 0.
    void Open(HWND owner, const char* label, std::int32_t total) override;
    void Show() override;
    void Hide() override;
    // Moves the bar and writes the percentage; nothing without a window.
    void SetProgress(std::int32_t position) override;

    HWND window = nullptr;
    std::uint32_t total = 1;  // never 0, so the percentage never divides by zero

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
};
