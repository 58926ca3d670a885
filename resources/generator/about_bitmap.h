// The picture of the About dialog, rendered with the program's own engine and
// colouring: the whole set, 128 x 128 pixels, in the default colours, as an
// 8-bit RLE8-compressed BMP file with a 255-entry palette.
//
// Palette rule. The default colours paint every pixel with red and green 0
// and some blue b in 0..255 (the set itself is black, b = 0). Entry i of the
// 255 entries is blue (i * 255 + 127) / 254, for i = 0..254, so entry 0 is
// black and entry 254 full blue. A pixel takes the entry whose blue is nearest
// its own, the lower index on a tie; red and green are 0 in every entry.
#pragma once

#include <cstdint>
#include <vector>

inline constexpr int kAboutBitmapSide = 128;
inline constexpr int kAboutPaletteEntries = 255;

// The palette index of a blue value under the rule above.
std::uint8_t AboutPaletteIndex(std::uint8_t blue);

// The whole .bmp file.
std::vector<std::uint8_t> BuildAboutBitmap();

// The application icon: the same picture (the whole set in the default
// colours), side x side pixels, as 8-bit RGB, top row first.
std::vector<std::uint8_t> RenderIconRgb(int side);

// RLE8 of one row of indexes: runs of up to 255 equal indexes, then the
// end-of-line mark (the caller adds the end-of-bitmap mark).
void AppendRle8Row(const std::uint8_t* row, int width, std::vector<std::uint8_t>& out);
