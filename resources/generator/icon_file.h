// The application icon as a Windows icon file (.ico), for the executable's
// icon resource: the same picture as the Linux icons, at the sizes Windows
// asks for (16 and 24 in lists and the small task bar, 32 and 48 on the
// desktop and in Explorer, 256 in its large views).
//
// Each image is a 32-bit DIB: a BITMAPINFOHEADER of twice the height (the
// colour rows, then the AND mask), blue, green, red and alpha 255 per pixel
// (the picture is square and opaque), bottom row first, and an AND mask of
// zeros. The 256 one is a DIB too rather than PNG: the PNG writer stores its
// pixels uncompressed, so PNG would save nothing.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

inline constexpr int kWindowsIconSides[] = {16, 24, 32, 48, 256};

// One square image: side in 1..256, rgb 3 bytes per pixel, top row first.
struct IconImage {
    int side = 0;
    std::vector<std::uint8_t> rgb;
};

// The whole .ico file of the images, in their order. Empty when an image's
// side is outside 1..256 or its pixels do not match it.
std::vector<std::uint8_t> BuildIconFile(std::span<const IconImage> images);

// The application icon at every size of kWindowsIconSides.
std::vector<std::uint8_t> BuildWindowsIcon();
