#include "platform/user/bmp_decode.h"

#include <new>

namespace platform {
namespace {

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiRle8 = 1;
constexpr std::uint64_t kFileHeaderBytes = 14;
constexpr std::uint64_t kInfoHeaderBytes = 40;

// The input with every read checked; offsets and counts in 64 bits, so no sum
// of two of them wraps.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint64_t size() const { return size_; }
    bool Has(std::uint64_t at, std::uint64_t count) const {
        return at <= size_ && count <= size_ - at;
    }
    bool U8(std::uint64_t at, std::uint32_t& value) const {
        if (!Has(at, 1)) {
            return false;
        }
        value = data_[at];
        return true;
    }
    bool U16(std::uint64_t at, std::uint32_t& value) const {
        if (!Has(at, 2)) {
            return false;
        }
        value = data_[at] | std::uint32_t{data_[at + 1]} << 8;
        return true;
    }
    bool U32(std::uint64_t at, std::uint32_t& value) const {
        if (!Has(at, 4)) {
            return false;
        }
        value = data_[at] | std::uint32_t{data_[at + 1]} << 8 | std::uint32_t{data_[at + 2]} << 16 |
                std::uint32_t{data_[at + 3]} << 24;
        return true;
    }

private:
    const std::uint8_t* data_;
    std::uint64_t size_;
};

std::uint32_t Opaque(std::uint32_t blue, std::uint32_t green, std::uint32_t red) {
    return 0xFF000000u | red << 16 | green << 8 | blue;
}

// The output with every write checked; y counts rows from the bottom, as the
// file stores them.
class Output {
public:
    explicit Output(DecodedBmp& bmp) : bmp_(bmp) {}
    bool Put(std::uint64_t x, std::uint64_t yFromBottom, std::uint32_t color) {
        const auto w = static_cast<std::uint64_t>(bmp_.width);
        const auto h = static_cast<std::uint64_t>(bmp_.height);
        if (x >= w || yFromBottom >= h) {
            return false;
        }
        const std::uint64_t at = (h - 1 - yFromBottom) * w + x;
        if (at >= bmp_.pixels.size()) {
            return false;
        }
        bmp_.pixels[static_cast<std::size_t>(at)] = color;
        return true;
    }

private:
    DecodedBmp& bmp_;
};

struct Layout {
    std::int32_t width = 0;
    std::int32_t height = 0;  // positive
    bool topDown = false;
    std::uint32_t bits = 0;
    std::uint32_t compression = 0;
    std::uint64_t pixelsAt = 0;   // the first byte of the pixel data
    std::uint64_t pixelsEnd = 0;  // one past its last byte
    std::vector<std::uint32_t> palette;
};

bool ReadLayout(const Input& in, Layout& layout) {
    std::uint32_t b = 0, m = 0, offBits = 0, infoSize = 0, width = 0, height = 0, planes = 0,
                  sizeImage = 0, colorsUsed = 0;
    if (!in.U8(0, b) || !in.U8(1, m) || b != 'B' || m != 'M' || !in.U32(10, offBits) ||
        !in.U32(14, infoSize) || !in.U32(18, width) || !in.U32(22, height) || !in.U16(26, planes) ||
        !in.U16(28, layout.bits) || !in.U32(30, layout.compression) || !in.U32(34, sizeImage) ||
        !in.U32(46, colorsUsed)) {
        return false;
    }
    const std::uint64_t headersEnd = kFileHeaderBytes + infoSize;
    if (infoSize < kInfoHeaderBytes || !in.Has(0, headersEnd) || planes != 1) {
        return false;
    }
    const auto signedWidth = static_cast<std::int32_t>(width);
    const auto signedHeight = static_cast<std::int32_t>(height);
    if (signedWidth < 1 || signedWidth > kMaxBmpSide || signedHeight == 0 ||
        signedHeight < -kMaxBmpSide || signedHeight > kMaxBmpSide) {
        return false;
    }
    layout.width = signedWidth;
    layout.topDown = signedHeight < 0;
    layout.height = layout.topDown ? -signedHeight : signedHeight;
    if (static_cast<std::uint64_t>(layout.width) * static_cast<std::uint64_t>(layout.height) >
        kMaxBmpPixels) {
        return false;
    }
    const bool indexed =
        layout.bits == 8 && (layout.compression == kBiRgb || layout.compression == kBiRle8);
    const bool direct = (layout.bits == 24 || layout.bits == 32) && layout.compression == kBiRgb;
    // RLE8 is bottom-up only.
    if ((!indexed && !direct) || (layout.compression == kBiRle8 && layout.topDown)) {
        return false;
    }
    if (offBits < headersEnd || offBits >= in.size()) {
        return false;
    }
    layout.pixelsAt = offBits;
    layout.pixelsEnd = in.size();
    if (layout.compression == kBiRle8 && sizeImage != 0) {
        if (!in.Has(offBits, sizeImage)) {
            return false;
        }
        layout.pixelsEnd = std::uint64_t{offBits} + sizeImage;
    }
    if (indexed) {
        // The palette lies between the headers and the pixels.
        const std::uint64_t count = colorsUsed == 0 ? 256 : colorsUsed;
        if (count > 256 || headersEnd + 4 * count > offBits) {
            return false;
        }
        layout.palette.resize(static_cast<std::size_t>(count));
        for (std::uint64_t i = 0; i < count; ++i) {
            std::uint32_t entry = 0;
            if (!in.U32(headersEnd + 4 * i, entry)) {
                return false;
            }
            layout.palette[static_cast<std::size_t>(i)] =
                Opaque(entry & 0xFF, entry >> 8 & 0xFF, entry >> 16 & 0xFF);
        }
    }
    return true;
}

bool IndexColor(const Layout& layout, std::uint32_t index, std::uint32_t& color) {
    if (index >= layout.palette.size()) {
        return false;
    }
    color = layout.palette[index];
    return true;
}

bool DecodeRows(const Input& in, const Layout& layout, Output& out) {
    const std::uint64_t w = static_cast<std::uint64_t>(layout.width);
    const std::uint64_t h = static_cast<std::uint64_t>(layout.height);
    const std::uint64_t bytesPerPixel = layout.bits / 8;
    const std::uint64_t stride = (w * layout.bits + 31) / 32 * 4;
    // The last row may go without its padding.
    if (!in.Has(layout.pixelsAt, (h - 1) * stride + w * bytesPerPixel)) {
        return false;
    }
    for (std::uint64_t row = 0; row < h; ++row) {
        const std::uint64_t y = layout.topDown ? h - 1 - row : row;
        const std::uint64_t rowAt = layout.pixelsAt + row * stride;
        for (std::uint64_t x = 0; x < w; ++x) {
            const std::uint64_t at = rowAt + x * bytesPerPixel;
            std::uint32_t color = 0;
            if (layout.bits == 8) {
                std::uint32_t index = 0;
                if (!in.U8(at, index) || !IndexColor(layout, index, color)) {
                    return false;
                }
            } else {
                std::uint32_t blue = 0, green = 0, red = 0;
                if (!in.U8(at, blue) || !in.U8(at + 1, green) || !in.U8(at + 2, red)) {
                    return false;
                }
                color = Opaque(blue, green, red);
            }
            if (!out.Put(x, y, color)) {
                return false;
            }
        }
    }
    return true;
}

// BI_RLE8: pairs (count, index) give runs; (0, 0) ends a line, (0, 1) the
// bitmap, (0, 2, dx, dy) moves right and up; (0, n >= 3) is followed by n
// indices, padded to an even count. Pixels that no command sets keep palette
// entry 0. Data that ends before the end-of-bitmap mark is truncated.
bool DecodeRle8(const Input& in, const Layout& layout, Output& out) {
    const std::uint64_t w = static_cast<std::uint64_t>(layout.width);
    const std::uint64_t h = static_cast<std::uint64_t>(layout.height);
    std::uint64_t x = 0;
    std::uint64_t y = 0;
    std::uint64_t at = layout.pixelsAt;
    auto next = [&](std::uint32_t& value) {
        if (at >= layout.pixelsEnd || !in.U8(at, value)) {
            return false;
        }
        ++at;
        return true;
    };
    for (;;) {
        std::uint32_t count = 0, value = 0;
        if (!next(count) || !next(value)) {
            return false;
        }
        if (count > 0) {
            std::uint32_t color = 0;
            if (y >= h || x + count > w || !IndexColor(layout, value, color)) {
                return false;
            }
            for (std::uint32_t i = 0; i < count; ++i, ++x) {
                if (!out.Put(x, y, color)) {
                    return false;
                }
            }
            continue;
        }
        switch (value) {
            case 0:
                x = 0;
                if (++y > h) {
                    return false;
                }
                break;
            case 1:
                return true;
            case 2: {
                std::uint32_t dx = 0, dy = 0;
                if (!next(dx) || !next(dy) || x + dx > w || y + dy >= h) {
                    return false;
                }
                x += dx;
                y += dy;
                break;
            }
            default: {
                if (y >= h || x + value > w) {
                    return false;
                }
                for (std::uint32_t i = 0; i < value; ++i, ++x) {
                    std::uint32_t index = 0, color = 0;
                    if (!next(index) || !IndexColor(layout, index, color) ||
                        !out.Put(x, y, color)) {
                        return false;
                    }
                }
                std::uint32_t pad = 0;
                if ((value & 1) != 0 && !next(pad)) {
                    return false;
                }
                break;
            }
        }
    }
}

}  // namespace

std::optional<DecodedBmp> DecodeBmp(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr) {
        return std::nullopt;
    }
    try {
        const Input in(data, size);
        Layout layout;
        if (!ReadLayout(in, layout)) {
            return std::nullopt;
        }
        DecodedBmp bmp;
        bmp.width = layout.width;
        bmp.height = layout.height;
        const std::uint32_t background = layout.palette.empty() ? 0xFF000000u : layout.palette[0];
        bmp.pixels.assign(
            static_cast<std::size_t>(layout.width) * static_cast<std::size_t>(layout.height),
            background);
        Output out(bmp);
        const bool decoded = layout.compression == kBiRle8 ? DecodeRle8(in, layout, out)
                                                           : DecodeRows(in, layout, out);
        if (!decoded) {
            return std::nullopt;
        }
        return bmp;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

}  // namespace platform
