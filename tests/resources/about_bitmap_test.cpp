// The committed About picture is what the generator makes, byte for byte: a
// change to the engine or the colour map that the generator draws with must
// come with a regenerated about.bmp.
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
    EXPECT_TRUE(committed == BuildAboutBitmap()) << "regenerate with zembrix-about-bitmap";
}

}  // namespace
