#include "engine/fractal_engine.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <utility>

#include "engine/kernels.h"
#include "engine/wide_double.h"

namespace {

RenderServices& InstalledServices() {
    static RenderServices services;
    return services;
}

EngineLocator g_engineLocator = nullptr;

std::uint32_t SteadyMilliseconds() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ms));
}

// A stored corner differs from a new one when they compare unequal as numbers,
// except that a NaN in the new Region never counts as a difference. A stored
// NaN facing a number does: otherwise a number typed over a NaN corner could
// never be taken.
bool CornerDiffers(double stored, double incoming) {
    if (std::isnan(incoming)) {
        return false;
    }
    return std::isnan(stored) || stored != incoming;
}

}  // namespace

double GridStep(double from, double to, std::int32_t divisor) {
    using namespace wide;
    const WideDouble span = Sub(FromDouble(to), FromDouble(from));
    return ToDouble(Div(span, FromDouble(static_cast<double>(divisor))));
}

void SetRenderServices(const RenderServices& services) {
    InstalledServices() = services;
}

void FractalEngine::SetRegion(const Region& newRegion) {
    if (CornerDiffers(region.X1, newRegion.X1) || CornerDiffers(region.Y1, newRegion.Y1) ||
        CornerDiffers(region.X2, newRegion.X2) || CornerDiffers(region.Y2, newRegion.Y2)) {
        region = newRegion;
        dirty = true;
    }
}

void FractalEngine::SetSize(std::int32_t newWidth, std::int32_t newHeight) {
    if (newWidth != width || newHeight != height) {
        width = newWidth;
        height = newHeight;
        dirty = true;
    }
}

void FractalEngine::SetIterationLimit(std::uint32_t limit) {
    if (limit != iterationLimit) {
        iterationLimit = limit;
        dirty = true;
    }
}

int FractalEngine::Render(WindowHandle owner, bool force) {
    return Render(owner, force, InstalledServices());
}

int FractalEngine::Render(WindowHandle owner, bool force, const RenderServices& services) {
    if (!dirty && !force) {
        return kRenderNothingToDo;
    }

    // The computation works on copies taken now, so nothing it calls can
    // change what it is computing.
    const Region r = region;
    const std::int32_t w = width > 0 ? width : 0;
    const std::int32_t h = height > 0 ? height : 0;
    const std::uint32_t limit = iterationLimit;

    buffer.reset();
    bufferWidth = 0;
    bufferHeight = 0;
    // A zero-sized buffer is a successful allocation; one element is asked for
    // so that it is a real block. The byte size must fit size_t.
    const std::size_t count = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    if (w != 0 && count / static_cast<std::size_t>(w) != static_cast<std::size_t>(h)) {
        dirty = true;
        return kRenderNoMemory;
    }
    auto* allocate = services.allocateZeroed != nullptr ? services.allocateZeroed : std::calloc;
    void* block = count <= SIZE_MAX / sizeof(std::uint32_t)
                      ? allocate(count == 0 ? 1 : count, sizeof(std::uint32_t))
                      : nullptr;
    if (block == nullptr) {
        dirty = true;
        return kRenderNoMemory;
    }
    buffer.reset(static_cast<std::uint32_t*>(block));
    bufferWidth = w;
    bufferHeight = h;

    const double dx = GridStep(r.X1, r.X2, width);
    const double dy = GridStep(r.Y1, r.Y2, height);

    std::unique_ptr<ProgressDisplay> progress;
    if (services.makeProgress) {
        progress = services.makeProgress();
    }
    if (progress && owner != nullptr) {
        progress->Open(owner, "Rendering...", height);
        progress->Show();
    }
    const auto& clock = services.tickCount;
    auto readClock = [&clock] { return clock ? clock() : SteadyMilliseconds(); };
    const RowKernel kernel = services.rowKernel != nullptr ? services.rowKernel : ActiveRowKernel();

    std::uint32_t last = readClock();
    double y = r.Y1;
    std::uint32_t* counts = buffer.get();
    for (std::int32_t row = 0; row < h; ++row) {
        kernel(counts + static_cast<std::size_t>(row) * static_cast<std::size_t>(w), w, r.X1, dx, y,
               limit);
        const std::uint32_t now = readClock();
        if (static_cast<std::uint32_t>(now - last) > 50u) {
            if (progress) {
                progress->SetProgress(row);
            }
            last = now;
        }
        // A sum of two doubles rounds the same in the wide and the double range.
        y = y + dy;
    }

    if (progress) {
        progress->Hide();
    }
    dirty = false;
    return kRenderComputed;
}

void FractalEngine::Reset() {
    *this = FractalEngine{};
}

void SetEngineLocator(EngineLocator locator) {
    g_engineLocator = locator;
}

FractalEngine* GetEngine() {
    return g_engineLocator != nullptr ? g_engineLocator() : nullptr;
}
