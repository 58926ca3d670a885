// The pictures the generator makes: the committed About picture is its output
// byte for byte (a change to the engine or the colour map that it draws with
// must come with a regenerated about.bmp), and the Windows icon holds the
// Linux icon's picture at each of its sizes, laid out as Windows reads it.
#include "resources/generator/about_bitmap.h"
#include "resources/generator/icon_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

namespace {

TEST(AboutBitmap, CommittedFileIsTheGeneratorsOutput) {
    std::ifstream in(ZEMBRIX_ABOUT_BMP, std::ios::binary);
    ASSERT_TRUE(in) << ZEMBRIX_ABOUT_BMP;
    const std::vector<std::uint8_t> committed{std::istreambuf_iterator<char>(in), {}};
    EXPECT_TRUE(committed == BuildAboutBitmap()) << "regenerate with zembrix-about-bitmap";
}

std::uint32_t Read32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16 |
           static_cast<std::uint32_t>(b.at(at + 3)) << 24;
}

// Each directory entry names its side (256 written 0) and points at a DIB of
// twice that height (colour rows and mask): the icon picture bottom row first,
// blue, green, red, opaque alpha, then an empty mask.
TEST(WindowsIcon, HoldsTheIconPictureAtEverySizeAsBottomUpDibs) {
    const std::vector<std::uint8_t> ico = BuildWindowsIcon();
    ASSERT_EQ(Read32(ico, 0), 0x00010000u);  // reserved 0, type 1 (icon)
    ASSERT_EQ(ico.at(4), 5);
    std::size_t end = 6 + 16 * 5;
    for (std::size_t i = 0; i < 5; ++i) {
        const int side = kWindowsIconSides[i];
        const std::size_t entry = 6 + 16 * i, offset = Read32(ico, entry + 12);
        const std::size_t size = Read32(ico, entry + 8);
        ASSERT_LE(offset + size, ico.size());
        const std::vector<std::uint8_t> dib(ico.begin() + offset + 40, ico.begin() + offset + size);
        const std::vector<std::uint8_t> rgb = RenderIconRgb(side);  // top row first
        std::vector<std::uint8_t> expected;
        for (int row = side - 1; row >= 0; --row) {
            for (auto p = rgb.begin() + row * side * 3; p != rgb.begin() + (row + 1) * side * 3;
                 p += 3)
                expected.insert(expected.end(), {p[2], p[1], p[0], 0xFF});
        }
        expected.resize(expected.size() + (side + 31) / 32 * 4 * side, 0);
        EXPECT_EQ(offset, end) << side;
        EXPECT_EQ(ico[entry] | ico[entry + 1] << 8, (side & 0xFF) | (side & 0xFF) << 8) << side;
        EXPECT_EQ(Read32(ico, offset + 8), 2u * side) << side;
        EXPECT_TRUE(dib == expected) << side;
        end += size;
    }
    EXPECT_EQ(end, ico.size());
}

}  // namespace
