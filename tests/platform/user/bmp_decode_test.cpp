// The .bmp decoder of SS_BITMAP statics: the About bitmap and the good files
// decode to the pixels Qt's own reader gives (where Qt defines them), each
// malformed file and every truncation of an RLE8 file is rejected. Inputs sit
// in buffers of their exact size, so a read past the end shows under
// AddressSanitizer.
#include "platform/user/bmp_decode.h"

#include <gtest/gtest.h>

#include <QImage>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in),
                                     std::istreambuf_iterator<char>());
}

std::vector<fs::path> FilesIn(const fs::path& folder) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == ".bmp") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::optional<platform::DecodedBmp> Decode(const std::vector<std::uint8_t>& bytes,
                                           std::size_t size) {
    // A heap block of exactly `size` bytes.
    const std::vector<std::uint8_t> exact(bytes.begin(), bytes.begin() + static_cast<long>(size));
    return platform::DecodeBmp(exact.empty() ? nullptr : exact.data(), exact.size());
}

TEST(BmpDecode, DecodesAsQtReadsTheAboutBitmapAndEachGoodFile) {
    std::vector<fs::path> files = FilesIn(fs::path(ZEMBRIX_BMP_FIXTURES) / "good");
    ASSERT_GE(files.size(), 7u);
    files.push_back(ZEMBRIX_ABOUT_BMP);
    for (const fs::path& file : files) {
        // Qt leaves the pixels that no RLE8 command sets as they were in
        // memory (one of them differed in about one run in ten); that file
        // is checked pixel by pixel below.
        if (file.filename() == "rle8-skips.bmp") {
            continue;
        }
        SCOPED_TRACE(file.filename().string());
        const std::vector<std::uint8_t> bytes = ReadBytes(file);
        const auto decoded = Decode(bytes, bytes.size());
        ASSERT_TRUE(decoded.has_value());
        QImage reference;
        ASSERT_TRUE(reference.loadFromData(bytes.data(), static_cast<int>(bytes.size()), "BMP"));
        reference = reference.convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(decoded->width, reference.width());
        ASSERT_EQ(decoded->height, reference.height());
        int differing = 0;
        for (int y = 0; y < reference.height(); ++y) {
            for (int x = 0; x < reference.width(); ++x) {
                const std::uint32_t mine =
                    decoded->pixels[static_cast<std::size_t>(y) * decoded->width + x];
                differing += mine != (reference.pixel(x, y) | 0xFF000000u) ? 1 : 0;
            }
        }
        EXPECT_EQ(differing, 0);
    }
}

// Runs, a move right and up, and line ends; every pixel no command sets is
// palette entry 0 (black here). Rows come out top first.
TEST(BmpDecode, PixelsThatNoRle8CommandSetsArePaletteEntryZero) {
    const std::vector<std::uint8_t> bytes =
        ReadBytes(fs::path(ZEMBRIX_BMP_FIXTURES) / "good" / "rle8-skips.bmp");
    const auto decoded = Decode(bytes, bytes.size());
    ASSERT_TRUE(decoded.has_value());
    ASSERT_EQ(decoded->width, 6);
    ASSERT_EQ(decoded->height, 4);
    const std::uint32_t k = 0xFF000000u;  // entry 0
    const std::uint32_t r = 0xFFFF0000u;  // entry 3
    const std::uint32_t g = 0xFF00FF00u;  // entry 2
    const std::uint32_t o = 0xFF785028u;  // entry 4
    const std::vector<std::uint32_t> expected = {
        k, k, k, k, k, k,  // no command reaches the top row
        o, o, k, k, k, k,  // two of entry 4 after the second line end
        k, k, k, k, k, g,  // one of entry 2 after moving 2 right and 1 up
        r, r, r, k, k, k,  // three of entry 3 first, at the bottom
    };
    EXPECT_EQ(decoded->pixels, expected);
}

TEST(BmpDecode, RejectsEveryMalformedFileAndEveryTruncatedRle8File) {
    const fs::path fixtures(ZEMBRIX_BMP_FIXTURES);
    const std::vector<fs::path> malformed = FilesIn(fixtures / "malformed");
    ASSERT_GE(malformed.size(), 30u);
    for (const fs::path& file : malformed) {
        const std::vector<std::uint8_t> bytes = ReadBytes(file);
        EXPECT_FALSE(Decode(bytes, bytes.size()).has_value()) << file.filename();
    }
    EXPECT_FALSE(platform::DecodeBmp(nullptr, 100).has_value());
    for (const fs::path& file : {fixtures / "good" / "rle8.bmp", fs::path(ZEMBRIX_ABOUT_BMP)}) {
        const std::vector<std::uint8_t> bytes = ReadBytes(file);
        for (std::size_t size = 0; size < bytes.size(); ++size) {
            ASSERT_FALSE(Decode(bytes, size).has_value()) << file.filename() << " cut at " << size;
        }
    }
}

}  // namespace
