// The fast kernels against the exact path: every kernel this CPU runs must
// give the exact path's count for every pixel. A kernel the CPU (or the
// operating system) cannot run is reported as skipped, with the reason.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "engine/escape_time.h"
#include "engine/fractal_engine.h"
#include "engine/geometry.h"
#include "engine/kernels.h"
#include "engine/wide_double.h"

namespace {

// The sanitizer build runs the same tests; the exact path is far slower there.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kScale = 4;
#else
constexpr int kScale = 1;
#endif

constexpr double kNaN = NAN;
constexpr double kInf = INFINITY;

struct Picture {
    Region region;
    std::int32_t width;
    std::int32_t height;
    std::uint32_t limit;
};

// dx and dy as Render forms them: the difference and the quotient rounded once.
double StepOf(double from, double to, std::int32_t n) {
    return wide::ToDouble(wide::Div(wide::Sub(wide::FromDouble(to), wide::FromDouble(from)),
                                    wide::FromDouble(static_cast<double>(n))));
}

// The counts of a picture computed row by row with one kernel, as Render does.
std::vector<std::uint32_t> Compute(RowKernel kernel, const Picture& p) {
    std::vector<std::uint32_t> counts(static_cast<std::size_t>(p.width) *
                                      static_cast<std::size_t>(p.height));
    const double dx = StepOf(p.region.X1, p.region.X2, p.width);
    const double dy = StepOf(p.region.Y1, p.region.Y2, p.height);
    double y = p.region.Y1;
    for (std::int32_t r = 0; r < p.height; ++r) {
        kernel(counts.data() + static_cast<std::size_t>(r) * static_cast<std::size_t>(p.width),
               p.width, p.region.X1, dx, y, p.limit);
        y = y + dy;
    }
    return counts;
}

// Compares the kernel with the exact path; every difference is reported with
// its pixel, its c and both counts (the first few in full). Returns the number
// of pixels compared.
std::size_t ExpectSameCounts(RowKernel kernel, const char* name, const Picture& p) {
    const std::vector<std::uint32_t> exact = Compute(ComputeRowExact, p);
    const std::vector<std::uint32_t> fast = Compute(kernel, p);
    const double dx = StepOf(p.region.X1, p.region.X2, p.width);
    const double dy = StepOf(p.region.Y1, p.region.Y2, p.height);
    int reported = 0;
    std::size_t differences = 0;
    double y = p.region.Y1;
    for (std::int32_t r = 0; r < p.height; ++r) {
        WideDouble x = wide::FromDouble(p.region.X1);
        for (std::int32_t k = 0; k < p.width; ++k) {
            const std::size_t i =
                static_cast<std::size_t>(r) * static_cast<std::size_t>(p.width) + k;
            if (exact[i] != fast[i]) {
                ++differences;
                if (reported++ < 10) {
                    ADD_FAILURE() << name << ": pixel (" << k << ", " << r << ") of Region ("
                                  << p.region.X1 << ", " << p.region.Y1 << ", " << p.region.X2
                                  << ", " << p.region.Y2 << ") " << p.width << " x " << p.height
                                  << " limit " << p.limit << ": c = " << wide::ToDouble(x)
                                  << (std::isfinite(wide::ToDouble(x)) ? "" : " (wide)") << " + "
                                  << y << "i, exact " << exact[i] << ", " << name << " " << fast[i];
                }
            }
            x = wide::Add(x, wide::FromDouble(dx));
        }
        y = y + dy;
    }
    EXPECT_EQ(differences, 0u) << name << " differs from the exact path";
    return exact.size();
}

const KernelInfo* FindKernel(const std::string& name) {
    for (const KernelInfo& info : AvailableKernels()) {
        if (name == info.name) {
            return &info;
        }
    }
    return nullptr;
}

bool HasShortcuts(const std::string& name) {
    return name.find("-plain") == std::string::npos;
}

class KernelTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        info_ = FindKernel(GetParam());
        if (info_ == nullptr) {
            GTEST_SKIP() << GetParam()
                         << " is not available: this CPU or its operating system lacks the "
                            "instruction set (or its register state)";
        }
    }
    std::size_t Check(const Picture& p) { return ExpectSameCounts(info_->kernel, info_->name, p); }
    std::uint32_t Pixel(double cr, double ci, std::uint32_t limit) {
        std::uint32_t count = 0;
        info_->kernel(&count, 1, cr, 0.0, ci, limit);
        return count;
    }
    const KernelInfo* info_ = nullptr;
};

