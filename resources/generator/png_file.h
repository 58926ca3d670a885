// A minimal PNG writer: 8-bit RGB, no interlace, the image data in stored
// (uncompressed) deflate blocks, so no compression library is needed and the
// bytes depend on nothing but the pixels.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

// The CRC-32 of PNG chunks (ISO 3309, as zlib computes it).
std::uint32_t PngCrc32(std::span<const std::uint8_t> bytes, std::uint32_t crc = 0);

// The whole .png file of a width x height image, `rgb` holding 3 bytes per
// pixel, top row first. Empty when the sizes do not match or a side is not
// in 1..65535.
std::vector<std::uint8_t> BuildPng(std::int32_t width, std::int32_t height,
                                   std::span<const std::uint8_t> rgb);
