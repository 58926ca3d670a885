#include "bench/literal_loop.h"

namespace {

std::uint32_t IterateLiteral(double cr, double ci, std::uint32_t limit) {
    double zr = cr;
    double zi = ci;
    std::uint32_t n = 0;
    for (;;) {
        const double newZr = (zr * zr - zi * zi) + cr;
        const double p = zi * zr;
        const double newZi = p + p + ci;
        zr = newZr;
        zi = newZi;
        ++n;
        if (n >= limit) {
            return n;
        }
        if (zi * zi + zr * zr > 4.0) {
            return n;
        }
    }
}

}  // namespace

void ComputeRowLiteral(std::uint32_t* out, std::int32_t width, double x1, double dx, double y,
                       std::uint32_t limit) {
    double x = x1;
    for (std::int32_t k = 0; k < width; ++k) {
        out[k] = IterateLiteral(x, y, limit);
        x = x + dx;
    }
}
