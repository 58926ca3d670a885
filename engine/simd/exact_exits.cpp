// The fast path's ways out to the exact path: a whole row, one sample, and
// the per-pixel guard for samples with a tiny component (fast_path.h, 2 and 3).
#include <cstdint>

#include "engine/escape_time.h"
#include "engine/simd/fast_path.h"
#include "engine/simd/scalar_orbit.h"

namespace fastpath {

void ExactRow(std::uint32_t* out, std::int32_t width, double x1, double dx, double y,
              std::uint32_t limit) {
    ComputeRowExact(out, width, x1, dx, y, limit);
}

std::uint32_t ExactPixel(double cr, double ci, std::uint32_t limit) {
    return IterateExact(wide::FromDouble(cr), ci, limit);
}

std::uint32_t IterateGuarded(double cr, double ci, std::uint32_t limit, bool shortcuts) {
    return IterateScalar<OrbitRange::Guarded>(cr, ci, limit, shortcuts);
}

}  // namespace fastpath
