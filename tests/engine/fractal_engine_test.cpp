// The FractalEngine's state machine, results, buffer, sampling and progress
// pacing, with the clock, the progress display and the allocator replaced.
#include "engine/fractal_engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/escape_time.h"
#include "tests/engine/mpfr_reference.h"

namespace {

WindowHandle FakeOwner() {
    return reinterpret_cast<WindowHandle>(std::uintptr_t{0x1234});
}

// Records what Render does with its progress display, as text.
struct ProgressLog {
    std::vector<std::string> calls;
};

class RecordingProgress : public ProgressDisplay {
public:
    explicit RecordingProgress(ProgressLog& log) : log_(log) { log_.calls.push_back("construct"); }
    ~RecordingProgress() override { log_.calls.push_back("destroy"); }
    void Open(WindowHandle owner, const char* label, std::int32_t total) override {
        log_.calls.push_back("open " + std::string(owner == FakeOwner() ? "owner " : "other ") +
                             label + " " + std::to_string(total));
    }
    void Show() override { log_.calls.push_back("show"); }
    void SetProgress(std::int32_t position) override {
        log_.calls.push_back("progress " + std::to_string(position));
    }
    void Hide() override { log_.calls.push_back("hide"); }

private:
    ProgressLog& log_;
};

// A clock that advances by a fixed step at every reading.
struct SteppingClock {
    std::uint32_t now;
    std::uint32_t step;
    std::uint32_t operator()() {
        const std::uint32_t reading = now;
        now += step;
        return reading;
    }
};

RenderServices Services(ProgressLog& log, SteppingClock clock = {0, 0}) {
    RenderServices services;
    services.makeProgress = [&log] { return std::make_unique<RecordingProgress>(log); };
    services.tickCount = clock;
    return services;
}

int g_allocations = 0;
bool g_failAllocation = false;
// Fails on demand, and for any block over 1 GiB, as a machine without that
// much memory would.
void* CountingAllocator(std::size_t count, std::size_t size) {
    ++g_allocations;
    if (g_failAllocation || count > (std::size_t{1} << 30) / size) {
        return nullptr;
    }
    return std::calloc(count, size);
}

FractalEngine SmallEngine(std::int32_t width = 8, std::int32_t height = 6,
                          std::uint32_t limit = 50) {
    FractalEngine engine;
    engine.SetRegion({-2.0, -1.5, 1.0, 1.5});
    engine.SetSize(width, height);
    engine.SetIterationLimit(limit);
    return engine;
}

std::vector<std::uint32_t> CountsOf(const FractalEngine& engine) {
    const std::size_t n = static_cast<std::size_t>(engine.bufferWidth) *
                          static_cast<std::size_t>(engine.bufferHeight);
    return {engine.Counts(), engine.Counts() + n};
}

TEST(FractalEngine, StartsZeroAndClean) {
    FractalEngine engine;
    EXPECT_EQ(engine.region.X1, 0.0);
    EXPECT_EQ(engine.region.Y2, 0.0);
    EXPECT_EQ(engine.width, 0);
    EXPECT_EQ(engine.height, 0);
    EXPECT_EQ(engine.iterationLimit, 0u);
    EXPECT_FALSE(engine.dirty);
    EXPECT_EQ(engine.Counts(), nullptr);
    EXPECT_EQ(engine.Render(nullptr, false), kRenderNothingToDo);
}

TEST(FractalEngine, SetRegionComparesNumerically) {
    FractalEngine engine;
    engine.SetRegion({-0.0, 0.0, -0.0, 0.0});
    EXPECT_FALSE(engine.dirty) << "-0.0 equals +0.0";
    engine.SetRegion({NAN, NAN, NAN, NAN});
    EXPECT_FALSE(engine.dirty) << "a Region of NaN corners never changes the engine";
    EXPECT_EQ(engine.region.X1, 0.0);
    engine.SetRegion({NAN, 0.0, 1.0, 0.0});
    EXPECT_TRUE(engine.dirty) << "another corner differs: the whole Region is taken";
    EXPECT_TRUE(std::isnan(engine.region.X1));
    EXPECT_EQ(engine.region.X2, 1.0);

    // A number typed over a stored NaN corner is a change.
    engine.dirty = false;
    engine.SetRegion({-1.0, 0.0, 1.0, 0.0});
    EXPECT_TRUE(engine.dirty);
    EXPECT_EQ(engine.region.X1, -1.0);

    engine.dirty = false;
    engine.SetRegion({-1.0, 0.0, 1.0, 0.0});
    EXPECT_FALSE(engine.dirty) << "the same corners";
}

TEST(FractalEngine, SizeAndLimitMarkDirtyOnlyWhenChanged) {
    FractalEngine engine;
    engine.SetSize(0, 0);
    engine.SetIterationLimit(0);
    EXPECT_FALSE(engine.dirty);
    engine.SetSize(0, 7);
    EXPECT_TRUE(engine.dirty);
    EXPECT_EQ(engine.width, 0);
    EXPECT_EQ(engine.height, 7);
    engine.dirty = false;
    engine.SetIterationLimit(500);
    EXPECT_TRUE(engine.dirty);
    EXPECT_EQ(engine.iterationLimit, 500u);
}

TEST(FractalEngine, RendersOnlyWhenDirtyOrForced) {
    ProgressLog log;
    FractalEngine engine = SmallEngine();
    ASSERT_EQ(engine.Render(FakeOwner(), false, Services(log)), kRenderComputed);
    EXPECT_FALSE(engine.dirty);
    const std::uint32_t* first = engine.Counts();
    const std::vector<std::uint32_t> counts = CountsOf(engine);

    log.calls.clear();
    EXPECT_EQ(engine.Render(FakeOwner(), false, Services(log)), kRenderNothingToDo);
    EXPECT_EQ(engine.Counts(), first);
    EXPECT_TRUE(log.calls.empty()) << "no progress window for nothing to do";

    EXPECT_EQ(engine.Render(FakeOwner(), true, Services(log)), kRenderComputed);
    EXPECT_EQ(CountsOf(engine), counts);
}

TEST(FractalEngine, CountsAreTheExactPathsRowByRow) {
    FractalEngine engine = SmallEngine(13, 9, 300);
    ASSERT_EQ(engine.Render(nullptr, true), kRenderComputed);
    const double dx = reference::StepSize(-2.0, 1.0, 13);
    const double dy = reference::StepSize(-1.5, 1.5, 9);
    std::vector<std::uint32_t> expected(13);
    double y = -1.5;
    for (int row = 0; row < 9; ++row) {
        reference::Row(expected.data(), 13, -2.0, dx, y, 300);
        for (int k = 0; k < 13; ++k) {
            ASSERT_EQ(engine.Counts()[row * 13 + k], expected[k]) << "row " << row << " col " << k;
        }
        y = y + dy;
    }
}

TEST(FractalEngine, SamplesByRepeatedAddition) {
    // X1 = 0, X2 = 1, width 10: the step is 0.1 and the ten columns sample
    // 0, 0.1, 0.2, 0.30000000000000004, ..., 0.7999999999999999,
    // 0.8999999999999999. Rows accumulate y the same way.
    static std::vector<double> rowsSeen;
    static double stepSeen;
    static double startSeen;
    rowsSeen.clear();
    RenderServices services;
    services.rowKernel = [](std::uint32_t* out, std::int32_t width, double x1, double dx, double y,
                            std::uint32_t limit) {
        rowsSeen.push_back(y);
        stepSeen = dx;
        startSeen = x1;
        ComputeRowExact(out, width, x1, dx, y, limit);
    };
    FractalEngine engine;
    engine.SetRegion({0.0, 0.0, 1.0, 1.0});
    engine.SetSize(10, 10);
    engine.SetIterationLimit(10);
    ASSERT_EQ(engine.Render(nullptr, false, services), kRenderComputed);
    EXPECT_EQ(startSeen, 0.0);
    EXPECT_EQ(stepSeen, 0.1);
    const std::vector<double> expected = {0.0, 0.1, 0.2, 0.30000000000000004, 0.4,
                                          0.5, 0.6, 0.7, 0.7999999999999999,  0.8999999999999999};
    EXPECT_EQ(rowsSeen, expected);
    WideDouble x = wide::FromDouble(0.0);
    for (double column : expected) {
        EXPECT_EQ(wide::ToDouble(x), column);
        x = wide::Add(x, wide::FromDouble(stepSeen));
    }
}

TEST(FractalEngine, StepsBeyondTheDoubleRangeAreFormedWide) {
    // X2 - X1 = 3e308 is out of range, the step 7.5e307 is not.
    static double stepSeen;
    RenderServices services;
    services.rowKernel = [](std::uint32_t* out, std::int32_t width, double x1, double dx, double y,
                            std::uint32_t limit) {
        stepSeen = dx;
        ComputeRowExact(out, width, x1, dx, y, limit);
    };
    FractalEngine engine;
    engine.SetRegion({-1.5e308, -1.0, 1.5e308, 1.0});
    engine.SetSize(4, 2);
    engine.SetIterationLimit(20);
    ASSERT_EQ(engine.Render(nullptr, false, services), kRenderComputed);
    EXPECT_EQ(stepSeen, 7.5e307);
    // Column 2 samples x = 0: c = -i is periodic and c = 0 stays put; every
    // other column is far outside and escapes at once.
    EXPECT_EQ(CountsOf(engine), (std::vector<std::uint32_t>{1, 1, 20, 1, 1, 1, 20, 1}));
}

TEST(FractalEngine, ReversedCornersMirrorThePicture) {
    // With exact steps, Y reversed samples -y where the upright Region samples
    // y; the set is symmetric about the real axis, so the rows' counts agree.
    FractalEngine upright = SmallEngine(16, 8, 200);
    FractalEngine reversed = SmallEngine(16, 8, 200);
    reversed.SetRegion({-2.0, 1.5, 1.0, -1.5});
    ASSERT_EQ(upright.Render(nullptr, false), kRenderComputed);
    ASSERT_EQ(reversed.Render(nullptr, false), kRenderComputed);
    // Y2 - Y1 = -3 over 8 rows is not exact; compare against -y samples directly.
    const double dy = reference::StepSize(1.5, -1.5, 8);
    const double dx = reference::StepSize(-2.0, 1.0, 16);
    std::vector<std::uint32_t> mirrored(16);
    double y = 1.5;
    for (int row = 0; row < 8; ++row) {
        reference::Row(mirrored.data(), 16, -2.0, dx, -y, 200);
        for (int k = 0; k < 16; ++k) {
            ASSERT_EQ(reversed.Counts()[row * 16 + k], mirrored[k]) << row << "," << k;
        }
        y = y + dy;
    }
}

TEST(FractalEngine, LimitsZeroAndOneGiveOneEverywhere) {
    for (std::uint32_t limit : {0u, 1u}) {
        FractalEngine engine = SmallEngine(5, 4, limit);
        engine.dirty = true;
        ASSERT_EQ(engine.Render(nullptr, false), kRenderComputed);
        EXPECT_EQ(CountsOf(engine), std::vector<std::uint32_t>(20, 1u));
    }
    FractalEngine two = SmallEngine(5, 4, 2);
    ASSERT_EQ(two.Render(nullptr, false), kRenderComputed);
    for (std::uint32_t c : CountsOf(two)) {
        EXPECT_TRUE(c == 1u || c == 2u);
    }
}

TEST(FractalEngine, ZeroSizeIsASuccessfulEmptyComputation) {
    ProgressLog log;
    FractalEngine engine = SmallEngine(0, 5);
    EXPECT_EQ(engine.Render(FakeOwner(), false, Services(log)), kRenderComputed);
    EXPECT_NE(engine.Counts(), nullptr);
    EXPECT_EQ(engine.bufferWidth, 0);
    EXPECT_EQ(engine.bufferHeight, 5);
    EXPECT_EQ(log.calls.at(1), "open owner Rendering... 5") << "the window is still opened";
}

TEST(FractalEngine, AllocationFailureLeavesNoBufferAndStaysDirty) {
    ProgressLog log;
    RenderServices services = Services(log);
    services.allocateZeroed = CountingAllocator;
    FractalEngine engine = SmallEngine();
    ASSERT_EQ(engine.Render(nullptr, false, services), kRenderComputed);

    g_failAllocation = true;
    log.calls.clear();
    EXPECT_EQ(engine.Render(FakeOwner(), true, services), kRenderNoMemory);
    EXPECT_EQ(engine.Counts(), nullptr) << "the old buffer was released first";
    EXPECT_EQ(engine.bufferWidth, 0);
    EXPECT_TRUE(engine.dirty);
    EXPECT_TRUE(log.calls.empty()) << "no progress window was opened";

    g_failAllocation = false;
    const int before = g_allocations;
    EXPECT_EQ(engine.Render(nullptr, false, services), kRenderComputed) << "unforced retry";
    EXPECT_EQ(g_allocations, before + 1);
    EXPECT_FALSE(engine.dirty);
}

TEST(FractalEngine, BufferTooLargeForMemoryIsNoMemory) {
    RenderServices services;
    services.allocateZeroed = CountingAllocator;
    FractalEngine engine = SmallEngine(INT32_MAX, INT32_MAX);
    EXPECT_EQ(engine.Render(nullptr, false, services), kRenderNoMemory);
    EXPECT_TRUE(engine.dirty);
    EXPECT_EQ(engine.Counts(), nullptr);
    EXPECT_EQ(engine.bufferWidth, 0);
}

TEST(FractalEngine, BufferKeepsItsOwnSizeAfterSetSize) {
    FractalEngine engine = SmallEngine(8, 6);
    ASSERT_EQ(engine.Render(nullptr, false), kRenderComputed);
    engine.SetSize(100, 100);
    EXPECT_EQ(engine.bufferWidth, 8);
    EXPECT_EQ(engine.bufferHeight, 6);
    ASSERT_EQ(engine.Render(nullptr, false), kRenderComputed);
    EXPECT_EQ(engine.bufferWidth, 100);
}

TEST(FractalEngine, ResetReturnsToTheInitialState) {
    FractalEngine engine = SmallEngine();
    ASSERT_EQ(engine.Render(nullptr, false), kRenderComputed);
    engine.SetSize(3, 3);
    engine.Reset();
    EXPECT_EQ(engine.Counts(), nullptr);
    EXPECT_EQ(engine.width, 0);
    EXPECT_EQ(engine.iterationLimit, 0u);
    EXPECT_FALSE(engine.dirty);
    EXPECT_EQ(engine.Render(nullptr, false), kRenderNothingToDo);
    EXPECT_EQ(engine.Render(nullptr, true), kRenderComputed);
    EXPECT_NE(engine.Counts(), nullptr) << "an empty buffer";
}

TEST(FractalEngine, ProgressIsPacedByTheClock) {
    struct Case {
        const char* what;
        SteppingClock clock;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"a fast picture never updates",
         {1000, 1},
         {"construct", "open owner Rendering... 6", "show", "hide", "destroy"}},
        {"20 ms rows update after every third row",
         {0, 20},
         {"construct", "open owner Rendering... 6", "show", "progress 2", "progress 5", "hide",
          "destroy"}},
        {"the clock wrapping past 2^32 keeps updating",
         {0xFFFFFFD0u, 20},
         {"construct", "open owner Rendering... 6", "show", "progress 2", "progress 5", "hide",
          "destroy"}},
        {"51 ms rows update after every row",
         {7, 51},
         {"construct", "open owner Rendering... 6", "show", "progress 0", "progress 1",
          "progress 2", "progress 3", "progress 4", "progress 5", "hide", "destroy"}},
    };
    for (const Case& c : cases) {
        ProgressLog log;
        FractalEngine engine = SmallEngine(4, 6, 20);
        ASSERT_EQ(engine.Render(FakeOwner(), false, Services(log, c.clock)), kRenderComputed);
        EXPECT_EQ(log.calls, c.expected) << c.what;
    }
}

