#include "resources/generator/about_bitmap.h"

#include <cstdlib>
#include <span>

#include "engine/fractal_engine.h"
#include "engine/geometry.h"
#include "view/color_map.h"

namespace {

constexpr std::uint32_t kLimit = 500;
constexpr std::int32_t kPixelsPerMetre = 2834;

std::uint8_t PaletteBlue(int index) {
    return static_cast<std::uint8_t>((index * 255 + 127) / 254);
}

void Put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
    out[at] = static_cast<std::uint8_t>(v);
    out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
    Put16(out, at, v & 0xFFFF);
    Put16(out, at + 2, v >> 16);
}

// The whole set in the default colours, side x side, bottom row first (as
// the view keeps its image), 0x00RRGGBB.
std::vector<ImagePixel> RenderDefaultPicture(int side) {
    Region region = kDefaultRegion;
    FitRegionToAspect(side, side, region);
    FractalEngine engine;
    engine.SetRegion(region);
    engine.SetSize(side, side);
    engine.SetIterationLimit(kLimit);
    engine.Render(nullptr, false);

    const ColorRef defaults[3] = {0x000000, 0x000000, 0xFF0000};
    std::vector<ImagePixel> pixels(static_cast<std::size_t>(side) * static_cast<std::size_t>(side));
    ColorCounts(CountGrid{engine.Counts(), engine.bufferWidth, engine.bufferHeight}, kLimit,
                SplitColors(defaults), pixels);
    return pixels;
}

}  // namespace

std::uint8_t AboutPaletteIndex(std::uint8_t blue) {
    int best = 0;
    for (int i = 1; i < kAboutPaletteEntries; ++i) {
        if (std::abs(PaletteBlue(i) - blue) < std::abs(PaletteBlue(best) - blue)) {
            best = i;
        }
    }
    return static_cast<std::uint8_t>(best);
}

void AppendRle8Row(const std::uint8_t* row, int width, std::vector<std::uint8_t>& out) {
    int k = 0;
    while (k < width) {
        int run = 1;
        while (k + run < width && run < 255 && row[k + run] == row[k]) {
            ++run;
        }
        out.push_back(static_cast<std::uint8_t>(run));
        out.push_back(row[k]);
        k += run;
    }
    out.push_back(0);  // end of line
    out.push_back(0);
}

std::vector<std::uint8_t> RenderIconRgb(int side) {
    const std::vector<ImagePixel> pixels = RenderDefaultPicture(side);
    std::vector<std::uint8_t> rgb;
    rgb.reserve(pixels.size() * 3);
    for (int y = side - 1; y >= 0; --y) {  // top row first
        for (int x = 0; x < side; ++x) {
            const ImagePixel p = pixels[static_cast<std::size_t>(y) * side + x];
            rgb.push_back(static_cast<std::uint8_t>(p >> 16));
            rgb.push_back(static_cast<std::uint8_t>(p >> 8));
            rgb.push_back(static_cast<std::uint8_t>(p));
        }
    }
    return rgb;
}

std::vector<std::uint8_t> BuildAboutBitmap() {
    constexpr int side = kAboutBitmapSide;
    const std::vector<ImagePixel> pixels = RenderDefaultPicture(side);

    const std::size_t paletteBytes = 4u * kAboutPaletteEntries;
    const std::size_t offBits = 14 + 40 + paletteBytes;
    std::vector<std::uint8_t> file(offBits, 0);
    for (int r = 0; r < side; ++r) {  // bottom row first, as the pixels are
        std::uint8_t row[side];
        for (int k = 0; k < side; ++k) {
            row[k] = AboutPaletteIndex(static_cast<std::uint8_t>(pixels[r * side + k] & 0xFF));
        }
        AppendRle8Row(row, side, file);
    }
    file.push_back(0);  // end of bitmap
    file.push_back(1);

    file[0] = 'B';
    file[1] = 'M';
    Put32(file, 2, static_cast<std::uint32_t>(file.size()));
    Put32(file, 10, static_cast<std::uint32_t>(offBits));
    Put32(file, 14, 40);
    Put32(file, 18, side);
    Put32(file, 22, side);  // positive: bottom-up
    Put16(file, 26, 1);
    Put16(file, 28, 8);
    Put32(file, 30, 1);  // BI_RLE8
    Put32(file, 34, static_cast<std::uint32_t>(file.size() - offBits));
    Put32(file, 38, kPixelsPerMetre);
    Put32(file, 42, kPixelsPerMetre);
    Put32(file, 46, kAboutPaletteEntries);
    Put32(file, 50, 0);
    for (int i = 0; i < kAboutPaletteEntries; ++i) {
        file[54 + 4 * i] = PaletteBlue(i);  // blue, green, red, reserved
    }
    return file;
}
