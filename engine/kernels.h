// The choice of the row kernel that Render uses. The exact path defines the
// counts; a faster kernel is used only where it gives the same ones. The choice
// is made once, and tests and the benchmark can force one by name.
#pragma once

#include <span>
#include <string_view>

#include "engine/fractal_engine.h"

struct KernelInfo {
    const char* name;
    RowKernel kernel;
};

// Every kernel this CPU can run, the exact path first, then the rest in the
// order of preference of the default choice.
std::span<const KernelInfo> AvailableKernels();

// The kernel Render uses when its services name none.
RowKernel ActiveRowKernel();
// Its name, for the benchmark's report.
const char* ActiveKernelName();

// Forces a kernel by name: one of AvailableKernels() ("exact", "avx512",
// "avx2", "sse2", "generic", each but "exact" also as "-plain", without the
// periodicity check), "fast" (the best one this CPU runs) or "auto" (the
// default choice, the same one). Returns false, changing nothing, for a name
// that is unknown or cannot run here.
bool ForceKernel(std::string_view name);
