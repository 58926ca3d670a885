// An independent reference for the exact path: MPFR at 53 bits with the widest
// exponent range MPFR allows and no subnormalisation, so intermediates neither
// overflow nor underflow; every stored value goes through mpfr_get_d.
#pragma once

#include <cstdint>

#include "engine/escape_time.h"

namespace reference {

OrbitPoint Step(double zr, double zi, double crSignificand, std::int64_t crExponent, double ci);

// Counts of one row, the running x accumulated at 53 bits in the wide range.
void Row(std::uint32_t* out, std::int32_t width, double x1, double dx, double y,
         std::uint32_t limit);

// (to - from) / n, each operation at 53 bits wide, rounded into the double range.
double StepSize(double from, double to, std::int32_t n);

// Wide operations on two doubles, rounded into the double range.
double Mul(double a, double b);
double Add(double a, double b);
double Div(double a, double b);

}  // namespace reference
