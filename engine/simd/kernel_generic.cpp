// The fast path in portable scalar code, for CPUs without a SIMD kernel: one
// safe pixel at a time, in plain double arithmetic, with the optional
// periodicity check. Why its counts equal the exact path's: fast_path.h.
#include "engine/simd/fast_path.h"
#include "engine/simd/scalar_orbit.h"

namespace fastpath {

void RowGeneric(std::uint32_t* out, std::int32_t width, double x1, double dx, double y,
                std::uint32_t limit, bool shortcuts) {
    PixelQueue queue;
    if (!BeginRow(queue, out, width, x1, dx, y, limit, shortcuts)) {
        return;
    }
    // BeginRow queues pixels only for limits of at least 2.
    for (std::int32_t i = queue.head; i < queue.tail; ++i) {
        out[queue.col[i]] = IterateScalar<OrbitRange::Safe>(queue.x[i], y, limit, shortcuts);
    }
}

}  // namespace fastpath
