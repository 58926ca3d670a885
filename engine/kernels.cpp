#include "engine/kernels.h"

#include <array>

#include "engine/escape_time.h"

namespace {

// No faster kernel exists yet: "fast" and "auto" take the exact path.
constexpr std::array kKernels{KernelInfo{"exact", ComputeRowExact}};

const KernelInfo*& Active() {
    static const KernelInfo* active = &kKernels.back();
    return active;
}

}  // namespace

std::span<const KernelInfo> AvailableKernels() {
    return kKernels;
}

RowKernel ActiveRowKernel() {
    return Active()->kernel;
}

const char* ActiveKernelName() {
    return Active()->name;
}

bool ForceKernel(std::string_view name) {
    if (name == "fast" || name == "auto") {
        Active() = &kKernels.back();
        return true;
    }
    for (const KernelInfo& info : kKernels) {
        if (name == info.name) {
            Active() = &info;
            return true;
        }
    }
    return false;
}
