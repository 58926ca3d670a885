// The committed About picture is what the generator makes, byte for byte, and
// the generator's palette rule and RLE8 rows are what its header says.
#include "resources/generator/about_bitmap.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

namespace {

TEST(AboutBitmap, CommittedFileIsTheGeneratorsOutput) {
    std::ifstream in(ZEMBRIX_ABOUT_BMP, std::ios::binary);
    ASSERT_TRUE(in) << ZEMBRIX_ABOUT_BMP;
    const std::vector<std::uint8_t> committed{std::istreambuf_iterator<char>(in), {}};
    const std::vector<std::uint8_t> built = BuildAboutBitmap();
    ASSERT_EQ(committed.size(), built.size());
    EXPECT_TRUE(committed == built) << "regenerate with zembrix-about-bitmap";
    // 128 x 128, 8 bits, RLE8, 255 colours, 2834 pixels per metre.
    auto u32 = [&](std::size_t at) {
        return built[at] | built[at + 1] << 8 | built[at + 2] << 16 | built[at + 3] << 24;
    };
    EXPECT_EQ(u32(18), 128u);
    EXPECT_EQ(u32(22), 128u);
    EXPECT_EQ(built[28], 8);
    EXPECT_EQ(u32(30), 1u);
    EXPECT_EQ(u32(38), 2834u);
    EXPECT_EQ(u32(46), 255u);
    EXPECT_EQ(built[built.size() - 2], 0);
    EXPECT_EQ(built[built.size() - 1], 1) << "ends with the end-of-bitmap mark";
}

TEST(AboutBitmap, PaletteRuleMatchesTheNearestBlue) {
    EXPECT_EQ(AboutPaletteIndex(0), 0);
    EXPECT_EQ(AboutPaletteIndex(255), 254);
    for (int blue = 0; blue < 256; ++blue) {
        const int index = AboutPaletteIndex(static_cast<std::uint8_t>(blue));
        const int entry = (index * 255 + 127) / 254;
        EXPECT_LE(std::abs(entry - blue), 1) << blue;
    }
}

TEST(AboutBitmap, RowsSplitLongRunsAndEndTheLine) {
    std::vector<std::uint8_t> row(300, 7);
    row[299] = 9;
    std::vector<std::uint8_t> out;
    AppendRle8Row(row.data(), 300, out);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{255, 7, 44, 7, 1, 9, 0, 0}));
}

}  // namespace
