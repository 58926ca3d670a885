// The escape-time iteration on the exact path, and the row computation built on
// it. These define the counts; every faster path must give the same ones.
#pragma once

#include <cstdint>

#include "engine/wide_double.h"

// One step z -> z^2 + c. zr and zi are stored values (doubles); cr is the
// running x of a row, which is carried in the wide range; ci is a stored y.
// new zr = (zr*zr - zi*zi) + cr, new zi = (p + p) + ci with p = zi*zr, every
// operation rounded to 53 bits in the wide range, the results rounded into the
// double range.
struct OrbitPoint {
    double zr;
    double zi;
};
OrbitPoint StepExact(double zr, double zi, const WideDouble& cr, double ci);

// The count of c = cr + i*ci for the limit L: the iteration starts from z = c,
// the limit is tested before the escape (|z|^2 > 4, strictly), and the result
// lies in 1 .. max(L, 1). A NaN orbit never escapes and stores L.
std::uint32_t IterateExact(const WideDouble& cr, double ci, std::uint32_t limit);

// Counts of one row: out[k] = IterateExact(x_k, y), x_0 = x1 and
// x_k = x_(k-1) + dx accumulated in the wide range. Nothing when width <= 0.
void ComputeRowExact(std::uint32_t* out, std::int32_t width, double x1, double dx, double y,
                     std::uint32_t limit);
