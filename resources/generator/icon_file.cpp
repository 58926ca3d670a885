#include "resources/generator/icon_file.h"

#include "resources/generator/about_bitmap.h"

namespace {

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {  // little-endian
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

std::vector<std::uint8_t> Dib(const IconImage& image) {
    const auto side = static_cast<std::uint32_t>(image.side);
    const std::uint32_t maskStride = (side + 31) / 32 * 4;  // 1 bit a pixel, rows of whole DWORDs
    std::vector<std::uint8_t> out;
    Put32(out, 40);
    Put32(out, side);
    Put32(out, 2 * side);  // the colour rows and the mask rows
    Put16(out, 1);
    Put16(out, 32);
    Put32(out, 0);  // BI_RGB
    Put32(out, side * side * 4 + maskStride * side);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0);
    for (std::uint32_t row = side; row-- > 0;) {  // bottom row first
        for (std::uint32_t x = 0; x < side; ++x) {
            const std::uint8_t* p = &image.rgb[(row * side + x) * 3];
            out.insert(out.end(), {p[2], p[1], p[0], 0xFF});
        }
    }
    out.resize(out.size() + maskStride * side, 0);
    return out;
}

}  // namespace

std::vector<std::uint8_t> BuildIconFile(std::span<const IconImage> images) {
    std::vector<std::vector<std::uint8_t>> dibs;
    for (const IconImage& image : images) {
        if (image.side < 1 || image.side > 256 ||
            image.rgb.size() != static_cast<std::size_t>(image.side) * image.side * 3) {
            return {};
        }
        dibs.push_back(Dib(image));
    }
    std::vector<std::uint8_t> out;
    Put16(out, 0);
    Put16(out, 1);  // an icon, not a cursor
    Put16(out, static_cast<std::uint32_t>(images.size()));
    auto offset = static_cast<std::uint32_t>(6 + 16 * images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        const auto byteSide = static_cast<std::uint8_t>(images[i].side);  // 256 is written 0
        out.insert(out.end(), {byteSide, byteSide, 0, 0});                // no palette, reserved
        Put16(out, 1);
        Put16(out, 32);
        Put32(out, static_cast<std::uint32_t>(dibs[i].size()));
        Put32(out, offset);
        offset += static_cast<std::uint32_t>(dibs[i].size());
    }
    for (const auto& dib : dibs) {
        out.insert(out.end(), dib.begin(), dib.end());
    }
    return out;
}

std::vector<std::uint8_t> BuildWindowsIcon() {
    std::vector<IconImage> images;
    for (const int side : kWindowsIconSides) {
        images.push_back({side, RenderIconRgb(side)});
    }
    return BuildIconFile(images);
}
