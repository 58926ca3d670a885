// The fast kernels against the exact path: every kernel this CPU runs must
// give the exact path's count for every pixel. A kernel the CPU (or the
// operating system) cannot run is reported as skipped, with the reason.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "engine/escape_time.h"
#include "engine/fractal_engine.h"
#include "engine/geometry.h"
#include "engine/kernels.h"
#include "engine/wide_double.h"
#include "tests/engine/sanitizer_scale.h"

namespace {

struct Picture {
    Region region;
    std::int32_t width;
    std::int32_t height;
    std::uint32_t limit;
};

// The counts of a picture computed row by row with one kernel, as Render does.
std::vector<std::uint32_t> Compute(RowKernel kernel, const Picture& p) {
    std::vector<std::uint32_t> counts(static_cast<std::size_t>(p.width) *
                                      static_cast<std::size_t>(p.height));
    const double dx = GridStep(p.region.X1, p.region.X2, p.width);
    const double dy = GridStep(p.region.Y1, p.region.Y2, p.height);
    double y = p.region.Y1;
    for (std::int32_t r = 0; r < p.height; ++r) {
        kernel(counts.data() + static_cast<std::size_t>(r) * static_cast<std::size_t>(p.width),
               p.width, p.region.X1, dx, y, p.limit);
        y = y + dy;
    }
    return counts;
}

// Compares the kernel with the exact path, reporting the first few differing
// pixels with both counts.
void ExpectSameCounts(RowKernel kernel, const char* name, const Picture& p) {
    const std::vector<std::uint32_t> exact = Compute(ComputeRowExact, p);
    const std::vector<std::uint32_t> fast = Compute(kernel, p);
    std::size_t differences = 0;
    for (std::size_t i = 0; i < exact.size(); ++i) {
        if (exact[i] != fast[i] && differences++ < 10) {
            ADD_FAILURE() << name << ": pixel (" << i % p.width << ", " << i / p.width
                          << ") of Region (" << p.region.X1 << ", " << p.region.Y1 << ", "
                          << p.region.X2 << ", " << p.region.Y2 << ") " << p.width << " x "
                          << p.height << " limit " << p.limit << ": exact " << exact[i] << ", "
                          << name << " " << fast[i];
        }
    }
    EXPECT_EQ(differences, 0u) << name << " differs from the exact path";
}

const KernelInfo* FindKernel(const std::string& name) {
    for (const KernelInfo& info : AvailableKernels()) {
        if (name == info.name) {
            return &info;
        }
    }
    return nullptr;
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
    void Check(const Picture& p) { ExpectSameCounts(info_->kernel, info_->name, p); }
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
    std::mt19937 random(20261206);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int n = 0; n < 60 / kScale; ++n) {
        const double span = 4.0 * std::pow(10.0, -13.0 * unit(random));
        const double cx = -2.2 + 2.7 * unit(random);
        const double cy = -1.2 + 2.4 * unit(random);
        const double aspect = 0.5 + unit(random);
        Picture p{{cx - span / 2, cy - aspect * span / 2, cx + span / 2, cy + aspect * span / 2},
                  1 + static_cast<std::int32_t>(unit(random) * 40),
                  1 + static_cast<std::int32_t>(unit(random) * 12),
                  2 + static_cast<std::uint32_t>(std::pow(unit(random), 2.0) * 1500)};
        Check(p);
    }
}

TEST_P(KernelTest, MatchesTheExactPathOnTheScenesAtReducedSize) {
    Region fitted = kDefaultRegion;
    FitRegionToAspect(1920, 1080, fitted);
    Check({fitted, 240 / kScale, 135 / kScale, 500});
    Check({{-0.7465, 0.1085, -0.7425, 0.1107}, 96 / kScale, 54 / kScale, 5000});
    Check({{-0.3, -0.2, 0.1, 0.2}, 48 / kScale, 48 / kScale, 2000});
}

TEST_P(KernelTest, MatchesTheExactPathForSmallLimitsOddWidthsAndMirroredRegions) {
    const Region view{-2.1, -1.3, 0.9, 1.3};
    const Region mirrored{0.9, 1.3, -2.1, -1.3};
    for (std::uint32_t limit : {0u, 1u, 2u, 3u, 4u, 3000u}) {
        for (std::int32_t width : {1, 3, 7, 17}) {
            Check({view, width, 5, limit});
            Check({mirrored, width, 5, limit});
        }
    }
    // The limit as a large unsigned value, where no point reaches it.
    Check({{0.5, 0.8, 2.5, 2.0}, 17, 3, 0xFFFFFFFFu});
    Check({{0.5, 0.8, 2.5, 2.0}, 17, 3, 0x80000001u});
}

TEST_P(KernelTest, RowsOfDifferentPicturesMayComeInAnyOrder) {
    // A picture's column samples are formed once and kept for its next rows:
    // rows of pictures that share x1 but not dx or width, or share dx and
    // width but not x1, come in turn here, and each must use its own samples
    // and write nothing past its end.
    struct Columns {
        double x1, dx;
        std::int32_t width;
    };
    // Each differs from the one before in one of x1, dx and width; one has a
    // column whose sample is too small for the fast path.
    const Columns pictures[] = {{-2.0, 0.125, 30}, {-2.0, 0.0625, 30},    {-2.0, 0.0625, 9},
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
                EXPECT_EQ(fast, exact)
                    << "x1 " << c.x1 << " dx " << c.dx << " width " << c.width << " y " << y;
            }
        }
    }
}

