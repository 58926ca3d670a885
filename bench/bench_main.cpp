// zembrix-bench: renders named scenes, or a Region given on the command line,
// on every kernel this CPU runs (or the one forced with --path: avx512, avx2,
// sse2, generic, each also as "-plain" without the periodicity check) and on
// the literal loop, and prints iterations per second and each path's ratio to
// the literal loop. With --dump it writes the counts of one full Render (on the
// kernel --path names) as raw little-endian uint32, row-major, row 0 at Y1.
// Not a test: it asserts nothing about time.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bench/literal_loop.h"
#include "bench/option_number.h"
#include "engine/fractal_engine.h"
#include "engine/geometry.h"
#include "engine/kernels.h"

namespace {

struct Scene {
    std::string name;
    Region region;
    std::int32_t width;
    std::int32_t height;
    std::uint32_t limit;
};

std::vector<Scene> NamedScenes() {
    Region fitted = kDefaultRegion;
    FitRegionToAspect(1920, 1080, fitted);
    return {
        {"default", fitted, 1920, 1080, 500},
        {"seahorse", {-0.7465, 0.1085, -0.7425, 0.1107}, 1920, 1080, 5000},
        {"inside", {-0.3, -0.2, 0.1, 0.2}, 1024, 1024, 2000},
    };
}

struct Measurement {
    double seconds = 0.0;
    std::uint64_t iterations = 0;
    std::int64_t rows = 0;
};

// Computes rows in a scattered order (so that any prefix samples the whole
// picture), repeating the picture until the time budget is spent (a slow path
// may not finish one), and counts the iterations the counts stand for.
Measurement Measure(const Scene& scene, RowKernel kernel, double budgetSeconds) {
    const double dx = GridStep(scene.region.X1, scene.region.X2, scene.width);
    const double dy = GridStep(scene.region.Y1, scene.region.Y2, scene.height);
    std::vector<double> rowY(static_cast<std::size_t>(scene.height));
    double y = scene.region.Y1;
    for (double& value : rowY) {
        value = y;
        y = y + dy;
    }
    std::vector<std::uint32_t> counts(static_cast<std::size_t>(scene.width));
    Measurement m;
    const auto start = std::chrono::steady_clock::now();
    // 7919 is prime, so r * 7919 mod height visits every row once.
    for (std::int64_t i = 0;; ++i) {
        const auto row = static_cast<std::size_t>((i * 7919) % scene.height);
        kernel(counts.data(), scene.width, scene.region.X1, dx, rowY[row], scene.limit);
        for (std::uint32_t c : counts) {
            m.iterations += c;
        }
        ++m.rows;
        m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (m.seconds > budgetSeconds && m.rows % scene.height == 0) {
            break;
        }
        if (m.seconds > budgetSeconds && m.rows < scene.height) {
            break;
        }
    }
    return m;
}

// Measures the literal loop and then either every kernel this CPU runs or, when
// one was forced with --path, that one only.
void RunScene(const Scene& scene, double budgetSeconds, bool onlyActive) {
    std::printf("scene %s: Region (%.17g, %.17g, %.17g, %.17g), %d x %d, limit %u\n",
                scene.name.c_str(), scene.region.X1, scene.region.Y1, scene.region.X2,
                scene.region.Y2, scene.width, scene.height, scene.limit);
    const Measurement literal = Measure(scene, ComputeRowLiteral, budgetSeconds);
    const double literalRate = static_cast<double>(literal.iterations) / literal.seconds;
    auto report = [&](const char* name, const Measurement& m) {
        const double rate = static_cast<double>(m.iterations) / m.seconds;
        std::printf("  %-14s %8.3f Giter/s  %6.2fx  (%.2f pictures, %.2f s)\n", name, rate / 1e9,
                    rate / literalRate, static_cast<double>(m.rows) / scene.height, m.seconds);
    };
    report("literal", literal);
    for (const KernelInfo& info : AvailableKernels()) {
        if (!onlyActive || info.kernel == ActiveRowKernel()) {
            report(info.name, Measure(scene, info.kernel, budgetSeconds));
        }
    }
    std::fflush(stdout);
}

bool Dump(const Scene& scene, const char* path) {
    FractalEngine engine;
    engine.SetRegion(scene.region);
    engine.SetSize(scene.width, scene.height);
    engine.SetIterationLimit(scene.limit);
    if (engine.Render(nullptr, true) != kRenderComputed) {
        std::fprintf(stderr, "zembrix-bench: out of memory\n");
        return false;
    }
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        std::fprintf(stderr, "zembrix-bench: cannot open %s\n", path);
        return false;
    }
    const std::size_t count = static_cast<std::size_t>(engine.bufferWidth) *
                              static_cast<std::size_t>(engine.bufferHeight);
    bool ok = true;
    const std::uint32_t* counts = engine.Counts();
    for (std::size_t i = 0; i < count && ok; ++i) {
        const unsigned char bytes[4] = {static_cast<unsigned char>(counts[i]),
                                        static_cast<unsigned char>(counts[i] >> 8),
                                        static_cast<unsigned char>(counts[i] >> 16),
                                        static_cast<unsigned char>(counts[i] >> 24)};
        ok = std::fwrite(bytes, 1, 4, file) == 4;
    }
    ok = std::fclose(file) == 0 && ok;
    if (!ok) {
        std::fprintf(stderr, "zembrix-bench: cannot write %s\n", path);
    }
    return ok;
}