TEST_P(KernelTest, MatchesTheExactPathOnRandomRegions) {
    // Spans from 4 down to 1e-13, centres around the set, sizes that are no
    // multiple of a vector width, limits from 2 to 1500.
    const std::uint32_t seed = 20261206;
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::size_t pixels = 0;
    const int regions = 60 / kScale;
    for (int n = 0; n < regions; ++n) {
        const double span = 4.0 * std::pow(10.0, -13.0 * unit(random));
        const double cx = -2.2 + 2.7 * unit(random);
        const double cy = -1.2 + 2.4 * unit(random);
        const double aspect = 0.5 + unit(random);
        Picture p{{cx - span / 2, cy - aspect * span / 2, cx + span / 2, cy + aspect * span / 2},
                  1 + static_cast<std::int32_t>(unit(random) * 40),
                  1 + static_cast<std::int32_t>(unit(random) * 12),
                  2 + static_cast<std::uint32_t>(std::pow(unit(random), 2.0) * 1500)};
        pixels += Check(p);
    }
    std::printf("seed %u: %zu pixels in %d Regions compared\n", seed, pixels, regions);
}

TEST_P(KernelTest, MatchesTheExactPathOnTheScenesAtReducedSize) {
    Region fitted = kDefaultRegion;
    FitRegionToAspect(1920, 1080, fitted);
    std::size_t pixels = Check({fitted, 240 / kScale, 135 / kScale, 500});
    pixels += Check({{-0.7465, 0.1085, -0.7425, 0.1107}, 96 / kScale, 54 / kScale, 5000});
    pixels += Check({{-0.3, -0.2, 0.1, 0.2}, 48 / kScale, 48 / kScale, 2000});
    std::printf("%zu pixels of the three scenes compared\n", pixels);
}

TEST_P(KernelTest, MatchesTheExactPathForSmallLimitsOddWidthsAndMirroredRegions) {
    const Region view{-2.1, -1.3, 0.9, 1.3};
    const Region mirrored{0.9, 1.3, -2.1, -1.3};
    std::size_t pixels = 0;
    for (std::uint32_t limit : {0u, 1u, 2u, 3u, 4u, 3000u}) {
        for (std::int32_t width : {1, 3, 7, 17}) {
            pixels += Check({view, width, 5, limit});
            pixels += Check({mirrored, width, 5, limit});
        }
    }
    // The limit as a large unsigned value, where no point reaches it.
    pixels += Check({{0.5, 0.8, 2.5, 2.0}, 17, 3, 0xFFFFFFFFu});
    pixels += Check({{0.5, 0.8, 2.5, 2.0}, 17, 3, 0x80000001u});
    std::printf("%zu pixels compared\n", pixels);
}

TEST_P(KernelTest, RowsOfDifferentPicturesMayComeInAnyOrder) {
    // A picture's column samples are formed once and kept for its next rows:
    // rows of pictures that share x1 but not dx or width, or share dx and
    // width but not x1, come in turn here, and each must use its own samples
    // and write nothing past its end.
    struct Columns {
        double x1;
        double dx;
        std::int32_t width;
    };
    // Each differs from the one before in one of x1, dx and width; one has a
    // column whose sample is too small for the fast path.
    const Columns pictures[] = {{-2.0, 0.125, 30},  {-2.0, 0.0625, 30},    {-2.0, 0.0625, 9},
                                {-1.5, 0.0625, 9}, {0x1p-470, 0.125, 40}, {-2.0, 0.125, 30}};
    for (int round = 0; round < 2; ++round) {
        for (const Columns& c : pictures) {
            for (double y : {-0.5, 0.0, 0x1p-500, 0.75}) {
                std::vector<std::uint32_t> exact(static_cast<std::size_t>(c.width));
                std::vector<std::uint32_t> fast(exact.size() + 1, 0xDEADu);
                ComputeRowExact(exact.data(), c.width, c.x1, c.dx, y, 400);
                info_->kernel(fast.data(), c.width, c.x1, c.dx, y, 400);
                EXPECT_EQ(fast.back(), 0xDEADu) << "written past the row";
                fast.pop_back();
                EXPECT_EQ(fast, exact) << "x1 " << c.x1 << " dx " << c.dx << " width " << c.width
                                       << " y " << y;
            }
        }
    }
}

