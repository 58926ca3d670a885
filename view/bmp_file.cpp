#include "view/bmp_file.h"

#include <cstddef>
#include <new>
#include <stdexcept>

namespace {

void Put16(std::uint8_t* at, std::uint32_t value) {
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}

void Put32(std::uint8_t* at, std::uint32_t value) {
    Put16(at, value & 0xFFFF);
    Put16(at + 2, value >> 16);
}

}  // namespace

std::uint64_t BmpRowBytes(std::int32_t width) {
    if (width <= 0) {
        return 0;
    }
    return (3 * std::uint64_t{static_cast<std::uint32_t>(width)} + 3) & ~std::uint64_t{3};
}

std::uint64_t BmpFileBytes(std::int32_t width, std::int32_t height) {
    if (width <= 0 || height <= 0) {
        return 0;
    }
    return kBmpHeaderBytes + std::uint64_t{static_cast<std::uint32_t>(height)} * BmpRowBytes(width);
}

std::optional<std::vector<std::uint8_t>> BuildBmpFile(std::span<const std::uint32_t> pixels,
                                                      std::int32_t width, std::int32_t height) {
    const std::uint64_t fileBytes = BmpFileBytes(width, height);
    if (fileBytes == 0 || fileBytes > UINT32_MAX) {  // size_t holds at least 32 bits
        return std::nullopt;
    }
    const std::size_t w = static_cast<std::size_t>(width);
    const std::size_t h = static_cast<std::size_t>(height);
    if (h > pixels.size() / w) {
        return std::nullopt;
    }
    const std::size_t rowBytes = static_cast<std::size_t>(BmpRowBytes(width));

    std::vector<std::uint8_t> file;
    try {
        file.assign(static_cast<std::size_t>(fileBytes), 0);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    } catch (const std::length_error&) {
        return std::nullopt;
    }
    std::uint8_t* p = file.data();
    p[0] = 'B';
    p[1] = 'M';
    Put32(p + 2, static_cast<std::uint32_t>(fileBytes));  // bfSize
    // bfReserved1, bfReserved2 stay 0.
    Put32(p + 10, kBmpHeaderBytes);                     // bfOffBits
    Put32(p + 14, 40);                                  // biSize
    Put32(p + 18, static_cast<std::uint32_t>(width));   // biWidth
    Put32(p + 22, static_cast<std::uint32_t>(height));  // biHeight: bottom-up
    Put16(p + 26, 1);                                   // biPlanes
    Put16(p + 28, 24);                                  // biBitCount
    // biCompression BI_RGB, biSizeImage, resolutions and colour counts stay 0.

    // The image is bottom-up like the file, so rows keep their order.
    for (std::size_t r = 0; r < h; ++r) {
        const std::uint32_t* source = pixels.data() + r * w;
        std::uint8_t* target = p + kBmpHeaderBytes + r * rowBytes;
        for (std::size_t k = 0; k < w; ++k) {
            const std::uint32_t pixel = source[k];
            target[3 * k] = static_cast<std::uint8_t>(pixel);            // blue
            target[3 * k + 1] = static_cast<std::uint8_t>(pixel >> 8);   // green
            target[3 * k + 2] = static_cast<std::uint8_t>(pixel >> 16);  // red
        }
    }
    return file;
}
