#include "view/bmp_file.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::uint32_t Read32(const std::vector<std::uint8_t>& f, std::size_t at) {
    return f[at] | f[at + 1] << 8 | f[at + 2] << 16 | std::uint32_t{f[at + 3]} << 24;
}
std::uint32_t Read16(const std::vector<std::uint8_t>& f, std::size_t at) {
    return f[at] | f[at + 1] << 8;
}

TEST(BmpFileTest, HeaderFieldsFollowTheLayout) {
    const std::vector<std::uint32_t> pixels(3 * 2, 0x00112233);
    const auto file = BuildBmpFile(pixels, 3, 2);
    ASSERT_TRUE(file);
    const std::vector<std::uint8_t>& f = *file;
    ASSERT_EQ(f.size(), 54u + 2 * 12);
    EXPECT_EQ(f[0], 'B');
    EXPECT_EQ(f[1], 'M');
    EXPECT_EQ(Read32(f, 2), f.size());  // bfSize
    EXPECT_EQ(Read32(f, 6), 0u);        // both reserved words
    EXPECT_EQ(Read32(f, 10), 54u);      // bfOffBits
    EXPECT_EQ(Read32(f, 14), 40u);      // biSize
    EXPECT_EQ(Read32(f, 18), 3u);       // biWidth
    EXPECT_EQ(Read32(f, 22), 2u);       // biHeight, positive
    EXPECT_EQ(Read16(f, 26), 1u);       // biPlanes
    EXPECT_EQ(Read16(f, 28), 24u);      // biBitCount
    for (std::size_t at = 30; at < 54; at += 4) {
        EXPECT_EQ(Read32(f, at), 0u) << at;  // BI_RGB, sizes, resolutions, colours
    }
}

TEST(BmpFileTest, RowLengthsAndFileSizes) {
    EXPECT_EQ(BmpRowBytes(1), 4u);
    EXPECT_EQ(BmpRowBytes(3), 12u);
    EXPECT_EQ(BmpRowBytes(4), 12u);
    EXPECT_EQ(BmpRowBytes(100), 300u);
    EXPECT_EQ(BmpFileBytes(100, 100), 30054u);
    const std::vector<std::uint32_t> one{0x00A1B2C3};
    const auto tiny = BuildBmpFile(one, 1, 1);
    ASSERT_TRUE(tiny);
    ASSERT_EQ(tiny->size(), 58u);
    EXPECT_EQ((*tiny)[54], 0xC3);  // blue
    EXPECT_EQ((*tiny)[55], 0xB2);  // green
    EXPECT_EQ((*tiny)[56], 0xA1);  // red
    EXPECT_EQ((*tiny)[57], 0x00);  // padding
}

TEST(BmpFileTest, RowsKeepTheImagesBottomUpOrderAndEndInZeros) {
    // Row 0 of the bottom-up image is the bottom row on screen.
    const std::vector<std::uint32_t> pixels{0xFF010203, 0xFF040506, 0xFF070809,   // bottom
                                            0x000A0B0C, 0x000D0E0F, 0x00101112};  // top
    const auto file = BuildBmpFile(pixels, 3, 2);
    ASSERT_TRUE(file);
    const std::vector<std::uint8_t> expected{3,  2,  1,  6,  5,  4,  9,  8,  7,  0, 0, 0,
                                             12, 11, 10, 15, 14, 13, 18, 17, 16, 0, 0, 0};
    EXPECT_EQ(std::vector<std::uint8_t>(file->begin() + 54, file->end()), expected);

    const std::vector<std::uint32_t> four(4, 0x00FFFFFF);
    const auto noPadding = BuildBmpFile(four, 4, 1);
    ASSERT_TRUE(noPadding);
    EXPECT_EQ(noPadding->size(), 54u + 12);
    EXPECT_EQ(noPadding->back(), 0xFF);
}

TEST(BmpFileTest, NoFileForNoPictureOrTooLargeAFile) {
    const std::vector<std::uint32_t> pixels(16, 0);
    EXPECT_FALSE(BuildBmpFile(pixels, 0, 4));
    EXPECT_FALSE(BuildBmpFile(pixels, 4, 0));
    EXPECT_FALSE(BuildBmpFile(pixels, -4, 4));
    EXPECT_FALSE(BuildBmpFile(pixels, 4, 5));  // the buffer holds only 4 rows
    EXPECT_FALSE(BuildBmpFile({}, 1, 1));
    // 54 + 65536 x 65536 x 3 bytes does not fit the 32-bit size field; the
    // size is refused before the short buffer is looked at.
    EXPECT_EQ(BmpFileBytes(65536, 65536), 54u + 3ull * 65536 * 65536);
    EXPECT_FALSE(BuildBmpFile(pixels, 65536, 65536));
    EXPECT_FALSE(BuildBmpFile(pixels, INT32_MAX, INT32_MAX));
    // The largest file that fits: 54 + H x S <= 2^32 - 1.
    EXPECT_LE(BmpFileBytes(21845, 65535), 0xFFFFFFFFull);
    EXPECT_GT(BmpFileBytes(21846, 65536), 0xFFFFFFFFull);
}

}  // namespace