TEST_P(KernelTest, MatchesTheExactPathAtTheEdgesOfTheDoubleRange) {
    std::size_t pixels = 0;
    // Huge samples: squares beyond the double range, samples at and beyond
    // 2^510, a running x that passes beyond the double range.
    pixels += Check({{1e200, 1e200, 3e200, 2e200}, 7, 3, 50});
    pixels += Check({{-1e200, -1e200, 1e200, 1e200}, 17, 5, 50});
    pixels += Check({{-1.7e308, -1.7e308, 1.7e308, 1.7e308}, 9, 5, 50});
    pixels += Check({{1.7e308, 0.0, 1.79e308, 1.0}, 17, 2, 50});
    pixels += Check({{0x1p509, 0.0, 0x1p511, 0x1p511}, 17, 4, 50});
    pixels += Check({{-0x1p-500, -1.0, 4.0, 1.0}, 17, 3, 50});
    // Tiny samples, whose squares fall below the normal range, and rows and
    // columns on the axes.
    pixels += Check({{-1e-300, -1e-300, 1e-300, 1e-300}, 17, 7, 200});
    pixels += Check({{-1e-160, -1e-160, 1e-160, 1e-160}, 7, 7, 200});
    pixels += Check({{-0.8, -1e-200, 0.3, 1e-200}, 17, 4, 300});
    pixels += Check({{-1.0, -0.75, 1.0, 0.75}, 8, 6, 300});  // exact zeros on both axes
    pixels += Check({{-0x1p-459, 0.3, 0x1p-459, 0.5}, 16, 3, 300});
    pixels += Check({{-0.1, 0x1p-458, 0.2, 0x1p-457}, 16, 3, 300});
    pixels += Check({{-2.0, 0.0, 0.5, 0.0}, 17, 1, 1000});  // the real axis
    // Non-finite corners and steps.
    pixels += Check({{kNaN, -1.0, 1.0, 1.0}, 7, 3, 40});
    pixels += Check({{-1.0, kNaN, 1.0, 1.0}, 7, 3, 40});
    pixels += Check({{-kInf, -1.0, 1.0, 1.0}, 7, 3, 40});
    pixels += Check({{-1.0, -1.0, kInf, 1.0}, 7, 3, 40});
    pixels += Check({{-1.0, -1.0, 1.0, kInf}, 7, 3, 40});
    std::printf("%zu pixels compared\n", pixels);
}

TEST_P(KernelTest, KnownPeriodicPointsStoreTheLimit) {
    // c = 0, -1, -2 (z = 2 from the first step on, |z|^2 = 4 is not > 4),
    // -1.75 (where the period-3 window begins; its orbit converges so slowly
    // that it repeats only after about 3e7 steps), i, and points inside the
    // main cardioid and the period-2 and period-3 bulbs: each against the
    // exact path, and with the shortcut also at a limit that the plain
    // iteration could not reach in a test.
    const double points[][2] = {{0.0, 0.0},   {-1.0, 0.0},   {-2.0, 0.0},    {-1.75, 0.0},
                                {-0.1, 0.1},  {0.2, -0.3},   {-0.5, 0.5},    {0.25, 0.0},
                                {-1.1, 0.05}, {-0.12, 0.75}, {-1.7549, 0.0}, {0.0, 1.0}};
    for (const auto& c : points) {
        const std::uint32_t exact = IterateExact(wide::FromDouble(c[0]), c[1], 20000);
        EXPECT_EQ(Pixel(c[0], c[1], 20000), exact) << "c = " << c[0] << " + " << c[1] << "i";
        if (HasShortcuts(info_->name) && c[0] != 0.25 && c[0] != -1.75 && c[0] != -0.75) {
            // These orbits repeat bit for bit within some thousand steps.
            EXPECT_EQ(Pixel(c[0], c[1], 0xFFFFFFFFu), 0xFFFFFFFFu)
                << "c = " << c[0] << " + " << c[1] << "i";
        }
    }
    // A row of one repeated periodic sample keeps every lane busy at once.
    std::vector<std::uint32_t> row(37);
    info_->kernel(row.data(), 37, -1.0, 0.0, 0.0, 5000);
    for (std::uint32_t count : row) {
        EXPECT_EQ(count, 5000u);
    }
}

