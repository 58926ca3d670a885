#include "tools/render_to_file_values.h"

#include <cmath>

#include "tools/number_format.h"

std::size_t FormatRenderCorner(double value, char (&buffer)[kRenderCornerBufferSize]) {
    return FormatCorner(value, 18, buffer, kRenderCornerBufferSize);
}

std::uint32_t ProposedHeight(std::int32_t width, const Region& region) {
    const double spanX = region.X2 - region.X1;
    const double spanY = region.Y2 - region.Y1;
    const double height = std::fabs((static_cast<double>(width) * spanY) / spanX);
    // Below 2^32 the truncation fits; NaN fails the comparison.
    if (!(height < 4294967296.0)) {
        return 0;
    }
    return static_cast<std::uint32_t>(height);
}
