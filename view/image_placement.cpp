#include "view/image_placement.h"

std::int32_t CenteredOffset(std::int32_t clientExtent, std::int32_t imageExtent) {
    // |difference| < 2^32, so half of it always fits 32 bits.
    return static_cast<std::int32_t>((std::int64_t{clientExtent} - imageExtent) / 2);
}
