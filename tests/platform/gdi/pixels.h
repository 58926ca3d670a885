// Test support: 32-bit DIB sections in memory DCs, and pixel-exact comparison
// against small pictures written as text, reporting every pixel that differs.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <sstream>
#include <string>

#include "platform/win32.h"

namespace zembrix::test {

// The block the view uses: a BITMAPINFOHEADER of 40 bytes followed by the
// red, green and blue masks where a BITMAPV4HEADER keeps them.
inline BITMAPV4HEADER ViewHeader(LONG width, LONG height) {
    BITMAPV4HEADER header{};
    header.bV4Size = 40;
    header.bV4Width = width;
    header.bV4Height = height;
    header.bV4Planes = 1;
    header.bV4BitCount = 32;
    header.bV4V4Compression = BI_BITFIELDS;
    header.bV4RedMask = 0x00FF0000;
    header.bV4GreenMask = 0x0000FF00;
    header.bV4BlueMask = 0x000000FF;
    return header;
}

inline BITMAPINFO* AsInfo(const BITMAPV4HEADER& header) {
    return reinterpret_cast<BITMAPINFO*>(const_cast<BITMAPV4HEADER*>(&header));
}

// A DIB section selected into its own memory DC; released in reverse order.
class Dib {
public:
    Dib(LONG width, LONG height) : width_(width), height_(height < 0 ? -height : height) {
        bottomUp_ = height > 0;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, AsInfo(ViewHeader(width, height)), DIB_RGB_COLORS, &bits_,
                                   nullptr, 0);
        previous_ = SelectObject(dc_, bitmap_);
    }
    ~Dib() {
        SelectObject(dc_, previous_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    Dib(const Dib&) = delete;
    Dib& operator=(const Dib&) = delete;

    bool Valid() const { return dc_ && bitmap_ && bits_ && previous_; }
    HDC dc() const { return dc_; }
    HBITMAP bitmap() const { return bitmap_; }
    // (x, y) counted from the top-left pixel as shown.
    std::uint32_t& At(int x, int y) {
        return static_cast<std::uint32_t*>(bits_)[(bottomUp_ ? height_ - 1 - y : y) * width_ + x];
    }
    // Every pixel a different value: 0x10 * row + column + 1.
    void Number() {
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                At(x, y) = static_cast<std::uint32_t>(0x10 * y + x + 1);
    }
    void Fill(std::uint32_t pixel) {
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                At(x, y) = pixel;
    }

private:
    int width_, height_;
    bool bottomUp_;
    void* bits_ = nullptr;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};

using Legend = std::map<char, std::uint32_t>;

// `picture` holds the rows top first, separated by '/', one character per
// pixel, looked up in `legend`.
template <class PixelAt>
::testing::AssertionResult PixelsMatch(PixelAt pixelAt, const std::string& picture,
                                       const Legend& legend) {
    std::ostringstream differences;
    int x = 0, y = 0;
    for (const char symbol : picture) {
        if (symbol == '/') {
            x = 0, ++y;
            continue;
        }
        const std::uint32_t actual = pixelAt(x, y);
        if (legend.count(symbol) == 0 || actual != legend.at(symbol))
            differences << "\n  (" << x << ", " << y << "): expected '" << symbol << "', got 0x"
                        << std::hex << actual << std::dec;
        ++x;
    }
    if (differences.str().empty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixels differ:" << differences.str();
}

inline ::testing::AssertionResult PixelsAre(Dib& dib, const std::string& picture,
                                            const Legend& legend) {
    return PixelsMatch([&](int x, int y) { return dib.At(x, y); }, picture, legend);
}

}  // namespace zembrix::test
