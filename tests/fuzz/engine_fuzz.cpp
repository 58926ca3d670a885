// The engine's operations in any order, on tiny sizes and any doubles (NaN,
// infinities, signed zeros, subnormals, huge values), with allocations that
// may fail. After every Render the engine's promises must hold, and every
// row is computed by every kernel this CPU runs, which must all give the
// exact path's counts.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "engine/escape_time.h"
#include "engine/fractal_engine.h"
#include "engine/kernels.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

// Enough for a few SIMD vectors with refills, small enough to stay fast.
constexpr std::int32_t kMaxWidth = 40;
constexpr std::uint32_t kMaxLimit = 400;

bool g_failAllocation = false;

void* MaybeAllocate(std::size_t count, std::size_t size) {
    return g_failAllocation ? nullptr : std::calloc(count, size);
}

// Row kernel for Render: every kernel gives the exact path's counts.
void ComparingKernel(std::uint32_t* out, std::int32_t width, double x1, double dx, double y,
                     std::uint32_t limit) {
    ComputeRowExact(out, width, x1, dx, y, limit);
    std::vector<std::uint32_t> other(static_cast<std::size_t>(std::max(width, 0)) + 1, 0xDEAD);
    for (const KernelInfo& kernel : AvailableKernels()) {
        std::fill(other.begin(), other.end(), 0xDEADu);
        kernel.kernel(other.data(), width, x1, dx, y, limit);
        // The same counts, and nothing written past the row.
        FUZZ_CHECK(std::equal(out, out + std::max(width, 0), other.begin()) &&
                   other.back() == 0xDEADu);
    }
}

void CheckEngine(const FractalEngine& engine, int result) {
    FUZZ_CHECK(result == kRenderComputed || result == kRenderNothingToDo ||
               result == kRenderNoMemory);
    FUZZ_CHECK(result != kRenderNoMemory || (engine.buffer == nullptr && engine.dirty));
    FUZZ_CHECK(result != kRenderComputed ||
               (!engine.dirty && engine.bufferWidth == std::max(engine.width, 0) &&
                engine.bufferHeight == std::max(engine.height, 0)));
    const std::uint32_t top = std::max<std::uint32_t>(engine.iterationLimit, 1);
    const std::size_t count = static_cast<std::size_t>(engine.bufferWidth) *
                              static_cast<std::size_t>(engine.bufferHeight);
    for (std::size_t i = 0; engine.Counts() != nullptr && i < count; ++i) {
        FUZZ_CHECK(engine.Counts()[i] >= 1 && engine.Counts()[i] <= top);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    FractalEngine engine;
    RenderServices services;
    services.tickCount = [] { return std::uint32_t{0}; };
    services.allocateZeroed = MaybeAllocate;
    services.rowKernel = ComparingKernel;
    for (int step = 0; step < 32 && !in.Empty(); ++step) {
        switch (in.Take<std::uint8_t>() % 6) {
            case 0:  // braced: the corners are read in order
                engine.SetRegion(
                    Region{in.TakeDouble(), in.TakeDouble(), in.TakeDouble(), in.TakeDouble()});
                break;
            case 1: {
                // -2 .. kMaxWidth - 3 wide, -2 .. 5 high: negative and zero sides too.
                const std::int32_t w = in.Take<std::uint8_t>() % kMaxWidth - 2,
                                   h = in.Take<std::uint8_t>() % 8 - 2;
                engine.SetSize(w, h);
                break;
            }
            case 2:
                engine.SetIterationLimit(in.Take<std::uint16_t>() % (kMaxLimit + 1));
                break;
            case 3: {
                const std::uint8_t flags = in.Take<std::uint8_t>();
                g_failAllocation = (flags & 2) != 0;
                CheckEngine(engine, engine.Render(nullptr, (flags & 1) != 0, services));
                break;
            }
            case 4:
                engine.Reset();
                FUZZ_CHECK(engine.buffer == nullptr && engine.width == 0 && !engine.dirty);
                break;
            case 5: {
                // One row straight from the bytes: any start, step and y.
                std::uint32_t out[kMaxWidth];
                const double x1 = in.TakeDouble(), dx = in.TakeDouble(), y = in.TakeDouble();
                const auto width = static_cast<std::int32_t>(in.Take<std::uint8_t>() % kMaxWidth);
                ComparingKernel(out, width, x1, dx, y, in.Take<std::uint16_t>() % (kMaxLimit + 1));
                break;
            }
        }
    }
    return 0;
}
