// The frame's resize handling as a pure state machine. The frame's window
// procedure turns six messages into SizingEvents, hands the machine the facts
// it reads at that moment, and carries out the decisions it gets back, in the
// order given below; afterwards it passes every one of these messages on to
// DefWindowProcA unchanged.
//
// A resize keeps the picture's scale and centre: the Region is recomputed from
// a snapshot (the Region and the view's client size) taken when the resize
// began, so that plane units per pixel stay the same however many size
// messages arrive. Nothing is recomputed while a border is dragged; the picture
// is computed once at the end of the drag, or at the size message that follows
// a maximise or restore. A minimise changes nothing.
#pragma once

#include <cstdint>
#include <optional>

#include "engine/region.h"
#include "platform/win32.h"  // the message ids and system commands it reads

// The frame's minimum tracking size for WM_GETMINMAXINFO, in pixels; nothing
// else in the MINMAXINFO is changed.
inline constexpr std::int32_t kMinTrackWidth = 100;
inline constexpr std::int32_t kMinTrackHeight = 100;

enum class SizingState : std::uint8_t {
    Idle = 0,
    LiveSizing = 1,       // a border drag is under way
    MaximizeRestore = 2,  // a maximise or restore waits for its WM_SIZE
    Minimizing = 3,       // a minimise waits for its WM_SIZE
};

enum class SizingEvent : std::uint8_t {
    Sizing,           // WM_SIZING
    Minimize,         // WM_SYSCOMMAND SC_MINIMIZE
    MaximizeRestore,  // WM_SYSCOMMAND SC_MAXIMIZE or SC_RESTORE, WM_NCLBUTTONDBLCLK
    Size,             // WM_SIZE
    ExitSizeMove,     // WM_EXITSIZEMOVE
};

// The event of a message, or none. WM_SYSCOMMAND's wParam is compared whole:
// a command with any of its low four bits set matches none of the three.
// WM_NCLBUTTONDBLCLK counts as a maximise whatever its hit-test value.
std::optional<SizingEvent> SizingEventForMessage(std::uint32_t message, std::uintptr_t wParam);

struct ViewSize {
    std::int32_t width = 0;
    std::int32_t height = 0;

    friend bool operator==(const ViewSize&, const ViewSize&) = default;
};

// WM_SIZE's new client width and height: the low and high 16 bits of lParam,
// unsigned.
ViewSize ClientSizeFromLParam(std::intptr_t lParam);

// What the window code reads just before handing an event to the machine,
// before it moves anything.
struct SizingFacts {
    bool engineAttached = false;  // GetEngine() returned an engine
    Region engineRegion;          // that engine's Region (unused without one)
    ViewSize viewSize;            // ClientSize of the view (0 x 0 without a view)
};

// What to do for an event, in this order.
struct SizingDecision {
    // WM_SIZE: SizeViewToClient with the frame's new client width and height.
    bool placeView = false;
    // Then: take ClientSize of the view (its new client area) and apply
    // EngineUpdateFor(that size).
    bool updateEngine = false;
    // Last: RecomputeAndShow, not forced.
    bool recompute = false;

    friend bool operator==(const SizingDecision&, const SizingDecision&) = default;
};

// The engine calls of a resize, in this order: SetRegion(*region) when there
// is a Region; SetSize(size); ShowRegion(*region) when there is a Region.
struct EngineUpdate {
    std::optional<Region> region;
    ViewSize size;
};

class SizingMachine {
public:
    SizingState State() const { return state_; }
    const SizingSnapshot& Snapshot() const { return snapshot_; }

    // One event. Snapshots are taken here, from the facts, only when an engine
    // is attached (without one the state does not change either):
    // - Sizing: outside LiveSizing, snapshot and LiveSizing;
    // - Minimize: Minimizing;
    // - MaximizeRestore: snapshot and MaximizeRestore;
    // - Size: in Minimizing, Idle and nothing else; otherwise place the view
    //   and update the engine, MaximizeRestore then turns Idle and recomputes.
    //   When the engine's Region is not the one the machine last took or gave
    //   (a zoom or Update since), a fresh snapshot is taken first, so the
    //   resize starts from what is on screen and not from an old snapshot;
    // - ExitSizeMove: in LiveSizing, Idle and recompute.
    SizingDecision Handle(SizingEvent event, const SizingFacts& facts);

    // The engine calls for the view's new client size, after a Size decision
    // with updateEngine. The Region is the snapshot's, rescaled to the size;
    // there is none (SetSize alone, Region and snapshot kept) when the
    // snapshot is empty, when the new size has a zero or negative side (that
    // would collapse the Region to a point for good), or when the rescaled
    // Region is not showable (a corner or span not finite, or a span of 0).
    EngineUpdate EngineUpdateFor(ViewSize newViewSize);

private:
    void TakeSnapshot(const SizingFacts& facts);

    SizingState state_ = SizingState::Idle;
    SizingSnapshot snapshot_;
    // The engine's Region as the machine last snapshotted or set it.
    Region knownRegion_;
};
