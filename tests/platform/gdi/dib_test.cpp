// DIB sections and SetDIBits/GetDIBits: the headers accepted and refused, row
// order, and that the caller's buffer is touched exactly as far as its header
// and line count describe it.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <utility>
#include <vector>

#include "platform/internal/faults.h"
#include "platform/win32.h"
#include "tests/platform/gdi/pixels.h"

namespace {

using zembrix::test::AsInfo;
using zembrix::test::Dib;
using zembrix::test::ViewHeader;

HBITMAP Create(const BITMAPV4HEADER& header, void** bits = nullptr) {
    return CreateDIBSection(nullptr, AsInfo(header), DIB_RGB_COLORS, bits, nullptr, 0);
}

// Accepted: the view's header, BI_RGB (masks not read), the whole V4 layout,
// top-down rows. Each starts zeroed, its top row as shown where the header
// says: last in memory for a positive height, first for a negative one.
TEST(CreateDibSection, AcceptsThe32BitLayoutsZeroedWithRowsInTheHeadersOrder) {
    BITMAPV4HEADER rgb = ViewHeader(3, 2);
    rgb.bV4V4Compression = BI_RGB;
    rgb.bV4RedMask = rgb.bV4GreenMask = rgb.bV4BlueMask = 0x12345678;
    BITMAPV4HEADER v4 = ViewHeader(3, 2);
    v4.bV4Size = sizeof(BITMAPV4HEADER);
    const std::pair<BITMAPV4HEADER, int> cases[] = {
        {ViewHeader(3, 2), 3}, {rgb, 3}, {v4, 3}, {ViewHeader(3, -2), 0}};
    for (const auto& [header, topRow] : cases) {
        void* bits = nullptr;
        const HBITMAP bitmap = Create(header, &bits);
        ASSERT_NE(bitmap, nullptr);
        const auto* pixels = static_cast<const std::uint32_t*>(bits);
        const HDC dc = CreateCompatibleDC(nullptr);
        const HGDIOBJ previous = SelectObject(dc, bitmap);
        EXPECT_EQ(pixels[3 - topRow], 0u);
        SelectObject(dc, GetStockObject(WHITE_PEN));
        ASSERT_TRUE(Rectangle(dc, 0, 0, 3, 1));
        EXPECT_EQ(pixels[topRow], 0xFFFFFFu);
        EXPECT_EQ(pixels[3 - topRow], 0u);
        SelectObject(dc, previous);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
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
    int mapping = 0;
    EXPECT_EQ(CreateDIBSection(nullptr, nullptr, DIB_RGB_COLORS, nullptr, nullptr, 0), nullptr);
    EXPECT_EQ(CreateDIBSection(nullptr, AsInfo(good), 2, nullptr, nullptr, 0), nullptr);
    EXPECT_EQ(CreateDIBSection(nullptr, AsInfo(good), DIB_RGB_COLORS, nullptr, &mapping, 0),
              nullptr)
        << "file mappings are not supported";
    platform::SetFaultInjector(
        [](platform::FaultSite site) { return site == platform::FaultSite::DibSectionAlloc; });
    void* bits = &mapping;
    EXPECT_EQ(Create(good, &bits), nullptr);
    EXPECT_EQ(bits, nullptr);
    platform::SetFaultInjector(nullptr);
}

// A caller's buffer of `words` pixels with guard words on both sides; the
// pixels start as `fill`.
struct Guarded {
    static constexpr std::uint32_t kGuard = 0xCAFEF00D;
    Guarded(std::size_t words, std::uint32_t fill) : storage(words + 32, kGuard) {
        std::fill(storage.begin() + 16, storage.end() - 16, fill);
    }
    std::uint32_t* data() { return storage.data() + 16; }
    std::vector<std::uint32_t> Pixels() const { return {storage.begin() + 16, storage.end() - 16}; }
    bool GuardsIntact() const {
        return std::count(storage.begin(), storage.begin() + 16, kGuard) == 16 &&
               std::count(storage.end() - 16, storage.end(), kGuard) == 16;
    }
    std::vector<std::uint32_t> storage;
};

// GetDIBits through headers of other sizes and row orders than the bitmap's
// (4 x 3, numbered): the caller's DIB lies with its top-left pixel on the
// bitmap's, only the part both cover is copied, and no more lines than asked.
TEST(DiBits, GetCopiesTheCommonPartInTheHeadersRowOrderAndNoMore) {
    Dib dib(4, 3);
    ASSERT_TRUE(dib.Valid());
    dib.Number();  // rows 0x01.., 0x11.., 0x21..
    constexpr std::uint32_t E = 0xEEEE;
    struct Case {
        LONG width, height;
        UINT start, lines;
        int copied;
        std::vector<std::uint32_t> pixels;
    };
    const Case cases[] = {
        {4, 3, 0, 3, 3, {0x21, 0x22, 0x23, 0x24, 0x11, 0x12, 0x13, 0x14, 1, 2, 3, 4}},
        {4, -3, 0, 3, 3, {1, 2, 3, 4, 0x11, 0x12, 0x13, 0x14, 0x21, 0x22, 0x23, 0x24}},
        {2, 3, 0, 2, 2, {0x21, 0x22, 0x11, 0x12, E, E}},
        {2, 3, 1, 1, 1, {0x11, 0x12, E, E, E, E}},  // the buffer starts at the first line asked for
        {6, 2, 0, 2, 2, {0x11, 0x12, 0x13, 0x14, E, E, 1, 2, 3, 4, E, E}},
        // Taller: its two lowest lines have nothing to read.
        {2, 5, 0, 5, 3, {E, E, E, E, 0x21, 0x22, 0x11, 0x12, 1, 2}},
        {2, 3, 3, 1, 0, {E, E, E, E, E, E}},
        {2, 3, 0, 0, 0, {E, E, E, E, E, E}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.width << " x " << c.height << ", lines " << c.start << " + " << c.lines);
        const BITMAPV4HEADER header = ViewHeader(c.width, c.height);
        Guarded buffer(c.pixels.size(), E);
        EXPECT_EQ(GetDIBits(nullptr, dib.bitmap(), c.start, c.lines, buffer.data(), AsInfo(header),
                            DIB_RGB_COLORS),
                  c.copied);
        EXPECT_TRUE(buffer.GuardsIntact());
        EXPECT_EQ(buffer.Pixels(), c.pixels);
    }
}

TEST(DiBits, SetPlacesEachScanLineOnItsRowAndReadsNoMoreThanGiven) {
    Dib dib(2, 3);
    ASSERT_TRUE(dib.Valid());
    dib.Fill(7);
    const BITMAPV4HEADER header = ViewHeader(2, 3);
    const std::vector<std::uint32_t> line = {0xA, 0xB};
    // Scan line 1 of a bottom-up DIB is the middle row, line 0 the bottom one.
    ASSERT_EQ(SetDIBits(nullptr, dib.bitmap(), 1, 1, line.data(), AsInfo(header), DIB_RGB_COLORS),
              1);
    EXPECT_TRUE(zembrix::test::PixelsAre(dib, "../ab/..", {{'.', 7}, {'a', 0xA}, {'b', 0xB}}));
    ASSERT_EQ(SetDIBits(nullptr, dib.bitmap(), 0, 1, line.data(), AsInfo(header), DIB_RGB_COLORS),
              1);
    EXPECT_TRUE(zembrix::test::PixelsAre(dib, "../ab/ab", {{'.', 7}, {'a', 0xA}, {'b', 0xB}}));
    // More lines than the header has: only those up to its top (ASan checks
    // the exact-size vector).
    const std::vector<std::uint32_t> two(4, 0xC);
    EXPECT_EQ(SetDIBits(nullptr, dib.bitmap(), 2, 50, two.data(), AsInfo(header), DIB_RGB_COLORS),
              1);
    EXPECT_EQ(dib.At(0, 0), 0xCu);
    EXPECT_EQ(SetDIBits(nullptr, dib.bitmap(), 3, 1, two.data(), AsInfo(header), DIB_RGB_COLORS),
              0);
}

TEST(DiBits, FailOnInvalidHandlesFormatsAndBuffers) {
    Dib dib(2, 2);
    ASSERT_TRUE(dib.Valid());
    BITMAPV4HEADER header = ViewHeader(2, 2);
    std::vector<std::uint32_t> buffer(4);
    const HBITMAP gone = Create(header);
    ASSERT_TRUE(DeleteObject(gone));
    for (const HBITMAP bad : {HBITMAP{nullptr}, reinterpret_cast<HBITMAP>(dib.dc()), gone}) {
        EXPECT_EQ(GetDIBits(nullptr, bad, 0, 2, buffer.data(), AsInfo(header), 0), 0);
        EXPECT_EQ(SetDIBits(nullptr, bad, 0, 2, buffer.data(), AsInfo(header), 0), 0);
    }
    EXPECT_EQ(GetDIBits(reinterpret_cast<HDC>(dib.bitmap()), dib.bitmap(), 0, 2, buffer.data(),
                        AsInfo(header), DIB_RGB_COLORS),
              0);
    EXPECT_EQ(GetDIBits(nullptr, dib.bitmap(), 0, 2, buffer.data(), AsInfo(header), 7), 0);
    EXPECT_EQ(GetDIBits(nullptr, dib.bitmap(), 0, 2, nullptr, AsInfo(header), DIB_RGB_COLORS), 0);
    EXPECT_EQ(SetDIBits(nullptr, dib.bitmap(), 0, 2, nullptr, AsInfo(header), DIB_RGB_COLORS), 0);
    EXPECT_EQ(SetDIBits(nullptr, dib.bitmap(), 0, 2, buffer.data(), nullptr, DIB_RGB_COLORS), 0);
    header.bV4BitCount = 24;
    EXPECT_EQ(SetDIBits(nullptr, dib.bitmap(), 0, 2, buffer.data(), AsInfo(header), DIB_RGB_COLORS),
              0);
}

}  // namespace
