// The row kernels and the choice among them. The list is built once, on first
// use, from what the CPU reports (cpuid) and what the operating system saves
// on a context switch (xgetbv: the XMM, YMM and ZMM state); nothing is read
// from the environment. Each SIMD kernel comes twice: with the periodicity
// shortcut and without it ("-plain"), so that both can be measured.
#include "engine/kernels.h"

#include <array>
#include <cstddef>

#include "engine/escape_time.h"
#include "engine/simd/fast_path.h"

// ZEMBRIX_X86_KERNELS: the build compiled the SIMD kernels (x86 only).
#ifdef ZEMBRIX_X86_KERNELS
#include <cpuid.h>
#endif

namespace {

struct CpuSupport {
    bool sse2 = false;
    bool avx2 = false;
    bool avx512 = false;
};

#ifdef ZEMBRIX_X86_KERNELS
std::uint64_t ReadXcr0() {
    std::uint32_t low = 0;
    std::uint32_t high = 0;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

CpuSupport DetectCpu() {
    CpuSupport support;
    unsigned a = 0;
    unsigned b = 0;
    unsigned c = 0;
    unsigned d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0) {
        return support;
    }
    const bool sse2 = (d & (1u << 26)) != 0;
    const bool fma = (c & (1u << 12)) != 0;
    const bool popcnt = (c & (1u << 23)) != 0;
    const bool osxsave = (c & (1u << 27)) != 0;
    const bool avx = (c & (1u << 28)) != 0;
    // XCR0: bit 1 XMM, bit 2 YMM, bits 5-7 the opmask and ZMM state.
    const std::uint64_t xcr0 = osxsave ? ReadXcr0() : 0;
    const bool xmmState = osxsave ? (xcr0 & 0x2) != 0 : true;
    const bool ymmState = (xcr0 & 0x6) == 0x6;
    const bool zmmState = (xcr0 & 0xE6) == 0xE6;
    // Without XSAVE the operating system may still save the XMM registers
    // (FXSAVE); every system this program runs on does, since it is itself
    // built for SSE2.
    support.sse2 = sse2 && xmmState;

    unsigned maxLeaf = 0;
    __get_cpuid(0, &maxLeaf, &b, &c, &d);
    if (maxLeaf < 7) {
        return support;
    }
    __cpuid_count(7, 0, a, b, c, d);
    const bool bmi1 = (b & (1u << 3)) != 0;
    const bool avx2 = (b & (1u << 5)) != 0;
    const bool bmi2 = (b & (1u << 8)) != 0;
    const bool avx512f = (b & (1u << 16)) != 0;
    const bool avx512dq = (b & (1u << 17)) != 0;
    const bool avx512vl = (b & (1u << 31)) != 0;
    support.avx2 = support.sse2 && avx && avx2 && fma && ymmState;
    support.avx512 =
        support.avx2 && avx512f && avx512dq && avx512vl && bmi1 && bmi2 && popcnt && zmmState;
    return support;
}
#else
CpuSupport DetectCpu() {
    return {};
}
#endif

// RowKernel entries for each fast kernel, with and without the shortcut.
template <void (*Kernel)(std::uint32_t*, std::int32_t, double, double, double, std::uint32_t, bool),
          bool kShortcuts>
void Entry(std::uint32_t* out, std::int32_t width, double x1, double dx, double y,
           std::uint32_t limit) {
    Kernel(out, width, x1, dx, y, limit, kShortcuts);
}

struct Candidate {
    KernelInfo info;
    bool CpuSupport::*needs;  // null: runs everywhere
};

#ifdef ZEMBRIX_X86_KERNELS
constexpr std::array kCandidates{
    Candidate{{"avx512", Entry<fastpath::RowAvx512, true>}, &CpuSupport::avx512},
    Candidate{{"avx512-plain", Entry<fastpath::RowAvx512, false>}, &CpuSupport::avx512},
    Candidate{{"avx2", Entry<fastpath::RowAvx2, true>}, &CpuSupport::avx2},
    Candidate{{"avx2-plain", Entry<fastpath::RowAvx2, false>}, &CpuSupport::avx2},
    Candidate{{"sse2", Entry<fastpath::RowSse2, true>}, &CpuSupport::sse2},
    Candidate{{"sse2-plain", Entry<fastpath::RowSse2, false>}, &CpuSupport::sse2},
    Candidate{{"generic", Entry<fastpath::RowGeneric, true>}, nullptr},
    Candidate{{"generic-plain", Entry<fastpath::RowGeneric, false>}, nullptr},
};
#else
constexpr std::array kCandidates{
    Candidate{{"generic", Entry<fastpath::RowGeneric, true>}, nullptr},
    Candidate{{"generic-plain", Entry<fastpath::RowGeneric, false>}, nullptr},
};
#endif

struct KernelTable {
    std::array<KernelInfo, kCandidates.size() + 1> kernels{};
    std::size_t count = 0;
    // The default choice: the first kernel after "exact" (the best one with
    // the shortcut).
    std::size_t best = 0;
    std::size_t active = 0;
};

KernelTable& Table() {
    static KernelTable table = [] {
        KernelTable t;
        const CpuSupport cpu = DetectCpu();
        t.kernels[t.count++] = KernelInfo{"exact", ComputeRowExact};
        for (const Candidate& candidate : kCandidates) {
            if (candidate.needs == nullptr || cpu.*candidate.needs) {
                t.kernels[t.count++] = candidate.info;
            }
        }
        t.best = t.count > 1 ? 1 : 0;
        t.active = t.best;
        return t;
    }();
    return table;
}

}  // namespace

std::span<const KernelInfo> AvailableKernels() {
    const KernelTable& table = Table();
    return {table.kernels.data(), table.count};
}

RowKernel ActiveRowKernel() {
    const KernelTable& table = Table();
    return table.kernels[table.active].kernel;
}

const char* ActiveKernelName() {
    const KernelTable& table = Table();
    return table.kernels[table.active].name;
}

bool ForceKernel(std::string_view name) {
    KernelTable& table = Table();
    if (name == "fast" || name == "auto") {
        table.active = table.best;
        return true;
    }
    for (std::size_t i = 0; i < table.count; ++i) {
        if (name == table.kernels[i].name) {
            table.active = i;
            return true;
        }
    }
    return false;
}