TEST(FractalEngine, NoOwnerComputesTheSameAndOpensNothing) {
    ProgressLog log;
    FractalEngine withOwner = SmallEngine();
    FractalEngine without = SmallEngine();
    ASSERT_EQ(withOwner.Render(FakeOwner(), false, Services(log, {0, 60})), kRenderComputed);
    log.calls.clear();
    ASSERT_EQ(without.Render(nullptr, false, Services(log, {0, 60})), kRenderComputed);
    EXPECT_EQ(CountsOf(withOwner), CountsOf(without));
    for (const std::string& call : log.calls) {
        EXPECT_TRUE(call.rfind("open", 0) != 0 && call != "show") << call;
    }
}

TEST(FractalEngine, NonFiniteCornersStoreTheLimit) {
    FractalEngine engine;
    engine.SetRegion({NAN, -1.0, 1.0, 1.0});
    engine.SetSize(3, 2);
    engine.SetIterationLimit(40);
    ASSERT_EQ(engine.Render(nullptr, false), kRenderComputed);
    EXPECT_EQ(CountsOf(engine), std::vector<std::uint32_t>(6, 40u));
}

TEST(FractalEngine, GetEngineGoesThroughTheInstalledLocator) {
    static FractalEngine attached;
    SetEngineLocator(nullptr);
    EXPECT_EQ(GetEngine(), nullptr);
    SetEngineLocator([] { return &attached; });
    EXPECT_EQ(GetEngine(), &attached);
    SetEngineLocator(nullptr);
}

}  // namespace
