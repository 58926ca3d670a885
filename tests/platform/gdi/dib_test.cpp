// DIB sections and SetDIBits/GetDIBits: the header variants accepted, row
// order, round trips, and that the caller's buffer is touched exactly as far
// as its header and line count describe it.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "platform/internal/faults.h"
#include "platform/win32.h"
#include "tests/platform/gdi/pixels.h"

namespace {

using zembrix::test::AsInfo;
using zembrix::test::Dib;
using zembrix::test::PixelsAre;
using zembrix::test::ViewHeader;

HBITMAP Create(const BITMAPV4HEADER& header, void** bits = nullptr) {
    return CreateDIBSection(nullptr, AsInfo(header), DIB_RGB_COLORS, bits, nullptr, 0);
}

TEST(CreateDibSection, AcceptsTheViewHeaderAndStoresRowsBottomUpZeroed) {
    const BITMAPV4HEADER header = ViewHeader(3, 2);
    void* bits = nullptr;
    const HBITMAP bitmap = Create(header, &bits);
    ASSERT_NE(bitmap, nullptr);
    ASSERT_NE(bits, nullptr);
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(pixels[i], 0u) << i;

    // A line along the top row as shown lands in the last row in memory.
    const HDC dc = CreateCompatibleDC(nullptr);
    const HGDIOBJ previous = SelectObject(dc, bitmap);
    SelectObject(dc, GetStockObject(WHITE_PEN));
    ASSERT_TRUE(Rectangle(dc, 0, 0, 3, 1));
    EXPECT_EQ(pixels[0], 0u);
    EXPECT_EQ(pixels[3], 0xFFFFFFu);
    EXPECT_EQ(pixels[5], 0xFFFFFFu);
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(bitmap);
}

TEST(CreateDibSection, AcceptsBiRgbTheV4LayoutAndTopDownRows) {
    BITMAPV4HEADER rgb = ViewHeader(2, 2);
    rgb.bV4V4Compression = BI_RGB;
    rgb.bV4RedMask = rgb.bV4GreenMask = rgb.bV4BlueMask = 0x12345678;  // not read for BI_RGB
    const HBITMAP plain = Create(rgb);
    EXPECT_NE(plain, nullptr);
    DeleteObject(plain);

    BITMAPV4HEADER v4 = ViewHeader(2, 2);
    v4.bV4Size = sizeof(BITMAPV4HEADER);
    const HBITMAP full = Create(v4);
    EXPECT_NE(full, nullptr);
    DeleteObject(full);

    void* bits = nullptr;
    const HBITMAP topDown = Create(ViewHeader(2, -2), &bits);
    ASSERT_NE(topDown, nullptr);
    const HDC dc = CreateCompatibleDC(nullptr);
    const HGDIOBJ previous = SelectObject(dc, topDown);
    SelectObject(dc, GetStockObject(WHITE_PEN));
    ASSERT_TRUE(Rectangle(dc, 0, 0, 2, 1));
    EXPECT_EQ(static_cast<std::uint32_t*>(bits)[0], 0xFFFFFFu)
        << "the first row in memory is the top row";
    EXPECT_EQ(static_cast<std::uint32_t*>(bits)[2], 0u);
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(topDown);
}

TEST(CreateDibSection, RefusesWhatItCannotHoldAndReportsNoBits) {
    struct Case {
        const char* what;
        void (*change)(BITMAPV4HEADER&);
    };
    const Case cases[] = {
        {"24 bits per pixel", [](BITMAPV4HEADER& h) { h.bV4BitCount = 24; }},
        {"masks in RGB order", [](BITMAPV4HEADER& h) { std::swap(h.bV4RedMask, h.bV4BlueMask); }},
        {"a 16-bit mask set", [](BITMAPV4HEADER& h) { h.bV4RedMask = 0xF800; }},
        {"RLE8", [](BITMAPV4HEADER& h) { h.bV4V4Compression = BI_RLE8; }},
        {"a core header size", [](BITMAPV4HEADER& h) { h.bV4Size = 12; }},
        {"an unknown header size", [](BITMAPV4HEADER& h) { h.bV4Size = 44; }},
        {"two planes", [](BITMAPV4HEADER& h) { h.bV4Planes = 2; }},
        {"no width", [](BITMAPV4HEADER& h) { h.bV4Width = 0; }},
        {"a negative width", [](BITMAPV4HEADER& h) { h.bV4Width = -4; }},
        {"no height", [](BITMAPV4HEADER& h) { h.bV4Height = 0; }},
        {"the most negative height", [](BITMAPV4HEADER& h) { h.bV4Height = INT_MIN; }},
        {"an absurd size", [](BITMAPV4HEADER& h) { h.bV4Width = h.bV4Height = 100000; }},
        {"the largest dimensions", [](BITMAPV4HEADER& h) { h.bV4Width = h.bV4Height = INT_MAX; }},
    };
    for (const Case& c : cases) {
        BITMAPV4HEADER header = ViewHeader(4, 4);
        c.change(header);
        void* bits = &header;
        EXPECT_EQ(Create(header, &bits), nullptr) << c.what;
        EXPECT_EQ(bits, nullptr) << c.what;
    }
    const BITMAPV4HEADER good = ViewHeader(4, 4);
    EXPECT_EQ(CreateDIBSection(nullptr, nullptr, DIB_RGB_COLORS, nullptr, nullptr, 0), nullptr);
    EXPECT_EQ(CreateDIBSection(nullptr, AsInfo(good), 2, nullptr, nullptr, 0), nullptr)
        << "unknown usage";
    int mapping = 0;
    EXPECT_EQ(CreateDIBSection(nullptr, AsInfo(good), DIB_RGB_COLORS, nullptr, &mapping, 0),
              nullptr)
        << "file mappings are not supported";
}

TEST(CreateDibSection, FailsCleanlyWhenItsMemoryCannotBeHad) {
    platform::SetFaultInjector(
        [](platform::FaultSite site) { return site == platform::FaultSite::DibSectionAlloc; });
    void* bits = nullptr;
    EXPECT_EQ(Create(ViewHeader(4, 4), &bits), nullptr);
    EXPECT_EQ(bits, nullptr);
    platform::SetFaultInjector(nullptr);
    const HBITMAP bitmap = Create(ViewHeader(4, 4), &bits);
    EXPECT_NE(bitmap, nullptr);
    DeleteObject(bitmap);
}

// Pixels of a caller's buffer, its rows in the header's order.
std::vector<std::uint32_t> Pattern(std::size_t count, std::uint32_t base) {
    std::vector<std::uint32_t> pixels(count);
    for (std::size_t i = 0; i < count; ++i)
        pixels[i] = base + static_cast<std::uint32_t>(i);
    return pixels;
}

TEST(DiBits, SetThenGetRoundTripsAndKeepsTheRowOrderOfEachHeader) {
    Dib dib(3, 2);
    ASSERT_TRUE(dib.Valid());
    const BITMAPV4HEADER header = ViewHeader(3, 2);
    const std::vector<std::uint32_t> in = Pattern(6, 0x100);
    ASSERT_EQ(SetDIBits(dib.dc(), dib.bitmap(), 0, 2, in.data(), AsInfo(header), DIB_RGB_COLORS),
              2);
    // Bottom-up: the buffer's first row is the bottom row shown.
    EXPECT_TRUE(PixelsAre(
        dib,
        {
            "def",
            "abc",
        },
        {{'a', 0x100}, {'b', 0x101}, {'c', 0x102}, {'d', 0x103}, {'e', 0x104}, {'f', 0x105}}));
    std::vector<std::uint32_t> out(6, 0xDEAD);
    ASSERT_EQ(GetDIBits(dib.dc(), dib.bitmap(), 0, 2, out.data(),
                        const_cast<BITMAPINFO*>(AsInfo(header)), DIB_RGB_COLORS),
              2);
    EXPECT_EQ(out, in);

    // Read through a top-down header, the top row comes first.
    const BITMAPV4HEADER topDown = ViewHeader(3, -2);
    ASSERT_EQ(GetDIBits(nullptr, dib.bitmap(), 0, 2, out.data(),
                        const_cast<BITMAPINFO*>(AsInfo(topDown)), DIB_RGB_COLORS),
              2);
    EXPECT_EQ(out, (std::vector<std::uint32_t>{0x103, 0x104, 0x105, 0x100, 0x101, 0x102}));
}

TEST(DiBits, CopyOnlyTheLinesAskedForAndReportHowMany) {
    Dib dib(2, 3);
    ASSERT_TRUE(dib.Valid());
    dib.Fill(0x777777);
    const BITMAPV4HEADER header = ViewHeader(2, 3);
    const std::vector<std::uint32_t> line = {0xA, 0xB};
    // Scan line 1 of a bottom-up DIB is the middle row.
    ASSERT_EQ(SetDIBits(nullptr, dib.bitmap(), 1, 1, line.data(), AsInfo(header), DIB_RGB_COLORS),
              1);
    EXPECT_TRUE(PixelsAre(dib,
                          {
                              "..",
                              "ab",
                              "..",
                          },
                          {{'.', 0x777777}, {'a', 0xA}, {'b', 0xB}}));
    // More lines than the header has: only those up to its top.
    const std::vector<std::uint32_t> many = Pattern(2 * 3, 1);
    EXPECT_EQ(SetDIBits(nullptr, dib.bitmap(), 2, 50, many.data(), AsInfo(header), DIB_RGB_COLORS),
              1);
    EXPECT_EQ(SetDIBits(nullptr, dib.bitmap(), 3, 1, many.data(), AsInfo(header), DIB_RGB_COLORS),
              0);
    EXPECT_EQ(SetDIBits(nullptr, dib.bitmap(), 0, 0, many.data(), AsInfo(header), DIB_RGB_COLORS),
              0);
}

// A caller's buffer with guard words on both sides.
struct Guarded {
    explicit Guarded(std::size_t words) : storage(words + 2 * kGuard, kGuardWord) {}
    std::uint32_t* data() { return storage.data() + kGuard; }
    bool GuardsIntact() const {
        for (std::size_t i = 0; i < kGuard; ++i)
            if (storage[i] != kGuardWord || storage[storage.size() - 1 - i] != kGuardWord)
                return false;
        return true;
    }
    static constexpr std::size_t kGuard = 16;
    static constexpr std::uint32_t kGuardWord = 0xCAFEF00D;
    std::vector<std::uint32_t> storage;
};

TEST(DiBits, TouchExactlyTheCallersLinesWhateverTheBitmapsSize) {
    Dib dib(4, 3);
    ASSERT_TRUE(dib.Valid());
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            dib.At(x, y) = static_cast<std::uint32_t>(0x10 * y + x);

    // Narrower than the bitmap: two pixels of each of two lines.
    {
        const BITMAPV4HEADER narrow = ViewHeader(2, 3);
        Guarded buffer(2 * 2);
        EXPECT_EQ(GetDIBits(nullptr, dib.bitmap(), 0, 2, buffer.data(),
                            const_cast<BITMAPINFO*>(AsInfo(narrow)), DIB_RGB_COLORS),
                  2);
        EXPECT_TRUE(buffer.GuardsIntact());
        EXPECT_EQ(std::vector<std::uint32_t>(buffer.data(), buffer.data() + 4),
                  (std::vector<std::uint32_t>{0x20, 0x21, 0x10, 0x11}));
    }
    // Wider than the bitmap: rows of the header's width, the part beyond
    // the bitmap left as it was.
    {
        const BITMAPV4HEADER wide = ViewHeader(6, 3);
        Guarded buffer(6 * 3);
        for (int i = 0; i < 18; ++i)
            buffer.data()[i] = 0xEEEE;
        EXPECT_EQ(GetDIBits(nullptr, dib.bitmap(), 0, 3, buffer.data(),
                            const_cast<BITMAPINFO*>(AsInfo(wide)), DIB_RGB_COLORS),
                  3);
        EXPECT_TRUE(buffer.GuardsIntact());
        EXPECT_EQ(buffer.data()[0], 0x20u);
        EXPECT_EQ(buffer.data()[4], 0xEEEEu);
        EXPECT_EQ(buffer.data()[6], 0x10u);
        EXPECT_EQ(buffer.data()[12 + 3], 0x03u);
        EXPECT_EQ(buffer.data()[17], 0xEEEEu);
    }
    // Taller than the bitmap: placed with its top row on the bitmap's top
    // row, so its two lowest lines have nothing to read and stay untouched.
    {
        const BITMAPV4HEADER tall = ViewHeader(4, 5);
        Guarded buffer(4 * 5);
        EXPECT_EQ(GetDIBits(nullptr, dib.bitmap(), 0, 5, buffer.data(),
                            const_cast<BITMAPINFO*>(AsInfo(tall)), DIB_RGB_COLORS),
                  3);
        EXPECT_TRUE(buffer.GuardsIntact());
        EXPECT_EQ(buffer.data()[0], Guarded::kGuardWord);
        EXPECT_EQ(buffer.data()[8], 0x20u);
        EXPECT_EQ(buffer.data()[16], 0x00u);
    }
    // SetDIBits reads no more than it is given either (ASan checks the
    // exact-size vector).
    {
        const BITMAPV4HEADER wide = ViewHeader(9, 1);
        const std::vector<std::uint32_t> line = Pattern(9, 0x500);
        EXPECT_EQ(SetDIBits(nullptr, dib.bitmap(), 0, 1, line.data(), AsInfo(wide), DIB_RGB_COLORS),
                  1);
        EXPECT_EQ(dib.At(3, 0), 0x503u) << "a one-line bottom-up DIB covers the top row";
    }
}

TEST(DiBits, FailOnInvalidHandlesFormatsAndBuffers) {
    Dib dib(2, 2);
    ASSERT_TRUE(dib.Valid());
    const BITMAPV4HEADER header = ViewHeader(2, 2);
    std::vector<std::uint32_t> buffer(4);
    auto* info = const_cast<BITMAPINFO*>(AsInfo(header));
    EXPECT_EQ(GetDIBits(nullptr, nullptr, 0, 2, buffer.data(), info, DIB_RGB_COLORS), 0);
    EXPECT_EQ(GetDIBits(nullptr, reinterpret_cast<HBITMAP>(dib.dc()), 0, 2, buffer.data(), info,
                        DIB_RGB_COLORS),
              0);
    EXPECT_EQ(GetDIBits(reinterpret_cast<HDC>(dib.bitmap()), dib.bitmap(), 0, 2, buffer.data(),
                        info, DIB_RGB_COLORS),
              0);
    EXPECT_EQ(GetDIBits(nullptr, dib.bitmap(), 0, 2, buffer.data(), info, 7), 0);
    EXPECT_EQ(GetDIBits(nullptr, dib.bitmap(), 0, 2, nullptr, info, DIB_RGB_COLORS), 0);
    EXPECT_EQ(SetDIBits(nullptr, dib.bitmap(), 0, 2, nullptr, info, DIB_RGB_COLORS), 0);
    EXPECT_EQ(SetDIBits(nullptr, dib.bitmap(), 0, 2, buffer.data(), nullptr, DIB_RGB_COLORS), 0);
    BITMAPV4HEADER deep = header;
    deep.bV4BitCount = 24;
    EXPECT_EQ(SetDIBits(nullptr, dib.bitmap(), 0, 2, buffer.data(), AsInfo(deep), DIB_RGB_COLORS),
              0);

    const HBITMAP gone = Create(header);
    ASSERT_TRUE(DeleteObject(gone));
    EXPECT_EQ(SetDIBits(nullptr, gone, 0, 2, buffer.data(), info, DIB_RGB_COLORS), 0);
}

}  // namespace
