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

// Each directory entry names its size, and its DIB is twice as high (colour
// rows and mask), 32-bit, bottom row first, with the icon picture's pixels in
// blue, green, red, opaque alpha order and an empty mask.
TEST(WindowsIcon, HoldsTheIconPictureAtEverySizeAsBottomUpDibs) {
    const std::vector<std::uint8_t> ico = BuildWindowsIcon();
    ASSERT_GE(ico.size(), 6u);
    EXPECT_EQ(Read32(ico, 0), 0x00010000u);  // reserved 0, type 1 (icon)
    ASSERT_EQ(ico[4] | ico[5] << 8, 5);
    std::size_t expectedOffset = 6 + 16 * 5;
    for (int i = 0; i < 5; ++i) {
        const int side = kWindowsIconSides[i];
        SCOPED_TRACE(side);
        const std::size_t entry = 6 + 16 * static_cast<std::size_t>(i);
        EXPECT_EQ(ico[entry], side & 0xFF);  // 256 is written 0
        EXPECT_EQ(ico[entry + 1], side & 0xFF);
        EXPECT_EQ(Read32(ico, entry + 4), 32u << 16 | 1u);  // 1 plane, 32 bits
        const std::size_t size = Read32(ico, entry + 8), offset = Read32(ico, entry + 12);
        EXPECT_EQ(offset, expectedOffset);
        const std::size_t maskStride = (side + 31) / 32 * 4;
        const std::size_t pixels = static_cast<std::size_t>(side) * side;
        ASSERT_EQ(size, 40 + pixels * 4 + maskStride * side);
        ASSERT_LE(offset + size, ico.size());
        expectedOffset += size;
        EXPECT_EQ(Read32(ico, offset + 4), static_cast<std::uint32_t>(side));
        EXPECT_EQ(Read32(ico, offset + 8), static_cast<std::uint32_t>(2 * side));

        const std::vector<std::uint8_t> rgb = RenderIconRgb(side);  // top row first
        std::vector<std::uint8_t> expected;
        for (int row = side - 1; row >= 0; --row) {
            for (int x = 0; x < side; ++x) {
                const std::uint8_t* p = &rgb[(static_cast<std::size_t>(row) * side + x) * 3];
                expected.insert(expected.end(), {p[2], p[1], p[0], 0xFF});
            }
        }
        expected.resize(expected.size() + maskStride * side, 0);
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), ico.begin() + offset + 40));
    }
    EXPECT_EQ(expectedOffset, ico.size());
    // A side Windows cannot list, or pixels that do not fill it, give no file.
    EXPECT_TRUE(
        BuildIconFile(std::vector<IconImage>{{257, std::vector<std::uint8_t>(257 * 257 * 3)}})
            .empty());
    EXPECT_TRUE(BuildIconFile(std::vector<IconImage>{{16, std::vector<std::uint8_t>(16 * 15 * 3)}})
                    .empty());
}

}  // namespace
