// The window-free data of the colour set: the colour values at start-up, the
// colour index of each swatch button of the Colors window, and the copying
// rule of GetColors. The brushes belong to the window code.
#pragma once

#include <cstdint>

// A Win32 COLORREF: 0x00BBGGRR, red in the lowest byte.
using ColorRef = std::uint32_t;

inline constexpr int kColorCount = 3;         // set colour, "Color #1", "Color #2"
inline constexpr int kCustomColorCount = 16;  // offered by the colour picker

// Indexes into the three colours.
inline constexpr int kSetColorIndex = 0;
inline constexpr int kGradientStartIndex = 1;
inline constexpr int kGradientEndIndex = 2;

// The colours before the Colors window exists: all black.
inline constexpr ColorRef kInitialColors[kColorCount] = {0x000000, 0x000000, 0x000000};
// The defaults applied when the Colors window is created: black set, black to
// pure blue (red 0, green 0, blue 255).
inline constexpr ColorRef kDefaultColors[kColorCount] = {0x000000, 0x000000, 0xFF0000};
// Every custom colour starts white.
inline constexpr ColorRef kInitialCustomColor = 0xFFFFFF;

// Ids of the swatch buttons (from the Colors window's template).
inline constexpr int kSetColorButtonId = 1039;
inline constexpr int kColor1ButtonId = 1037;
inline constexpr int kColor2ButtonId = 1038;

// 0 for "Set Color" (1039), 1 for "Color #1" (1037), 2 for "Color #2" (1038),
// -1 for any other id.
std::int32_t ColorIndexForButton(std::int32_t id);

// GetColors: copies the first min(count, 3) colours to out and returns that
// number. out must hold that many entries; nothing is copied for count 0.
std::uint32_t CopyColors(const ColorRef (&colors)[kColorCount], std::uint32_t count, ColorRef* out);