TEST_P(KernelTest, LateEscapersKeepTheirCounts) {
    // Just outside the set near the cusp and the neck: they escape after
    // hundreds to thousands of steps, after an orbit that nearly repeats.
    const double points[][2] = {{0.2501, 0.0},      {0.26, 0.0},          {-0.75, 0.002},
                                {-0.75, 0.0002},    {0.25001, 0.0},       {0.3, 0.0},
                                {-0.7453, 0.11301}, {-0.74529, 0.113075}, {-2.0000001, 0.0}};
    for (const auto& c : points) {
        const std::uint32_t exact = IterateExact(wide::FromDouble(c[0]), c[1], 40000);
        EXPECT_LT(exact, 40000u) << "c = " << c[0] << " + " << c[1] << "i";
        EXPECT_EQ(Pixel(c[0], c[1], 40000), exact) << "c = " << c[0] << " + " << c[1] << "i";
    }
}

TEST_P(KernelTest, RenderUsesTheKernelItIsGiven) {
    FractalEngine engine;
    engine.SetRegion({-2.0, -1.2, 0.6, 1.2});
    engine.SetSize(33, 19);
    engine.SetIterationLimit(300);
    RenderServices services;
    services.rowKernel = info_->kernel;
    ASSERT_EQ(engine.Render(nullptr, true, services), kRenderComputed);
    const std::vector<std::uint32_t> exact =
        Compute(ComputeRowExact, {engine.region, engine.width, engine.height, 300});
    ASSERT_EQ(exact.size(), 33u * 19u);
    for (std::size_t i = 0; i < exact.size(); ++i) {
        ASSERT_EQ(engine.Counts()[i], exact[i]) << "pixel " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryKernel, KernelTest,
                         ::testing::Values("avx512", "avx512-plain", "avx2", "avx2-plain", "sse2",
                                           "sse2-plain", "generic", "generic-plain"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             for (char& ch : name) {
                                 if (ch == '-') {
                                     ch = '_';
                                 }
                             }
                             return name;
                         });

TEST(KernelSelection, ListsTheExactPathFirstAndTheDefaultChoiceNext) {
    const auto kernels = AvailableKernels();
    ASSERT_GE(kernels.size(), 3u);
    EXPECT_STREQ(kernels[0].name, "exact");
    // Every CPU runs the generic kernel, with and without the shortcut.
    EXPECT_NE(FindKernel("generic"), nullptr);
    EXPECT_NE(FindKernel("generic-plain"), nullptr);
    ASSERT_TRUE(ForceKernel("auto"));
    EXPECT_STREQ(ActiveKernelName(), kernels[1].name);
    EXPECT_EQ(ActiveRowKernel(), kernels[1].kernel);
}

TEST(KernelSelection, ForcesAKernelByNameAndRefusesUnknownOnes) {
    for (const KernelInfo& info : AvailableKernels()) {
        ASSERT_TRUE(ForceKernel(info.name)) << info.name;
        EXPECT_EQ(ActiveRowKernel(), info.kernel) << info.name;
        EXPECT_STREQ(ActiveKernelName(), info.name);
    }
    ASSERT_TRUE(ForceKernel("exact"));
    EXPECT_FALSE(ForceKernel("avx1024"));
    EXPECT_FALSE(ForceKernel(""));
    EXPECT_STREQ(ActiveKernelName(), "exact") << "a refused name changes nothing";
    ASSERT_TRUE(ForceKernel("fast"));
    EXPECT_STREQ(ActiveKernelName(), AvailableKernels()[1].name);
}

}  // namespace
