// The .bmp decoder behind SS_BITMAP statics on any bytes: either no picture,
// or one whose sides are within the limits and whose pixels are all there.
// The input lies in a buffer of exactly its size, so the address checks see
// any read past it.
#include <cstdint>
#include <vector>

#include "platform/user/bmp_decode.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> exact(data, data + size);
    const auto image = platform::DecodeBmp(exact.data(), exact.size());
    if (image) {
        FUZZ_CHECK(image->width >= 1 && image->width <= platform::kMaxBmpSide &&
                   image->height >= 1 && image->height <= platform::kMaxBmpSide);
        FUZZ_CHECK(image->pixels.size() == static_cast<std::size_t>(image->width) *
                                               static_cast<std::size_t>(image->height));
        for (std::uint32_t pixel : image->pixels) {
            FUZZ_CHECK((pixel >> 24) == 0xFF);
        }
    }
    return 0;
}
