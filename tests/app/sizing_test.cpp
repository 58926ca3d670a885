#include "app/sizing.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

#include "engine/geometry.h"

namespace {

constexpr Region kStart{-2, -1.5, 2, 1.5};

bool SameBits(const Region& a, const Region& b) {
    return std::bit_cast<std::uint64_t>(a.X1) == std::bit_cast<std::uint64_t>(b.X1) &&
           std::bit_cast<std::uint64_t>(a.Y1) == std::bit_cast<std::uint64_t>(b.Y1) &&
           std::bit_cast<std::uint64_t>(a.X2) == std::bit_cast<std::uint64_t>(b.X2) &&
           std::bit_cast<std::uint64_t>(a.Y2) == std::bit_cast<std::uint64_t>(b.Y2);
}

// ---- The full table: every state x every event, with and without an engine.

SizingFacts Facts(bool attached, ViewSize view) {
    return SizingFacts{attached, kStart, view};
}

// Puts a machine into `state` with the snapshot (kStart, 400 x 300).
SizingMachine MachineIn(SizingState state) {
    SizingMachine m;
    const SizingFacts setup = Facts(true, {400, 300});
    m.Handle(SizingEvent::Sizing, setup);
    m.Handle(SizingEvent::ExitSizeMove, setup);
    switch (state) {
        case SizingState::Idle:
            break;
        case SizingState::LiveSizing:
            m.Handle(SizingEvent::Sizing, setup);
            break;
        case SizingState::MaximizeRestore:
            m.Handle(SizingEvent::MaximizeRestore, setup);
            break;
        case SizingState::Minimizing:
            m.Handle(SizingEvent::Minimize, setup);
            break;
    }
    EXPECT_EQ(m.State(), state);
    return m;
}

struct Row {
    SizingState from;
    SizingEvent event;
    bool attached;
    SizingState to;
    SizingDecision decision;  // place view, update engine, recompute
    bool snapshot;            // a snapshot is taken
};

using S = SizingState;
using E = SizingEvent;
constexpr SizingDecision kNothing{false, false, false};
constexpr SizingDecision kResize{true, true, false};

const Row kTable[] = {
    // With an engine.
    {S::Idle, E::Sizing, true, S::LiveSizing, kNothing, true},
    {S::Idle, E::Minimize, true, S::Minimizing, kNothing, false},
    {S::Idle, E::MaximizeRestore, true, S::MaximizeRestore, kNothing, true},
    {S::Idle, E::Size, true, S::Idle, kResize, false},
    {S::Idle, E::ExitSizeMove, true, S::Idle, kNothing, false},
    {S::LiveSizing, E::Sizing, true, S::LiveSizing, kNothing, false},
    {S::LiveSizing, E::Minimize, true, S::Minimizing, kNothing, false},
    {S::LiveSizing, E::MaximizeRestore, true, S::MaximizeRestore, kNothing, true},
    {S::LiveSizing, E::Size, true, S::LiveSizing, kResize, false},
    {S::LiveSizing, E::ExitSizeMove, true, S::Idle, {false, false, true}, false},
    {S::MaximizeRestore, E::Sizing, true, S::LiveSizing, kNothing, true},
    {S::MaximizeRestore, E::Minimize, true, S::Minimizing, kNothing, false},
    {S::MaximizeRestore, E::MaximizeRestore, true, S::MaximizeRestore, kNothing, true},
    {S::MaximizeRestore, E::Size, true, S::Idle, {true, true, true}, false},
    {S::MaximizeRestore, E::ExitSizeMove, true, S::MaximizeRestore, kNothing, false},
    {S::Minimizing, E::Sizing, true, S::LiveSizing, kNothing, true},
    {S::Minimizing, E::Minimize, true, S::Minimizing, kNothing, false},
    {S::Minimizing, E::MaximizeRestore, true, S::MaximizeRestore, kNothing, true},
    {S::Minimizing, E::Size, true, S::Idle, kNothing, false},
    {S::Minimizing, E::ExitSizeMove, true, S::Minimizing, kNothing, false},
    // Without one: no snapshot and no state change where a snapshot is due,
    // the view is still placed, and nothing reaches an engine.
    {S::Idle, E::Sizing, false, S::Idle, kNothing, false},
    {S::Idle, E::Minimize, false, S::Minimizing, kNothing, false},
    {S::Idle, E::MaximizeRestore, false, S::Idle, kNothing, false},
    {S::Idle, E::Size, false, S::Idle, {true, false, false}, false},
    {S::LiveSizing, E::Size, false, S::LiveSizing, {true, false, false}, false},
    {S::LiveSizing, E::ExitSizeMove, false, S::Idle, {false, false, true}, false},
    {S::MaximizeRestore, E::Sizing, false, S::MaximizeRestore, kNothing, false},
    {S::MaximizeRestore, E::Size, false, S::Idle, {true, false, true}, false},
    {S::Minimizing, E::MaximizeRestore, false, S::Minimizing, kNothing, false},
    {S::Minimizing, E::Size, false, S::Idle, kNothing, false},
};

TEST(SizingMachineTest, EveryStateAndEventAsTheTableSays) {
    for (const Row& row : kTable) {
        SizingMachine m = MachineIn(row.from);
        const SizingDecision d = m.Handle(row.event, Facts(row.attached, {640, 480}));
        const auto where = ::testing::Message()
                           << "state " << static_cast<int>(row.from) << " event "
                           << static_cast<int>(row.event) << " attached " << row.attached;
        EXPECT_EQ(m.State(), row.to) << where;
        EXPECT_EQ(d, row.decision) << where;
        EXPECT_EQ(m.Snapshot().width == 640, row.snapshot) << where;
    }
}

TEST(SizingMachineTest, MessagesBecomeEventsWithSystemCommandsComparedWhole) {
    EXPECT_EQ(SizingEventForMessage(kWmSizing, 0), E::Sizing);
    EXPECT_EQ(SizingEventForMessage(kWmSize, 2), E::Size);  // the kind of change is ignored
    EXPECT_EQ(SizingEventForMessage(kWmExitSizeMove, 0), E::ExitSizeMove);
    EXPECT_EQ(SizingEventForMessage(kWmNcLButtonDblClk, 18), E::MaximizeRestore);
    EXPECT_EQ(SizingEventForMessage(kWmSysCommand, kScMinimize), E::Minimize);
    EXPECT_EQ(SizingEventForMessage(kWmSysCommand, kScMaximize), E::MaximizeRestore);
    EXPECT_EQ(SizingEventForMessage(kWmSysCommand, kScRestore), E::MaximizeRestore);
    for (std::uintptr_t low = 1; low < 16; ++low) {
        EXPECT_FALSE(SizingEventForMessage(kWmSysCommand, kScMaximize | low));
        EXPECT_FALSE(SizingEventForMessage(kWmSysCommand, kScMinimize | low));
        EXPECT_FALSE(SizingEventForMessage(kWmSysCommand, kScRestore | low));
    }
    EXPECT_FALSE(SizingEventForMessage(kWmSysCommand, 0xF060));  // SC_CLOSE
    EXPECT_FALSE(SizingEventForMessage(kWmGetMinMaxInfo, 0));
    EXPECT_EQ(ClientSizeFromLParam(0x012C0190), (ViewSize{400, 300}));
    EXPECT_EQ(ClientSizeFromLParam(-1), (ViewSize{65535, 65535}));
}

// ---- Sequences, driven the way the frame's window procedure drives it.

// The frame, its view (2-pixel borders) and the engine, as far as resizing
// sees them.
struct Frame {
    SizingMachine machine;
    bool attached = true;
    Region region = kStart;
    ViewSize engineSize{400, 300};
    ViewSize view{400, 300};
    int setRegions = 0;
    int setSizes = 0;
    int shows = 0;
    int recomputes = 0;

