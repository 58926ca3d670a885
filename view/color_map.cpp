#include "view/color_map.h"

namespace {

std::int32_t Byte(ColorRef color, int index) {
    return static_cast<std::int32_t>((color >> (8 * index)) & 0xFF);
}

std::uint32_t Channel(std::int32_t start, std::int32_t delta, std::uint32_t scaledCount,
                      std::uint32_t limit) {
    const std::uint32_t product = static_cast<std::uint32_t>(delta) * scaledCount;
    const std::uint32_t step = (product / limit) & 0xFF;
    return (static_cast<std::uint32_t>(start) + step) & 0xFF;
}

}  // namespace

GradientParameters SplitColors(const ColorRef (&colors)[3]) {
    GradientParameters g;
    g.setPixel = PixelOfColor(colors[0]);
    g.startRed = Byte(colors[1], 0);
    g.startGreen = Byte(colors[1], 1);
    g.startBlue = Byte(colors[1], 2);
    g.deltaRed = Byte(colors[2], 0) - g.startRed;
    g.deltaGreen = Byte(colors[2], 1) - g.startGreen;
    g.deltaBlue = Byte(colors[2], 2) - g.startBlue;
    return g;
}

ImagePixel MapColor(const GradientParameters& gradient, std::uint32_t count, std::uint32_t limit) {
    const std::uint32_t l = EffectiveLimit(limit);
    if (count == l) {
        return gradient.setPixel;
    }
    const std::uint32_t scaled = count * 64u;
    const std::uint32_t red = Channel(gradient.startRed, gradient.deltaRed, scaled, l);
    const std::uint32_t green = Channel(gradient.startGreen, gradient.deltaGreen, scaled, l);
    const std::uint32_t blue = Channel(gradient.startBlue, gradient.deltaBlue, scaled, l);
    return red << 16 | green << 8 | blue;
}

bool ColorCounts(const CountGrid& grid, std::uint32_t limit, const GradientParameters& gradient,
                 std::span<ImagePixel> pixels) {
    if (grid.width < 0 || grid.height < 0) {
        return false;
    }
    const std::size_t width = static_cast<std::size_t>(grid.width);
    const std::size_t height = static_cast<std::size_t>(grid.height);
    if (width == 0 || height == 0) {
        return true;
    }
    if (grid.counts == nullptr || height > pixels.size() / width) {
        return false;
    }
    for (std::size_t r = 0; r < height; ++r) {
        const std::uint32_t* source = grid.counts + r * width;
        ImagePixel* target = pixels.data() + (height - 1 - r) * width;
        for (std::size_t k = 0; k < width; ++k) {
            target[k] = MapColor(gradient, source[k], limit);
        }
    }
    return true;
}