[[noreturn]] void Usage() {
    std::fprintf(stderr,
                 "usage: zembrix-bench [SCENE...] [--region X1 Y1 X2 Y2 --size W H --limit L] "
                 "[--dump FILE] [--path exact|fast|auto|KERNEL] [--seconds S]\n");
    std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<Scene> scenes;
    std::optional<Region> region;
    long long width = -1;
    long long height = -1;
    long long limit = -1;
    const char* dumpPath = nullptr;
    bool forced = false;
    double budget = 2.0;
    const std::vector<Scene> named = NamedScenes();

    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const int left = argc - i - 1;
        if (arg == "--region" && left >= 4) {
            Region r;
            if (!ParseDoubleOption(argv[i + 1], r.X1) || !ParseDoubleOption(argv[i + 2], r.Y1) ||
                !ParseDoubleOption(argv[i + 3], r.X2) || !ParseDoubleOption(argv[i + 4], r.Y2)) {
                Usage();
            }
            region = r;
            i += 4;
        } else if (arg == "--size" && left >= 2) {
            if (!ParseIntegerOption(argv[i + 1], 0, 1 << 15, width) ||
                !ParseIntegerOption(argv[i + 2], 0, 1 << 15, height)) {
                Usage();
            }
            i += 2;
        } else if (arg == "--limit" && left >= 1) {
            if (!ParseIntegerOption(argv[++i], 0, UINT32_MAX, limit)) {
                Usage();
            }
        } else if (arg == "--dump" && left >= 1) {
            dumpPath = argv[++i];
        } else if ((arg == "--path" || arg == "--isa") && left >= 1) {
            if (!ForceKernel(argv[++i])) {
                std::fprintf(stderr, "zembrix-bench: no kernel '%s' on this CPU\n", argv[i]);
                return 2;
            }
            forced = true;
        } else if (arg == "--seconds" && left >= 1) {
            if (!ParseDoubleOption(argv[++i], budget) || !(budget > 0.0)) {
                Usage();
            }
        } else {
            bool found = false;
            for (const Scene& scene : named) {
                if (arg == scene.name) {
                    scenes.push_back(scene);
                    found = true;
                }
            }
            if (!found) {
                Usage();
            }
        }
    }

    if (region || width >= 0 || height >= 0 || limit >= 0) {
        if (!region || width < 0 || height < 0 || limit < 0 || !scenes.empty()) {
            Usage();
        }
        scenes.push_back({"command line", *region, static_cast<std::int32_t>(width),
                          static_cast<std::int32_t>(height), static_cast<std::uint32_t>(limit)});
    }
    if (dumpPath != nullptr) {
        if (scenes.size() != 1) {
            Usage();
        }
        return Dump(scenes.front(), dumpPath) ? 0 : 1;
    }
    if (scenes.empty()) {
        scenes = named;
    }
    std::printf("active kernel: %s; this CPU runs:", ActiveKernelName());
    for (const KernelInfo& info : AvailableKernels()) {
        std::printf(" %s", info.name);
    }
    std::printf("\n");
    for (const Scene& scene : scenes) {
        if (scene.width > 0 && scene.height > 0) {
            RunScene(scene, budget, forced);
        }
    }
    return 0;
}