    void Send(std::uint32_t message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) {
        const std::optional<SizingEvent> event = SizingEventForMessage(message, wParam);
        ASSERT_TRUE(event);
        const SizingDecision d = machine.Handle(*event, SizingFacts{attached, region, view});
        if (d.placeView) {
            const ViewSize client = ClientSizeFromLParam(lParam);
            view = {std::max(client.width - 4, 0), std::max(client.height - 4, 0)};
        }
        if (d.updateEngine) {
            const EngineUpdate u = machine.EngineUpdateFor(view);
            if (u.region) {
                region = *u.region;
                ++setRegions;
            }
            engineSize = u.size;
            ++setSizes;
            if (u.region) {
                ++shows;
            }
        }
        if (d.recompute) {
            ++recomputes;
        }
    }
    void Size(int frameClientWidth, int frameClientHeight) {
        Send(kWmSize, 0, frameClientHeight << 16 | frameClientWidth);
    }
};

TEST(SizingSequenceTest, ADragFollowsLiveAndReturnsToTheSnapshotBitForBit) {
    Frame f;
    f.Send(kWmSizing);
    f.Size(604, 304);
    EXPECT_EQ(f.region.X1, -3.0);
    EXPECT_EQ(f.region.Y1, -1.5);
    EXPECT_EQ(f.region.X2, 3.0);
    EXPECT_EQ(f.region.Y2, 1.5);
    EXPECT_EQ(f.engineSize, (ViewSize{600, 300}));
    for (int i = 0; i < 200; ++i) {
        f.Send(kWmSizing);
        f.Size(150 + (i * 37) % 900, 120 + (i * 53) % 700);
    }
    f.Size(404, 304);
    EXPECT_TRUE(SameBits(f.region, kStart));
    EXPECT_EQ(f.setRegions, 202);
    EXPECT_EQ(f.shows, 202);
    EXPECT_EQ(f.recomputes, 0);  // nothing is computed during the drag
    f.Send(kWmExitSizeMove);
    EXPECT_EQ(f.recomputes, 1);
    EXPECT_EQ(f.machine.State(), S::Idle);
}

TEST(SizingSequenceTest, MaximiseComputesOnceAndALaterSizeOnlyRescales) {
    Frame f;
    f.Send(kWmSysCommand, kScMaximize);
    f.Size(804, 604);
    EXPECT_EQ(f.recomputes, 1);
    EXPECT_EQ(f.region.X1, -4.0);
    EXPECT_EQ(f.region.Y1, -3.0);
    f.Size(404, 304);
    EXPECT_EQ(f.recomputes, 1);
    EXPECT_TRUE(SameBits(f.region, kStart));
}

TEST(SizingSequenceTest, MinimiseAndRestoreLeaveEverythingAsItWas) {
    Frame f;
    f.Send(kWmSysCommand, kScMinimize);
    f.Size(0, 0);
    EXPECT_EQ(f.view, (ViewSize{400, 300}));
    EXPECT_EQ(f.setSizes, 0);
    f.Send(kWmSysCommand, kScRestore);
    f.Size(404, 304);
    EXPECT_TRUE(SameBits(f.region, kStart));
    EXPECT_EQ(f.engineSize, (ViewSize{400, 300}));
    EXPECT_EQ(f.recomputes, 1);  // which finds nothing to do: nothing changed
}

TEST(SizingSequenceTest, AnIdleSizeAfterAZoomStartsFromWhatIsOnScreen) {
    Frame f;
    f.Send(kWmSizing);  // an old snapshot: kStart at 400 x 300
    f.Size(404, 304);
    f.Send(kWmExitSizeMove);
    const Region zoomed{-1, -0.75, 1, 0.75};  // a zoom or Update since
    f.region = zoomed;
    f.Size(604, 304);
    // The zoomed Region grows by its own scale, not the snapshot's.
    EXPECT_EQ(f.region.X1, -1.5);
    EXPECT_EQ(f.region.X2, 1.5);
    EXPECT_EQ(f.region.Y1, -0.75);
    EXPECT_EQ(f.region.Y2, 0.75);
    EXPECT_EQ(f.machine.Snapshot().width, 400);  // the size before the view moved
    EXPECT_TRUE(SameBits(f.machine.Snapshot().region, zoomed));
    // Further sizes keep using that fresh snapshot.
    f.Size(404, 304);
    EXPECT_TRUE(SameBits(f.region, zoomed));
    EXPECT_EQ(f.recomputes, 1);
}

TEST(SizingSequenceTest, AZeroSidedViewSetsTheSizeAloneAndKeepsTheRegion) {
    Frame f;
    f.Send(kWmSizing);
    f.Size(2, 304);  // the view's client becomes 0 x 300
    EXPECT_EQ(f.engineSize, (ViewSize{0, 300}));
    EXPECT_TRUE(SameBits(f.region, kStart));
    EXPECT_EQ(f.setRegions, 0);
    EXPECT_EQ(f.machine.Snapshot().width, 400);
    f.Size(604, 304);  // the scale of the drag's start comes back
    EXPECT_EQ(f.region.X1, -3.0);
    f.Send(kWmExitSizeMove);
    // The same in Idle, where a platform may size to nothing without a minimise.
    f.Size(0, 0);
    EXPECT_EQ(f.region.X1, -3.0);
    f.Size(604, 304);
    EXPECT_EQ(f.region.X1, -3.0);
    EXPECT_EQ(f.recomputes, 1);
}

TEST(SizingSequenceTest, RescalesWithoutAShowableRegionKeepTheRegion) {
    Frame f;
    f.region = {1, 1, 1, 1};  // equal corners typed into the Coordinates window
    f.Send(kWmSizing);
    f.Size(604, 304);
    EXPECT_EQ(f.setRegions, 0);
    EXPECT_EQ(f.engineSize, (ViewSize{600, 300}));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    f.region = {nan, -1, 1, 1};
    f.Send(kWmSysCommand, kScMaximize);
    f.Size(804, 604);
    EXPECT_EQ(f.setRegions, 0);
    EXPECT_TRUE(std::isnan(f.region.X1));
    EXPECT_EQ(f.recomputes, 1);
    // A NaN Region seen again is the same one: no new snapshot each time.
    f.Size(404, 304);
    EXPECT_EQ(f.machine.Snapshot().width, 600);
}

TEST(SizingSequenceTest, SizesBeforeAnEngineOrSnapshotOnlyPlaceTheView) {
    Frame f;
    f.attached = false;
    f.Send(kWmSizing);
    f.Size(304, 204);
    EXPECT_EQ(f.view, (ViewSize{300, 200}));
    EXPECT_EQ(f.setSizes, 0);
    EXPECT_EQ(f.machine.State(), S::Idle);
    // Attached, but nothing snapshotted and the Region still the zero one.
    Frame g;
    g.region = Region{};
    g.Size(204, 104);
    EXPECT_EQ(g.setSizes, 1);
    EXPECT_EQ(g.setRegions, 0);
    EXPECT_EQ(g.engineSize, (ViewSize{200, 100}));
}

}  // namespace
