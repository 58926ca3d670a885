#include "app/sizing.h"

#include <cmath>

#include "engine/geometry.h"
#include "view/zoom.h"

namespace {

// Equal as the engine compares corners: numerically, with NaN matching NaN.
bool SameValue(double a, double b) {
    return a == b || (std::isnan(a) && std::isnan(b));
}

bool SameRegion(const Region& a, const Region& b) {
    return SameValue(a.X1, b.X1) && SameValue(a.Y1, b.Y1) && SameValue(a.X2, b.X2) &&
           SameValue(a.Y2, b.Y2);
}

}  // namespace

std::optional<SizingEvent> SizingEventForMessage(std::uint32_t message, std::uintptr_t wParam) {
    switch (message) {
        case WM_SIZING:
            return SizingEvent::Sizing;
        case WM_SIZE:
            return SizingEvent::Size;
        case WM_EXITSIZEMOVE:
            return SizingEvent::ExitSizeMove;
        case WM_NCLBUTTONDBLCLK:
            return SizingEvent::MaximizeRestore;
        case WM_SYSCOMMAND:
            if (wParam == SC_MINIMIZE) {
                return SizingEvent::Minimize;
            }
            if (wParam == SC_MAXIMIZE || wParam == SC_RESTORE) {
                return SizingEvent::MaximizeRestore;
            }
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

ViewSize ClientSizeFromLParam(std::intptr_t lParam) {
    const auto bits = static_cast<std::uintptr_t>(lParam);
    return ViewSize{static_cast<std::int32_t>(bits & 0xFFFF),
                    static_cast<std::int32_t>((bits >> 16) & 0xFFFF)};
}

void SizingMachine::TakeSnapshot(const SizingFacts& facts) {
    snapshot_.region = facts.engineRegion;
    snapshot_.width = facts.viewSize.width;
    snapshot_.height = facts.viewSize.height;
    knownRegion_ = facts.engineRegion;
}

SizingDecision SizingMachine::Handle(SizingEvent event, const SizingFacts& facts) {
    SizingDecision decision;
    switch (event) {
        case SizingEvent::Sizing:
            if (facts.engineAttached && state_ != SizingState::LiveSizing) {
                TakeSnapshot(facts);
                state_ = SizingState::LiveSizing;
            }
            break;
        case SizingEvent::Minimize:
            state_ = SizingState::Minimizing;
            break;
        case SizingEvent::MaximizeRestore:
            if (facts.engineAttached) {
                state_ = SizingState::MaximizeRestore;
                TakeSnapshot(facts);
            }
            break;
        case SizingEvent::Size:
            if (state_ == SizingState::Minimizing) {
                state_ = SizingState::Idle;
                break;
            }
            decision.placeView = true;
            if (facts.engineAttached) {
                if (!SameRegion(facts.engineRegion, knownRegion_)) {
                    TakeSnapshot(facts);
                }
                decision.updateEngine = true;
            }
            if (state_ == SizingState::MaximizeRestore) {
                state_ = SizingState::Idle;
                decision.recompute = true;
            }
            break;
        case SizingEvent::ExitSizeMove:
            if (state_ == SizingState::LiveSizing) {
                state_ = SizingState::Idle;
                decision.recompute = true;
            }
            break;
    }
    return decision;
}

EngineUpdate SizingMachine::EngineUpdateFor(ViewSize newViewSize) {
    EngineUpdate update;
    update.size = newViewSize;
    if (newViewSize.width <= 0 || newViewSize.height <= 0) {
        return update;
    }
    const std::optional<Region> rescaled =
        RescaleRegion(snapshot_, newViewSize.width, newViewSize.height);
    if (rescaled && IsShowableRegion(*rescaled)) {
        update.region = rescaled;
        knownRegion_ = *rescaled;
    }
    return update;
}
