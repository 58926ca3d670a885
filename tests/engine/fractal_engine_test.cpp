// The FractalEngine's counts against the MPFR reference, its dirty flag, its
// buffer when memory runs out, and the pacing of its progress display, with
// the clock, the progress display and the allocator replaced.
#include "engine/fractal_engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/engine/mpfr_reference.h"

namespace {

WindowHandle FakeOwner() {
    return reinterpret_cast<WindowHandle>(std::uintptr_t{0x1234});
}

// Records what Render does with its progress display, as text.
class RecordingProgress : public ProgressDisplay {
public:
    explicit RecordingProgress(std::vector<std::string>& log) : log_(log) {}
    void Open(WindowHandle owner, const char* label, std::int32_t total) override {
        log_.push_back(std::string(owner == FakeOwner() ? "open " : "open other ") + label + " " +
                       std::to_string(total));
    }
    void Show() override { log_.push_back("show"); }
    void SetProgress(std::int32_t position) override {
        log_.push_back("progress " + std::to_string(position));
    }
    void Hide() override { log_.push_back("hide"); }

private:
    std::vector<std::string>& log_;
};

// A clock that advances by a fixed step (ms) at every reading.
struct SteppingClock {
    std::uint32_t now;
    std::uint32_t step;
    std::uint32_t operator()() { return (now += step) - step; }
};

bool g_failAllocation = false;
// Fails on demand, and for any block over 1 GiB, as a machine without that
// much memory would.
void* Allocator(std::size_t count, std::size_t size) {
    const bool fail = g_failAllocation || count > (std::size_t{1} << 30) / size;
    return fail ? nullptr : std::calloc(count, size);
}

RenderServices Services(std::vector<std::string>& log, SteppingClock clock = {0, 0}) {
    RenderServices services;
    services.makeProgress = [&log] { return std::make_unique<RecordingProgress>(log); };
    services.tickCount = clock;
    services.allocateZeroed = Allocator;
    return services;
}

FractalEngine Engine(Region region, std::int32_t width, std::int32_t height, std::uint32_t limit) {
    FractalEngine engine;
    engine.SetRegion(region);
    engine.SetSize(width, height);
    engine.SetIterationLimit(limit);
    return engine;
}

TEST(FractalEngine, CountsAreTheExactPathsRowByRow) {
    // Sides that differ, so a step formed from the wrong side shows; Y
    // reversed (rows run from Y1 down), a span beyond the double range whose
    // step is not, a NaN corner, and limits 0 and 1, which give 1 everywhere.
    const struct {
        Region region;
        std::int32_t width, height;
        std::uint32_t limit;
    } cases[] = {
        {{-2.0, -1.5, 1.0, 1.5}, 13, 9, 300},       {{-2.0, 1.5, 1.0, -1.5}, 16, 8, 200},
        {{-1.5e308, -1.0, 1.5e308, 1.0}, 4, 2, 20}, {{NAN, -1.0, 1.0, 1.0}, 3, 2, 40},
        {{-2.0, -1.5, 1.0, 1.5}, 5, 4, 0},          {{-2.0, -1.5, 1.0, 1.5}, 5, 4, 1},
    };
    for (const auto& c : cases) {
        FractalEngine engine = Engine(c.region, c.width, c.height, c.limit);
        engine.dirty = true;
        ASSERT_EQ(engine.Render(nullptr, false), kRenderComputed);
        const double dx = reference::StepSize(c.region.X1, c.region.X2, c.width);
        const double dy = reference::StepSize(c.region.Y1, c.region.Y2, c.height);
        std::vector<std::uint32_t> expected(static_cast<std::size_t>(c.width));
        double y = c.region.Y1;
        for (int row = 0; row < c.height; ++row) {
            reference::Row(expected.data(), c.width, c.region.X1, dx, y, c.limit);
            const std::uint32_t* counts = engine.Counts() + row * c.width;
            ASSERT_EQ(std::vector<std::uint32_t>(counts, counts + c.width), expected)
                << "row " << row << " of " << c.width << " x " << c.height << " from "
                << c.region.X1 << ", " << c.region.Y1;
            y = y + dy;
        }
    }
}

TEST(FractalEngine, RendersOnlyWhenSomethingChangedOrForced) {
    std::vector<std::string> log;
    FractalEngine engine = Engine({-0.0, 0.0, 1.0, 1.5}, 8, 6, 50);
    ASSERT_EQ(engine.Render(FakeOwner(), false, Services(log)), kRenderComputed);
    log.clear();
    // Corners compare as numbers; NaN corners alone never change the engine.
    engine.SetRegion({0.0, 0.0, 1.0, 1.5});
    engine.SetRegion({NAN, NAN, NAN, NAN});
    engine.SetSize(8, 6);
    engine.SetIterationLimit(50);
    EXPECT_EQ(engine.Render(FakeOwner(), false, Services(log)), kRenderNothingToDo);
    EXPECT_TRUE(log.empty()) << "no progress window for nothing to do";
    EXPECT_EQ(engine.Render(FakeOwner(), true, Services(log)), kRenderComputed);
    engine.SetRegion({NAN, 0.5, 1.0, 1.5});
    EXPECT_TRUE(engine.dirty) << "another corner differs: the whole Region is taken";
    EXPECT_TRUE(std::isnan(engine.region.X1));
}

TEST(FractalEngine, NoMemoryLeavesNoBufferAndStaysDirty) {
    std::vector<std::string> log;
    FractalEngine engine = Engine({-2.0, -1.5, 1.0, 1.5}, 8, 6, 50);
    ASSERT_EQ(engine.Render(nullptr, false, Services(log)), kRenderComputed);
    log.clear();
    g_failAllocation = true;
    EXPECT_EQ(engine.Render(FakeOwner(), true, Services(log)), kRenderNoMemory);
    g_failAllocation = false;
    EXPECT_EQ(engine.Counts(), nullptr) << "the old buffer was released first";
    EXPECT_TRUE(engine.dirty);
    EXPECT_TRUE(log.empty()) << "no progress window was opened";
    EXPECT_EQ(engine.Render(nullptr, false, Services(log)), kRenderComputed) << "unforced retry";

    engine.SetSize(INT32_MAX, INT32_MAX);
    EXPECT_EQ(engine.Render(nullptr, false, Services(log)), kRenderNoMemory);
    EXPECT_EQ(engine.Counts(), nullptr);
}

TEST(FractalEngine, ProgressIsPacedByTheClock) {
    const std::string open = "open Rendering... 6";
    const struct {
        const char* what;
        bool owner;
        std::int32_t width;
        SteppingClock clock;
        std::vector<std::string> expected;
    } cases[] = {
        {"a fast picture never updates", true, 4, {1000, 1}, {open, "show", "hide"}},
        {"20 ms rows update after every third row",
         true,
         4,
         {0, 20},
         {open, "show", "progress 2", "progress 5", "hide"}},
        {"the clock wrapping past 2^32 keeps updating",
         true,
         4,
         {0xFFFFFFD0u, 20},
         {open, "show", "progress 2", "progress 5", "hide"}},
        {"no owner opens and shows nothing",
         false,
         4,
         {0, 60},
         {"progress 0", "progress 1", "progress 2", "progress 3", "progress 4", "progress 5",
          "hide"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> log;
        FractalEngine engine = Engine({-2.0, -1.5, 1.0, 1.5}, c.width, 6, 20);
        ASSERT_EQ(engine.Render(c.owner ? FakeOwner() : nullptr, false, Services(log, c.clock)),
                  kRenderComputed);
        EXPECT_EQ(log, c.expected) << c.what;
    }
}

}  // namespace
