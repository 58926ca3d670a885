// The application icon: the PNG writer's checksums, and an icon file read
// back by an independent reader (Qt's) has exactly the rendered pixels.
#include <gtest/gtest.h>

#include <QImage>
#include <string_view>

#include "resources/generator/about_bitmap.h"
#include "resources/generator/png_file.h"

namespace {

TEST(IconPng, ChecksumsAndMalformedSizes) {
    constexpr std::string_view check = "123456789";
    EXPECT_EQ(PngCrc32({reinterpret_cast<const std::uint8_t*>(check.data()), check.size()}),
              0xCBF43926u);
    const std::uint8_t pixel[3] = {1, 2, 3};
    EXPECT_TRUE(BuildPng(0, 1, {}).empty());
    EXPECT_TRUE(BuildPng(1, 1, {pixel, 2}).empty());
    EXPECT_FALSE(BuildPng(1, 1, pixel).empty());
}

TEST(IconPng, ReadsBackAsTheRenderedPicture) {
    // 256 rows of 769 bytes need several stored blocks of at most 65535.
    for (int side : {48, 256}) {
        const std::vector<std::uint8_t> rgb = RenderIconRgb(side);
        const std::vector<std::uint8_t> png = BuildPng(side, side, rgb);
        QImage image;
        ASSERT_TRUE(image.loadFromData(png.data(), static_cast<int>(png.size()), "PNG")) << side;
        ASSERT_EQ(image.width(), side);
        ASSERT_EQ(image.height(), side);
        int differing = 0;
        for (int y = 0; y < side; ++y) {
            for (int x = 0; x < side; ++x) {
                const std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * side + x) * 3];
                differing += image.pixel(x, y) != qRgb(p[0], p[1], p[2]);
            }
        }
        EXPECT_EQ(differing, 0) << side;
    }
    // The set is black and its surroundings blue: the centre-left of the
    // picture lies inside the main cardioid.
    const std::vector<std::uint8_t> rgb = RenderIconRgb(48);
    const std::size_t centre = (24u * 48u + 24u) * 3u;
    EXPECT_EQ(rgb[centre] | rgb[centre + 1] | rgb[centre + 2], 0);
    EXPECT_GT(rgb[2], 0) << "the top-left corner is outside the set";
}

}  // namespace
