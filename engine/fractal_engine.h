// The FractalEngine: what is to be computed (Region, pixel size, iteration
// limit) and the result, the IterationBuffer of escape-time counts. It
// recomputes only when an input changed since the last computation, or when
// forced, and drives a progress display while it computes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>

#include "engine/region.h"

// The window handle type of Win32 (a pointer to an opaque struct), declared
// here so that the engine needs no platform header.
struct HWND__;
using WindowHandle = HWND__*;

// What Render shows while it computes. Used in this order: construction,
// Open(owner, "Rendering...", height), Show, SetProgress(row) after some rows,
// Hide, destruction (which destroys the window, if one was opened). Open is
// called only when an owner was given.
class ProgressDisplay {
public:
    virtual ~ProgressDisplay() = default;
    virtual void Open(WindowHandle owner, const char* label, std::int32_t total) = 0;
    virtual void Show() = 0;
    virtual void SetProgress(std::int32_t position) = 0;
    virtual void Hide() = 0;
};

// Computes one row of counts: out[k] is the count of (x_k, y), where x_0 = x1
// and x_k = x_(k-1) + dx. Every kernel gives the exact path's counts.
using RowKernel = void (*)(std::uint32_t* out, std::int32_t width, double x1, double dx, double y,
                           std::uint32_t limit);

// The distance between neighbouring samples: (to - from) / divisor with the
// difference and the quotient each rounded to 53 bits in the wide range, the
// result rounded into the double range.
double GridStep(double from, double to, std::int32_t divisor);

// Where Render gets its progress display, its clock and its memory. The
// defaults: no progress display, a monotonic millisecond clock, calloc, and the
// row kernel chosen for this CPU.
struct RenderServices {
    std::function<std::unique_ptr<ProgressDisplay>()> makeProgress;
    // Milliseconds, wrapping modulo 2^32; only differences are used.
    std::function<std::uint32_t()> tickCount;
    // calloc-compatible; the buffer is released with std::free.
    void* (*allocateZeroed)(std::size_t count, std::size_t size) = std::calloc;
    RowKernel rowKernel = nullptr;
};

// The services the two-argument Render uses; start-up installs the progress
// window and the system clock here.
void SetRenderServices(const RenderServices& services);

struct FreeDeleter {
    void operator()(std::uint32_t* p) const { std::free(p); }
};

// Result codes of Render.
inline constexpr int kRenderComputed = 0;
inline constexpr int kRenderNothingToDo = 1;
inline constexpr int kRenderNoMemory = -1;

// A plain record with no base and no virtual operations. Fields in this order:
// Region, width, height, iteration limit, dirty flag, IterationBuffer. The
// buffer's own dimensions are kept beside it: between SetSize and the next
// successful Render, width and height may name a size the buffer does not have.
struct FractalEngine {
    Region region;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint32_t iterationLimit = 0;
    bool dirty = false;
    // bufferWidth x bufferHeight counts, row-major, row 0 at Y1; null when there
    // is none. Every count lies in 1 .. max(limit, 1).
    std::unique_ptr<std::uint32_t, FreeDeleter> buffer;
    std::int32_t bufferWidth = 0;
    std::int32_t bufferHeight = 0;

    // Takes the whole Region when any corner differs numerically from the
    // stored one (-0.0 equals +0.0; a NaN in the new Region is never a
    // difference, a stored NaN facing a number is), and marks the engine dirty.
    void SetRegion(const Region& newRegion);
    void SetSize(std::int32_t newWidth, std::int32_t newHeight);
    void SetIterationLimit(std::uint32_t limit);

    // 1: nothing to do (clean and not forced). -1: the buffer could not be had;
    // the engine holds none and stays dirty. 0: the counts were computed.
    int Render(WindowHandle owner, bool force);
    int Render(WindowHandle owner, bool force, const RenderServices& services);

    // Releases the buffer and returns every field to its initial zero.
    void Reset();

    const std::uint32_t* Counts() const { return buffer.get(); }
};

// The engine of the run, as the frame window carries it; null until the frame
// has attached it. The frame installs the function that reads its slot.
using EngineLocator = FractalEngine* (*)();
void SetEngineLocator(EngineLocator locator);
FractalEngine* GetEngine();
