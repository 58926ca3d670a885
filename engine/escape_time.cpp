#include "engine/escape_time.h"

namespace {

using wide::Add;
using wide::FromDouble;
using wide::Mul;
using wide::Sub;
using wide::ToDouble;

// Rounds a value the iteration stores into the double range and back.
WideDouble Store(const WideDouble& w) {
    return FromDouble(ToDouble(w));
}

}  // namespace

OrbitPoint StepExact(double zr, double zi, const WideDouble& cr, double ci) {
    const WideDouble r = FromDouble(zr);
    const WideDouble i = FromDouble(zi);
    const WideDouble newZr = Add(Sub(Mul(r, r), Mul(i, i)), cr);
    const WideDouble p = Mul(i, r);
    const WideDouble newZi = Add(Add(p, p), FromDouble(ci));
    return {ToDouble(newZr), ToDouble(newZi)};
}

std::uint32_t IterateExact(const WideDouble& cr, double ci, std::uint32_t limit) {
    const WideDouble wideCi = FromDouble(ci);
    // z starts at c; z0 is never tested. Its real part is the running x, which
    // may lie outside the double range.
    WideDouble zr = cr;
    WideDouble zi = wideCi;
    WideDouble zr2 = Mul(zr, zr);
    WideDouble zi2 = Mul(zi, zi);
    std::uint32_t n = 0;
    for (;;) {
        const WideDouble p = Mul(zi, zr);
        zr = Store(Add(Sub(zr2, zi2), cr));
        zi = Store(Add(Add(p, p), wideCi));
        ++n;
        if (n >= limit) {
            return n;
        }
        // The squares of the new z serve both the escape test and the next
        // step: the same rounded values either way.
        zr2 = Mul(zr, zr);
        zi2 = Mul(zi, zi);
        if (wide::GreaterThanFour(Add(zi2, zr2))) {
            return n;
        }
    }
}

void ComputeRowExact(std::uint32_t* out, std::int32_t width, double x1, double dx, double y,
                     std::uint32_t limit) {
    const WideDouble step = FromDouble(dx);
    WideDouble x = FromDouble(x1);
    for (std::int32_t k = 0; k < width; ++k) {
        out[k] = IterateExact(x, y, limit);
        x = Add(x, step);
    }
}
