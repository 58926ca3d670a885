#include "view/bmp_file.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

std::uint32_t Read32(const std::vector<std::uint8_t>& f, std::size_t at) {
    return f[at] | f[at + 1] << 8 | f[at + 2] << 16 | std::uint32_t{f[at + 3]} << 24;
}

TEST(BmpFileTest, HeadersAndBottomUpRowsEndingInZeros) {
    // Row 0 of the bottom-up image is the bottom row on screen.
    const std::vector<std::uint32_t> pixels{0xFF010203, 0xFF040506, 0xFF070809,   // bottom
                                            0x000A0B0C, 0x000D0E0F, 0x00101112};  // top
    const auto file = BuildBmpFile(pixels, 3, 2);
    ASSERT_TRUE(file);
    const std::vector<std::uint8_t>& f = *file;
    ASSERT_EQ(f.size(), 54u + 2 * 12);
    EXPECT_EQ(std::string(f.begin(), f.begin() + 2), "BM");
    const std::uint32_t fields[] = {78, 0, 54, 40, 3, 2};  // bfSize .. biHeight
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(Read32(f, 2 + 4 * i), fields[i]) << i;
    }
    EXPECT_EQ(Read32(f, 26), 1u | 24u << 16);  // biPlanes, biBitCount
    for (std::size_t at = 30; at < 54; at += 4) {
        EXPECT_EQ(Read32(f, at), 0u) << at;  // BI_RGB, sizes, resolutions, colours
    }
    const std::vector<std::uint8_t> rows{3,  2,  1,  6,  5,  4,  9,  8,  7,  0, 0, 0,
                                         12, 11, 10, 15, 14, 13, 18, 17, 16, 0, 0, 0};
    EXPECT_EQ(std::vector<std::uint8_t>(f.begin() + 54, f.end()), rows);
}

TEST(BmpFileTest, SizesOfTheLayoutAndNoFileForNoPictureTooFewPixelsOrTooLargeAFile) {
    EXPECT_EQ(BmpFileBytes(100, 100), 30054u);  // rows of 300 bytes, no padding
    EXPECT_EQ(BmpRowBytes(3), 12u);
    EXPECT_EQ(BmpRowBytes(4), 12u);
    EXPECT_LE(BmpFileBytes(21845, 65535), 0xFFFFFFFFu);  // the largest that fit
    EXPECT_GT(BmpFileBytes(21846, 65536), 0xFFFFFFFFu);
    const std::vector<std::uint32_t> pixels(16, 0);
    // No picture, a buffer of only 4 rows, past the 32-bit size field.
    for (const auto& [w, h] :
         {std::pair{0, 4}, {-4, 4}, {4, 5}, {65536, 65536}, {INT32_MAX, INT32_MAX}}) {
        EXPECT_FALSE(BuildBmpFile(pixels, w, h)) << w << " x " << h;
    }
}

}  // namespace
