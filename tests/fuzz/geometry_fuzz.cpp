// Region geometry, the zoom rectangle and the resize machine on any integers
// and doubles. Built with the undefined-behaviour sanitizer (float-to-integer
// conversions included), so a NaN or out-of-range double turned into an
// integer, or a signed overflow, stops the run. A zoom or rescale that is
// applied always gives a Region that can be shown.
#include <cstdint>

#include "app/sizing.h"
#include "engine/geometry.h"
#include "tests/fuzz/fuzz_input.h"
#include "view/zoom.h"

namespace {

// Braced, so the fields are read in order.
Region TakeRegion(FuzzInput& in) {
    return Region{in.TakeDouble(), in.TakeDouble(), in.TakeDouble(), in.TakeDouble()};
}
Selection TakeSelection(FuzzInput& in) {
    return Selection{in.Take<std::int32_t>(), in.Take<std::int32_t>(), in.Take<std::int32_t>(),
                     in.Take<std::int32_t>()};
}

// Mostly view-like sizes, sometimes any 32-bit value.
std::int32_t TakeSide(FuzzInput& in) {
    const auto raw = in.Take<std::int32_t>();
    return (raw & 1) ? raw : (raw >> 1) % 4096;
}

// A width and a height, taken in that order: a braced list is evaluated left
// to right, where the arguments of a call are not, so a seed means the same
// sizes under every compiler.
struct Sides {
    std::int32_t w;
    std::int32_t h;
};
Sides TakeSides(FuzzInput& in) {
    return Sides{TakeSide(in), TakeSide(in)};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    SizingMachine machine;
    Region engineRegion{-2.0, -1.35, 1.0, 1.35};
    for (int step = 0; step < 24 && !in.Empty(); ++step) {
        switch (in.Take<std::uint8_t>() % 5) {
            case 0: {
                Region region = TakeRegion(in);
                const Sides first = TakeSides(in);
                FitRegionToAspect(first.w, first.h, region);
                Selection selection = TakeSelection(in);
                const Sides second = TakeSides(in);
                FitSelectionToAspect(second.w, second.h, selection);
                break;
            }
            case 1: {
                const Region region = TakeRegion(in);
                const Selection selection = TakeSelection(in);
                const Sides client = TakeSides(in);
                SelectionToRegion(region, selection, client.w, client.h);
                break;
            }
            case 2: {
                const SizingSnapshot snapshot{TakeRegion(in), TakeSide(in), TakeSide(in)};
                const Sides now = TakeSides(in);
                RescaleRegion(snapshot, now.w, now.h);
                break;
            }
            case 3: {
                const Selection drawn = TakeSelection(in);
                const auto [w, h] = TakeSides(in);
                const bool alt = (in.Take<std::uint8_t>() & 1) != 0;
                const auto rect = ZoomRectangle(drawn, w, h, alt);
                FUZZ_CHECK(!rect || (rect->left <= rect->right && rect->top <= rect->bottom));
                const Region current = TakeRegion(in);
                if (const auto region = ZoomRegion(current, drawn, w, h, alt)) {
                    FUZZ_CHECK(IsShowableRegion(*region));
                    engineRegion = *region;
                }
                break;
            }
            case 4: {
                // A resize message as the frame would hand it over.
                static constexpr std::uint32_t kMessages[] = {WM_SIZE, WM_SIZING, WM_SYSCOMMAND,
                                                              WM_EXITSIZEMOVE, WM_NCLBUTTONDBLCLK};
                static constexpr std::uintptr_t kCommands[] = {SC_MINIMIZE, SC_MAXIMIZE, SC_RESTORE,
                                                               SC_MAXIMIZE | 2};
                const std::uint8_t pick = in.Take<std::uint8_t>();
                const auto event =
                    SizingEventForMessage(kMessages[pick % 5], kCommands[(pick >> 3) % 4]);
                if (!event) {
                    break;
                }
                const SizingFacts facts{(pick & 0x80) == 0, engineRegion,
                                        ClientSizeFromLParam(in.Take<std::uint32_t>())};
                const SizingDecision decision = machine.Handle(*event, facts);
                if (decision.updateEngine) {
                    const EngineUpdate update =
                        machine.EngineUpdateFor(ClientSizeFromLParam(in.Take<std::uint32_t>()));
                    if (update.region) {
                        FUZZ_CHECK(IsShowableRegion(*update.region));
                        engineRegion = *update.region;
                    }
                }
                break;
            }
        }
    }
    return 0;
}
