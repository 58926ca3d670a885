// The 24-bit BMP file of a picture, built whole in memory: the 14-byte file
// header, the 40-byte info header, then the pixel rows, bottom row first, all
// little-endian. Writing it to disk belongs to the export.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

inline constexpr std::uint32_t kBmpHeaderBytes = 54;

// The length of one file row: 3 x width taken up to a multiple of 4. Formed in
// 64 bits; 0 for a width that is not positive.
std::uint64_t BmpRowBytes(std::int32_t width);

// 54 + height x row bytes, in 64 bits; 0 when a side is not positive.
std::uint64_t BmpFileBytes(std::int32_t width, std::int32_t height);

// The file for a bottom-up image of width x height 32-bit pixels (0x00RRGGBB:
// blue, green, red and zero bytes in memory; rows of `width` pixels, the
// bottom row first). Each file pixel takes the blue, green and red bytes; the
// rows end in zero bytes up to the row length. No file when a side is not
// positive, when `pixels` holds fewer than width x height pixels, when the
// file would not fit the header's 32-bit size field, or when its memory cannot
// be had.
std::optional<std::vector<std::uint8_t>> BuildBmpFile(std::span<const std::uint32_t> pixels,
                                                      std::int32_t width, std::int32_t height);
