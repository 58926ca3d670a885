// Decoding of a .bmp file for SS_BITMAP statics, without Qt: a
// BITMAPFILEHEADER and a BITMAPINFOHEADER (or a longer info header of the
// same start), then 8 bits per pixel with a palette, uncompressed or BI_RLE8,
// or 24 or 32 bits per pixel uncompressed; rows bottom-up, or top-down for a
// negative height (not with RLE8, as on Windows).
//
// Leaves out: 1, 4 and 16 bits per pixel, BI_RLE4, BI_BITFIELDS, embedded
// JPEG/PNG, the OS/2 core header and colour profiles.
//
// Every read of the input and every write of the output is checked against
// its bounds: any malformed file (truncated, offsets outside the file, sizes
// beyond the limits below, a palette index past the palette, an RLE8 run or
// delta past its line or the bitmap) gives no image at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace platform {

// The largest side and the most pixels a decoded bitmap may have: RLE8 data
// can claim a large picture in few bytes, so the output is bounded by itself.
inline constexpr std::int32_t kMaxBmpSide = 32767;
inline constexpr std::uint64_t kMaxBmpPixels = std::uint64_t{1} << 24;

struct DecodedBmp {
    std::int32_t width = 0;
    std::int32_t height = 0;
    // width x height pixels, the top row first, each 0xFFRRGGBB (opaque).
    std::vector<std::uint32_t> pixels;
};

// The picture of the file in `data` (size bytes), or nothing for a file that
// is malformed or of a kind left out above. A null `data` gives nothing.
std::optional<DecodedBmp> DecodeBmp(const std::uint8_t* data, std::size_t size);

}  // namespace platform
