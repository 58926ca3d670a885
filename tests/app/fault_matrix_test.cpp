// The explorer when memory or GDI objects cannot be had: each allocation of
// the picture's pipeline fails in turn (the counts, the re-colouring buffer,
// the image's DIB section, a swatch's brush). Nothing crashes or leaks, the
// view keeps what it showed or shows nothing, Save Image writes nothing when
// it cannot read the picture, and the next attempt without the fault
// recovers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/internal/dialog_hooks.h"
#include "platform/internal/faults.h"
#include "resources/resource.h"
#include "tests/app/explorer_support.h"
#include "tools/color_set_data.h"
#include "tools/colors_window.h"

namespace {

// Fails every request at `site` while it is installed.
class Fault {
public:
    explicit Fault(platform::FaultSite site) {
        platform::SetFaultInjector([site](platform::FaultSite asked) { return asked == site; });
    }
    ~Fault() { platform::SetFaultInjector({}); }
};

bool g_noMemory = false;
void* CountsAllocator(std::size_t count, std::size_t size) {
    return g_noMemory ? nullptr : std::calloc(count, size);
}

class FaultMatrix : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(StartUp(GetModuleHandleA(nullptr), engine_, accelerators_));
        RenderServices services;
        services.allocateZeroed = CountsAllocator;
        SetRenderServices(services);
        Pump();
        shown_ = ViewImage();
    }
    void TearDown() override {
        platform::SetColorDialogHook({});
        ::TearDown(accelerators_, engine_);
    }

    // Picks `color` for the gradient's end through the Colors window.
    void PickGradientEnd(COLORREF color) {
        platform::SetColorDialogHook([color](const platform::ColorDialogRequest& request) {
            return platform::ColorDialogAnswer{true, color, request.customColors};
        });
        SendMessageA(TheColorsWindow().Window(), WM_COMMAND, kColor2ButtonId, 0);
        Pump();
    }

    // A border drag: one size step, then its end, which computes.
    static void ResizeFrame(int width, int height) {
        RECT drag{0, 0, width, height};
        SendMessageA(FrameWindow(), WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<LPARAM>(&drag));
        SetWindowPos(FrameWindow(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
        SendMessageA(FrameWindow(), WM_EXITSIZEMOVE, 0, 0);
        Pump();
    }

    FractalEngine engine_;
    HACCEL accelerators_ = nullptr;
    std::vector<std::uint32_t> shown_;
};

constexpr ColorRef kRedEnd[3] = {0x000000, 0x000000, 0x0000FF};

TEST_F(FaultMatrix, NoMemoryForTheCountsKeepsThePictureUntilARefreshSucceeds) {
    g_noMemory = true;
    SendMessageA(FrameWindow(), WM_COMMAND, IDM_VIEW_REFRESH, 0);
    EXPECT_EQ(engine_.Counts(), nullptr);
    EXPECT_TRUE(engine_.dirty);
    PickGradientEnd(0x0000FF);  // nothing to re-colour without counts
    InvalidateRect(TheFractalView().window, nullptr, FALSE);
    Pump();
    EXPECT_EQ(ViewImage(), shown_);

    g_noMemory = false;
    SendMessageA(FrameWindow(), WM_COMMAND, IDM_VIEW_REFRESH, 0);
    Pump();
    EXPECT_EQ(ViewImage(), ExpectedImage(engine_, kRedEnd));
}

TEST_F(FaultMatrix, NoMemoryToReColourKeepsThePictureAndTheNextChangeApplies) {
    {
        Fault fault(platform::FaultSite::HeapAlloc);
        PickGradientEnd(0x00FF00);
    }
    EXPECT_EQ(ViewImage(), shown_);
    PickGradientEnd(0x0000FF);
    EXPECT_EQ(ViewImage(), ExpectedImage(engine_, kRedEnd));
}

TEST_F(FaultMatrix, NoImageAtANewSizeShowsNothingUntilTheSizeChangesAgain) {
    {
        Fault fault(platform::FaultSite::DibSectionAlloc);
        ResizeFrame(400, 250);
    }
    const FractalView& view = TheFractalView();
    EXPECT_EQ(view.image.get(), nullptr);
    EXPECT_EQ(view.imageWidth, engine_.bufferWidth) << "the size it was asked for is kept";
    PickGradientEnd(0x0000FF);  // the same size: no new attempt, still nothing
    EXPECT_EQ(view.image.get(), nullptr);

    // Save Image cannot read the picture: an existing file keeps its bytes
    // and a new name gets no file.
    const std::string old = ::testing::TempDir() + "fault-matrix-old.bmp";
    const std::string fresh = ::testing::TempDir() + "fault-matrix-new.bmp";
    std::filesystem::remove(fresh);
    std::ofstream(old, std::ios::binary) << "older picture";
    for (const std::string& target : {old, fresh}) {
        platform::SetSaveFileDialogHook([target](const platform::SaveFileDialogRequest&) {
            return platform::SaveFileDialogAnswer{true, target, 0};
        });
        SendMessageA(FrameWindow(), WM_COMMAND, IDM_FILE_SAVEIMAGE, 0);
    }
    platform::SetSaveFileDialogHook({});
    std::ifstream in(old, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "older picture");
    EXPECT_FALSE(std::filesystem::exists(fresh));

    ResizeFrame(500, 280);
    ASSERT_NE(view.image.get(), nullptr);
    EXPECT_EQ(ViewImage(), ExpectedImage(engine_, kRedEnd));
}

TEST_F(FaultMatrix, ASwatchWithoutItsBrushStillTakesTheColour) {
    ShowWindow(TheColorsWindow().Window(), SW_SHOW);
    {
        Fault fault(platform::FaultSite::BrushCreate);
        PickGradientEnd(0x0000FF);  // the swatch repaints without a brush
    }
    EXPECT_EQ(TheColorsWindow().brushes[2], nullptr);
    EXPECT_EQ(ViewImage(), ExpectedImage(engine_, kRedEnd));
    PickGradientEnd(0x0000FF);
    EXPECT_NE(TheColorsWindow().brushes[2], nullptr);
}

}  // namespace
