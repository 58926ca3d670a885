// Where the view's image lands in its client area: copied 1:1 and centred,
// never scaled. No window in it.
#pragma once

#include <cstdint>

// (client - image) / 2, truncating toward zero: for a client of 101, 99 and
// 97 pixels and an image of 100 the image starts at 0, 0 and -1. Worked out in
// 64 bits, so no pair of 32-bit sizes overflows.
std::int32_t CenteredOffset(std::int32_t clientExtent, std::int32_t imageExtent);
