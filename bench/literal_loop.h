// The escape-time loop written literally in plain double arithmetic: the
// baseline every path is measured against. Its counts differ from the exact
// path's only where intermediates leave the double range.
#pragma once

#include <cstdint>

void ComputeRowLiteral(std::uint32_t* out, std::int32_t width, double x1, double dx, double y,
                       std::uint32_t limit);
