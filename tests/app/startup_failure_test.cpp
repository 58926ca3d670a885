// Start-up when the platform refuses a step: the program ends with -1 and
// leaves no window behind, and a missing Colors window leaves the colours
// unset (a black picture) while the rest runs. Each test runs in its own
// process, so the classes are registered afresh in each.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <vector>

#include "platform/internal/faults.h"
#include "resources/resource.h"
#include "tests/app/explorer_support.h"
#include "tools/colors_window.h"
#include "tools/coordinates_window.h"

namespace {

// Fails the n-th request (1-based) at one site; counts the requests.
struct NthFault {
    platform::FaultSite site;
    int n;
    int seen = 0;
    void Install() {
        platform::SetFaultInjector(
            [this](platform::FaultSite asked) { return asked == site && ++seen == n; });
    }
    ~NthFault() { platform::SetFaultInjector({}); }
};

bool QuitIsQueued() {
    MSG msg;
    bool quit = false;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        quit = quit || msg.message == WM_QUIT;
    }
    return quit;
}

struct StartUpStep {
    const char* name;
    platform::FaultSite site;
    int n;
    bool frameWasCreated;
};

void PrintTo(const StartUpStep& step, std::ostream* os) {
    *os << step.name;
}

class FailedStartUp : public ::testing::TestWithParam<StartUpStep> {};

TEST_P(FailedStartUp, EndsWithMinusOneAndLeavesNoWindow) {
    NthFault fault{GetParam().site, GetParam().n};
    fault.Install();
    EXPECT_EQ(RunZembrix(GetModuleHandleA(nullptr)), -1);
    EXPECT_EQ(fault.seen, GetParam().n) << "start-up stopped at the failed step";
    EXPECT_EQ(FrameWindow(), nullptr);
    EXPECT_EQ(GetEngine(), nullptr);
    EXPECT_EQ(TheFractalView().window, nullptr);
    // A frame that was made is destroyed again, which posts the quit.
    EXPECT_EQ(QuitIsQueued(), GetParam().frameWasCreated);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, FailedStartUp,
    ::testing::Values(StartUpStep{"FrameClass", platform::FaultSite::ClassRegister, 1, false},
                      StartUpStep{"ViewClass", platform::FaultSite::ClassRegister, 2, false},
                      StartUpStep{"Frame", platform::FaultSite::WindowCreate, 1, false},
                      StartUpStep{"View", platform::FaultSite::WindowCreate, 2, true}),
    [](const ::testing::TestParamInfo<StartUpStep>& info) { return info.param.name; });

TEST(FailedColorsWindow, LeavesABlackPictureAndItsCheckMarkClear) {
    // The first dialog made is the progress window of the first picture, the
    // second the Colors window.
    NthFault fault{platform::FaultSite::DialogCreate, 2};
    fault.Install();
    FractalEngine engine;
    HACCEL accelerators = nullptr;
    ASSERT_TRUE(StartUp(GetModuleHandleA(nullptr), engine, accelerators));
    ASSERT_EQ(TheColorsWindow().Window(), nullptr);
    ASSERT_NE(TheCoordinatesWindow().Window(), nullptr);

    HWND frame = FrameWindow();
    SendMessageA(frame, WM_COMMAND, IDM_VIEW_COLORS, 0);
    HMENU menu = GetMenu(frame);
    SendMessageA(frame, WM_INITMENU, reinterpret_cast<WPARAM>(menu), 0);
    EXPECT_EQ(GetMenuState(menu, IDM_VIEW_COLORS, MF_BYCOMMAND) & MF_CHECKED, 0u);

    Pump();  // the recolouring requested by the first picture runs from the queue
    ASSERT_GT(TheFractalView().imageWidth, 0);
    const std::vector<std::uint32_t> pixels = ViewImage();
    EXPECT_TRUE(std::all_of(pixels.begin(), pixels.end(),
                            [](std::uint32_t p) { return (p & 0x00FFFFFFu) == 0; }));
    ::TearDown(accelerators, engine);
}

}  // namespace
