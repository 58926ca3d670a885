// Test support: 32-bit DIB sections in memory DCs, and pixel-exact
// comparison against small pictures drawn as text, reporting every pixel that
// differs (position, expected, actual) rather than a hash.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace zembrix::test {

// The block the view uses: a BITMAPINFOHEADER of 40 bytes followed by the
// red, green, blue and alpha masks where a BITMAPV4HEADER keeps them.
inline BITMAPV4HEADER ViewHeader(LONG width, LONG height) {
    BITMAPV4HEADER header{};
    header.bV4Size = 40;
    header.bV4Width = width;
    header.bV4Height = height;
    header.bV4Planes = 1;
    header.bV4BitCount = 32;
    header.bV4V4Compression = BI_BITFIELDS;
    header.bV4XPelsPerMeter = 2835;
    header.bV4YPelsPerMeter = 2835;
    header.bV4RedMask = 0x00FF0000;
    header.bV4GreenMask = 0x0000FF00;
    header.bV4BlueMask = 0x000000FF;
    header.bV4AlphaMask = 0xFF000000;
    return header;
}

inline const BITMAPINFO* AsInfo(const BITMAPV4HEADER& header) {
    return reinterpret_cast<const BITMAPINFO*>(&header);
}

// A DIB section selected into its own memory DC; released in reverse order.
class Dib {
public:
    Dib(LONG width, LONG height)
        : width_(width), height_(height < 0 ? -height : height), bottomUp_(height > 0) {
        const BITMAPV4HEADER header = ViewHeader(width, height);
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, AsInfo(header), DIB_RGB_COLORS, &bits, nullptr, 0);
        previous_ = SelectObject(dc_, bitmap_);
    }
    ~Dib() {
        SelectObject(dc_, previous_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    Dib(const Dib&) = delete;
    Dib& operator=(const Dib&) = delete;

    bool Valid() const {
        return dc_ != nullptr && bitmap_ != nullptr && bits != nullptr && previous_ != nullptr;
    }
    HDC dc() const { return dc_; }
    HBITMAP bitmap() const { return bitmap_; }
    int width() const { return width_; }
    int height() const { return height_; }

    // (x, y) counted from the top-left pixel as shown.
    std::uint32_t& At(int x, int y) {
        const int row = bottomUp_ ? height_ - 1 - y : y;
        return static_cast<std::uint32_t*>(bits)[row * width_ + x];
    }
    void Fill(std::uint32_t pixel) {
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                At(x, y) = pixel;
    }

    void* bits = nullptr;

private:
    int width_;
    int height_;
    bool bottomUp_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};

using Legend = std::map<char, std::uint32_t>;

inline std::string Hex(std::uint32_t value) {
    std::ostringstream out;
    out << "0x" << std::hex << value;
    return out.str();
}

// `picture` holds one string per row, top row first, one character per
// pixel, looked up in `legend`.
template <class PixelAt>
::testing::AssertionResult PixelsMatch(int width, int height, PixelAt pixelAt,
                                       const std::vector<std::string>& picture,
                                       const Legend& legend) {
    std::ostringstream differences;
    int count = 0;
    if (static_cast<int>(picture.size()) != height)
        return ::testing::AssertionFailure()
               << "picture has " << picture.size() << " rows, surface " << height;
    for (int y = 0; y < height; ++y) {
        if (static_cast<int>(picture[y].size()) != width)
            return ::testing::AssertionFailure()
                   << "picture row " << y << " is not " << width << " wide";
        for (int x = 0; x < width; ++x) {
            const auto symbol = legend.find(picture[y][x]);
            if (symbol == legend.end())
                return ::testing::AssertionFailure() << "no legend for '" << picture[y][x] << "'";
            const std::uint32_t actual = pixelAt(x, y);
            if (actual != symbol->second) {
                ++count;
                differences << "\n  (" << x << ", " << y << "): expected '" << picture[y][x] << "' "
                            << Hex(symbol->second) << ", got " << Hex(actual);
            }
        }
    }
    if (count == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << count << " pixel(s) differ:" << differences.str();
}

inline ::testing::AssertionResult PixelsAre(Dib& dib, const std::vector<std::string>& picture,
                                            const Legend& legend) {
    return PixelsMatch(
        dib.width(), dib.height(), [&](int x, int y) { return dib.At(x, y); }, picture, legend);
}

}  // namespace zembrix::test
