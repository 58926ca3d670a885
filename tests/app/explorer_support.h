// What the window tests share: the program's message loop run until the
// queue is empty, and the view's image beside the one the counts give.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "app/main_window.h"
#include "view/color_map.h"
#include "view/fractal_view.h"

// Handles what is queued (paints included) as the program's loop would.
inline void Pump(HACCEL accelerators = nullptr) {
    MSG msg;
    for (int i = 0; i < 10000 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        HandleMessage(accelerators, msg);
    }
}

// The image the view holds, bottom-up.
inline std::vector<std::uint32_t> ViewImage() {
    const FractalView& view = TheFractalView();
    std::vector<std::uint32_t> bottomUp(static_cast<std::size_t>(view.imageWidth) *
                                        static_cast<std::size_t>(view.imageHeight));
    EXPECT_TRUE(view.ReadPixels(view.imageHeight, bottomUp.data()));
    return bottomUp;
}

// The image the counts give with these colours, bottom-up as the view keeps it.
inline std::vector<std::uint32_t> ExpectedImage(const FractalEngine& engine,
                                                const ColorRef (&colors)[3]) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(engine.bufferWidth) *
                                      static_cast<std::size_t>(engine.bufferHeight));
    EXPECT_TRUE(ColorCounts(CountGrid{engine.Counts(), engine.bufferWidth, engine.bufferHeight},
                            engine.iterationLimit, SplitColors(colors), pixels));
    return pixels;
}