TEST_P(KernelTest, MatchesTheExactPathAtTheEdgesOfTheDoubleRange) {
    const Picture pictures[] = {
        // Huge samples: squares beyond the double range, samples at and beyond
        // 2^510, a running x that passes beyond the double range.
        {{1e200, 1e200, 3e200, 2e200}, 7, 3, 50},
        {{-1e200, -1e200, 1e200, 1e200}, 17, 5, 50},
        {{-1.7e308, -1.7e308, 1.7e308, 1.7e308}, 9, 5, 50},
        {{1.7e308, 0.0, 1.79e308, 1.0}, 17, 2, 50},
        {{0x1p509, 0.0, 0x1p511, 0x1p511}, 17, 4, 50},
        {{-0x1p-500, -1.0, 4.0, 1.0}, 17, 3, 50},
        // Tiny samples, whose squares fall below the normal range, and rows
        // and columns on the axes (exact zeros on both in the fourth).
        {{-1e-300, -1e-300, 1e-300, 1e-300}, 17, 7, 200},
        {{-1e-160, -1e-160, 1e-160, 1e-160}, 7, 7, 200},
        {{-0.8, -1e-200, 0.3, 1e-200}, 17, 4, 300},
        {{-1.0, -0.75, 1.0, 0.75}, 8, 6, 300},
        {{-0x1p-459, 0.3, 0x1p-459, 0.5}, 16, 3, 300},
        {{-0.1, 0x1p-458, 0.2, 0x1p-457}, 16, 3, 300},
        {{-2.0, 0.0, 0.5, 0.0}, 17, 1, 1000},
        // Non-finite corners and steps.
        {{NAN, -1.0, 1.0, 1.0}, 7, 3, 40},
        {{-1.0, NAN, 1.0, 1.0}, 7, 3, 40},
        {{-INFINITY, -1.0, 1.0, 1.0}, 7, 3, 40},
        {{-1.0, -1.0, INFINITY, 1.0}, 7, 3, 40},
        {{-1.0, -1.0, 1.0, INFINITY}, 7, 3, 40},
    };
    for (const Picture& p : pictures) {
        Check(p);
    }
}

TEST_P(KernelTest, PeriodicPointsAndLateEscapersKeepTheirCounts) {
    // Periodic: c = 0, -1, -2 (z = 2 from the first step on, |z|^2 = 4 is not
    // > 4), -1.75 (its orbit repeats only after about 3e7 steps), i, and
    // points of the main cardioid and the period-2 and period-3 bulbs; with
    // the shortcut, those that repeat within some thousand steps also store a
    // limit the plain iteration could not reach in a test. Late escapers:
    // just outside the cusp and the neck, after an orbit that nearly repeats.
    const struct {
        double cr, ci;
        bool escapes, repeatsSoon;
    } points[] = {
        {0.0, 0.0, false, true},         {-1.0, 0.0, false, true},
        {-2.0, 0.0, false, true},        {-1.75, 0.0, false, false},
        {-0.1, 0.1, false, true},        {0.2, -0.3, false, true},
        {-0.5, 0.5, false, true},        {0.25, 0.0, false, false},
        {-1.1, 0.05, false, true},       {-0.12, 0.75, false, true},
        {-1.7549, 0.0, false, true},     {0.0, 1.0, false, true},
        {0.2501, 0.0, true, false},      {0.26, 0.0, true, false},
        {-0.75, 0.002, true, false},     {-0.75, 0.0002, true, false},
        {0.25001, 0.0, true, false},     {0.3, 0.0, true, false},
        {-0.7453, 0.11301, true, false}, {-0.74529, 0.113075, true, false},
        {-2.0000001, 0.0, true, false},
    };
    for (const auto& c : points) {
        const std::uint32_t exact = IterateExact(wide::FromDouble(c.cr), c.ci, 40000);
        EXPECT_EQ(exact < 40000u, c.escapes) << "c = " << c.cr << " + " << c.ci << "i";
        EXPECT_EQ(Pixel(c.cr, c.ci, 40000), exact) << "c = " << c.cr << " + " << c.ci << "i";
        if (c.repeatsSoon && std::string(info_->name).find("-plain") == std::string::npos) {
            EXPECT_EQ(Pixel(c.cr, c.ci, 0xFFFFFFFFu), 0xFFFFFFFFu)
                << "c = " << c.cr << " + " << c.ci << "i";
        }
    }
    // A row of one repeated periodic sample keeps every lane busy at once.
    std::vector<std::uint32_t> row(37);
    info_->kernel(row.data(), 37, -1.0, 0.0, 0.0, 5000);
    EXPECT_EQ(row, std::vector<std::uint32_t>(37, 5000u));
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
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

TEST(KernelSelection, ForcesAKernelByNameAndAutoPicksTheFirstAfterTheExactPath) {
    const auto kernels = AvailableKernels();
    ASSERT_GE(kernels.size(), 3u);
    EXPECT_STREQ(kernels[0].name, "exact");
    EXPECT_NE(FindKernel("generic-plain"), nullptr) << "every CPU runs the generic kernels";
    for (const KernelInfo& info : kernels) {
        ASSERT_TRUE(ForceKernel(info.name)) << info.name;
        EXPECT_EQ(ActiveRowKernel(), info.kernel) << info.name;
    }
    for (const char* refused : {"avx1024", ""}) {
        EXPECT_FALSE(ForceKernel(refused));
        EXPECT_STREQ(ActiveKernelName(), kernels.back().name) << "a refused name changes nothing";
    }
    for (const char* fastest : {"auto", "fast"}) {
        ASSERT_TRUE(ForceKernel(fastest));
        EXPECT_STREQ(ActiveKernelName(), kernels[1].name);
    }
}

}  // namespace
