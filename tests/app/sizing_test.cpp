#include "app/sizing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

using S = SizingState;
using E = SizingEvent;

constexpr Region kStart{-2, -1.5, 2, 1.5};

bool SameBits(const Region& a, const Region& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Puts a machine into `state` with the snapshot (kStart, 400 x 300).
SizingMachine MachineIn(S state) {
    SizingMachine m;
    const SizingFacts setup{true, kStart, {400, 300}};
    m.Handle(E::Sizing, setup);
    m.Handle(E::ExitSizeMove, setup);
    const E enter[] = {E::ExitSizeMove, E::Sizing, E::MaximizeRestore, E::Minimize};
    m.Handle(enter[static_cast<int>(state)], setup);
    return m;
}

// Every state x every event with an engine: the next state (I, L, M, N for
// Idle, LiveSizing, MaximizeRestore, Minimizing), then s for a snapshot, p to
// place the view, u to update the engine and r to recompute.
const char* const kTable[4][5] = {
    // Sizing  Minimize  MaxRestore  Size    ExitSizeMove
    {"Ls", "N", "Ms", "Ipu", "I"},   // Idle
    {"L", "N", "Ms", "Lpu", "Ir"},   // LiveSizing
    {"Ls", "N", "Ms", "Ipur", "M"},  // MaximizeRestore
    {"Ls", "N", "Ms", "I", "N"},     // Minimizing
};

TEST(SizingMachineTest, EveryStateAndEventAsTheTableSays) {
    for (int from = 0; from < 4; ++from) {
        for (int event = 0; event < 5; ++event) {
            SizingMachine m = MachineIn(static_cast<S>(from));
            const SizingDecision d = m.Handle(static_cast<E>(event), {true, kStart, {640, 480}});
            const std::string row = kTable[from][event];
            const std::string seen = std::string(1, "ILMN"[static_cast<int>(m.State())]) +
                                     (m.Snapshot().width == 640 ? "s" : "") +
                                     (d.placeView ? "p" : "") + (d.updateEngine ? "u" : "") +
                                     (d.recompute ? "r" : "");
            EXPECT_EQ(seen, row) << "state " << from << " event " << event;
        }
    }
    // Without an engine no snapshot is taken and its state is not entered,
    // the view is still placed, and nothing reaches an engine.
    SizingMachine idle;
    idle.Handle(E::Sizing, {});
    idle.Handle(E::MaximizeRestore, {});
    EXPECT_EQ(idle.State(), S::Idle);
    EXPECT_EQ(idle.Handle(E::Size, {}), (SizingDecision{true, false, false}));
    SizingMachine maximizing = MachineIn(S::MaximizeRestore);
    EXPECT_EQ(maximizing.Handle(E::Size, {}), (SizingDecision{true, false, true}));
}

TEST(SizingMachineTest, MessagesBecomeEventsWithSystemCommandsComparedWhole) {
    EXPECT_EQ(SizingEventForMessage(WM_NCLBUTTONDBLCLK, 18), E::MaximizeRestore);
    EXPECT_EQ(SizingEventForMessage(WM_SYSCOMMAND, SC_MINIMIZE), E::Minimize);
    EXPECT_EQ(SizingEventForMessage(WM_SYSCOMMAND, SC_RESTORE), E::MaximizeRestore);
    for (std::uintptr_t low = 1; low < 16; ++low) {
        EXPECT_FALSE(SizingEventForMessage(WM_SYSCOMMAND, SC_MAXIMIZE | low));
    }
    EXPECT_FALSE(SizingEventForMessage(WM_GETMINMAXINFO, 0));
    EXPECT_EQ(ClientSizeFromLParam(0x012C0190), (ViewSize{400, 300}));
    EXPECT_EQ(ClientSizeFromLParam(-1), (ViewSize{65535, 65535}));
}

// The frame as the window code will drive the machine: a view with 2-pixel
// borders and an engine, counting the calls made.
struct Frame {
    SizingMachine machine;
    Region region = kStart;
    ViewSize engineSize{400, 300};
    ViewSize view{400, 300};
    int setRegions = 0;
    int recomputes = 0;

    void Send(std::uint32_t message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) {
        const SizingDecision d =
            machine.Handle(*SizingEventForMessage(message, wParam), {true, region, view});
        if (d.placeView) {
            const ViewSize client = ClientSizeFromLParam(lParam);
            view = {std::max(client.width - 4, 0), std::max(client.height - 4, 0)};
        }
        if (d.updateEngine) {
            const EngineUpdate u = machine.EngineUpdateFor(view);
            region = u.region.value_or(region);
            setRegions += u.region ? 1 : 0;
            engineSize = u.size;
        }
        recomputes += d.recompute ? 1 : 0;
    }
    void Size(int width, int height) { Send(WM_SIZE, 0, height << 16 | width); }
};

TEST(SizingSequenceTest, ADragFollowsLiveAndReturnsToTheSnapshotBitForBit) {
    Frame f;
    f.Send(WM_SIZING);
    f.Size(604, 304);
    EXPECT_TRUE(SameBits(f.region, Region{-3, -1.5, 3, 1.5}));
    EXPECT_EQ(f.engineSize, (ViewSize{600, 300}));
    for (int i = 0; i < 200; ++i) {
        f.Send(WM_SIZING);
        f.Size(150 + (i * 37) % 900, 120 + (i * 53) % 700);
    }
    f.Size(404, 304);
    EXPECT_TRUE(SameBits(f.region, kStart));
    EXPECT_EQ(f.recomputes, 0);
    f.Send(WM_EXITSIZEMOVE);
    EXPECT_EQ(f.recomputes, 1);
}

TEST(SizingSequenceTest, MaximiseComputesOnceAndMinimiseChangesNothing) {
    Frame f;
    f.Send(WM_SYSCOMMAND, SC_MAXIMIZE);
    f.Size(804, 604);
    EXPECT_EQ(f.region.X1, -4.0);
    f.Size(404, 304);  // in Idle: rescaled, not computed
    EXPECT_TRUE(SameBits(f.region, kStart));
    EXPECT_EQ(f.recomputes, 1);
    f.Send(WM_SYSCOMMAND, SC_MINIMIZE);
    f.Size(0, 0);
    EXPECT_EQ(f.view, (ViewSize{400, 300}));
    f.Send(WM_SYSCOMMAND, SC_RESTORE);
    f.Size(404, 304);
    EXPECT_TRUE(SameBits(f.region, kStart));
    EXPECT_EQ(f.engineSize, (ViewSize{400, 300}));
    EXPECT_EQ(f.recomputes, 2);  // which finds nothing changed
}

TEST(SizingSequenceTest, AnIdleSizeAfterAZoomStartsFromWhatIsOnScreen) {
    Frame f;
    f.Send(WM_SIZING);  // a snapshot of kStart at 400 x 300
    f.Size(404, 304);
    f.Send(WM_EXITSIZEMOVE);
    const Region zoomed{-1, -0.75, 1, 0.75};  // a zoom or Update since
    f.region = zoomed;
    f.Size(604, 304);
    EXPECT_TRUE(SameBits(f.region, Region{-1.5, -0.75, 1.5, 0.75}));
    EXPECT_EQ(f.machine.Snapshot().width, 400);  // the view's size before it moved
    f.Size(404, 304);                            // and later sizes keep to that fresh snapshot
    EXPECT_TRUE(SameBits(f.region, zoomed));
}

TEST(SizingSequenceTest, NoSizeCollapsesOrSpoilsTheRegion) {
    Frame f;
    f.Send(WM_SIZING);
    f.Size(2, 304);  // the view's client becomes 0 x 300: SetSize alone
    EXPECT_EQ(f.engineSize, (ViewSize{0, 300}));
    EXPECT_EQ(f.setRegions, 0);
    f.Size(604, 304);  // the snapshot is kept, so the scale comes back
    EXPECT_EQ(f.region.X1, -3.0);
    f.Send(WM_EXITSIZEMOVE);
    f.Size(0, 0);  // the same in Idle
    f.Size(604, 304);
    EXPECT_EQ(f.region.X1, -3.0);
    // A NaN corner typed into the Coordinates window stays as it is.
    f.region.X1 = std::numeric_limits<double>::quiet_NaN();
    f.Send(WM_SYSCOMMAND, SC_MAXIMIZE);
    f.Size(404, 304);
    EXPECT_TRUE(std::isnan(f.region.X1));
    EXPECT_EQ(f.engineSize, (ViewSize{400, 300}));
}

}  // namespace
