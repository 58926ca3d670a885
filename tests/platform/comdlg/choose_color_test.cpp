// ChooseColorA through the dialog hook: the initial colour, the 16 custom
// colours in and out (also on cancel), and malformed records.
#include <gtest/gtest.h>

#include <array>

#include "platform/internal/dialog_hooks.h"
#include "platform/win32.h"
#include "tests/platform/comdlg/bridge_doubles.h"

namespace {

using platform::ColorDialogAnswer;
using platform::ColorDialogRequest;

const HWND kOwner = reinterpret_cast<HWND>(0x7720);

class ChooseColorTest : public ::testing::Test {
protected:
    ChooseColorTest() {
        zembrix::test::Bridge() = zembrix::test::BridgeRecord{};
        custom.fill(0xFFFFFF);
        platform::SetColorDialogHook([this](const ColorDialogRequest& request) {
            seen = request;
            depthInBox = zembrix::test::Bridge().modalDepth;
            ++calls;
            return answer;
        });
    }
    ~ChooseColorTest() override { platform::SetColorDialogHook(nullptr); }

    // The Colors window's record.
    CHOOSECOLORA Record(COLORREF initial) {
        CHOOSECOLORA cc{};
        cc.lStructSize = sizeof cc;
        cc.hwndOwner = kOwner;
        cc.rgbResult = initial;
        cc.lpCustColors = custom.data();
        cc.Flags = CC_RGBINIT | CC_ANYCOLOR;
        return cc;
    }

    std::array<COLORREF, 16> custom{};
    ColorDialogAnswer answer;
    ColorDialogRequest seen;
    int depthInBox = 0;
    int calls = 0;
};

TEST_F(ChooseColorTest, OffersTheInitialAndCustomColoursAndReturnsTheChoice) {
    custom[3] = RGB(1, 2, 3);
    answer.accepted = true;
    answer.color = RGB(10, 20, 30);
    answer.customColors = custom;
    answer.customColors[0] = RGB(200, 100, 50);
    CHOOSECOLORA cc = Record(RGB(0, 0, 255));
    ASSERT_TRUE(ChooseColorA(&cc));
    EXPECT_EQ(seen.owner, kOwner);
    EXPECT_EQ(seen.initial, RGB(0, 0, 255));
    EXPECT_EQ(seen.customColors[3], RGB(1, 2, 3));
    EXPECT_EQ(seen.customColors[15], 0xFFFFFFu);
    EXPECT_EQ(depthInBox, 1) << "the owner is disabled while the box is up";
    EXPECT_EQ(zembrix::test::Bridge().modalDepth, 0);
    EXPECT_EQ(cc.rgbResult, RGB(10, 20, 30));
    EXPECT_EQ(custom[0], RGB(200, 100, 50));
    EXPECT_EQ(custom[3], RGB(1, 2, 3));
}

TEST_F(ChooseColorTest, ACancelKeepsTheColourButWritesBackTheCustomColours) {
    answer.accepted = false;
    answer.color = RGB(9, 9, 9);
    answer.customColors = custom;
    answer.customColors[15] = RGB(0, 128, 0);
    CHOOSECOLORA cc = Record(RGB(0, 0, 255));
    EXPECT_FALSE(ChooseColorA(&cc));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    EXPECT_EQ(cc.rgbResult, RGB(0, 0, 255));
    EXPECT_EQ(custom[15], RGB(0, 128, 0));
}

TEST_F(ChooseColorTest, StartsFromBlackWithoutRgbInit) {
    CHOOSECOLORA cc = Record(RGB(0, 0, 255));
    cc.Flags = CC_ANYCOLOR;
    answer.customColors = custom;
    ChooseColorA(&cc);
    EXPECT_EQ(seen.initial, 0u);
}

TEST_F(ChooseColorTest, RefusesMalformedRecordsWithoutShowingTheBox) {
    EXPECT_FALSE(ChooseColorA(nullptr));
    CHOOSECOLORA cc = Record(0);
    cc.lStructSize = 0;
    EXPECT_FALSE(ChooseColorA(&cc));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(CDERR_STRUCTSIZE));
    cc = Record(0);
    cc.lpCustColors = nullptr;
    EXPECT_FALSE(ChooseColorA(&cc));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(CDERR_INITIALIZATION));
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(zembrix::test::Bridge().modalDepth, 0);
}

TEST(ChooseColorWithoutWidgets, FailsAsADialogFailureAndKeepsTheCustomColours) {
    std::array<COLORREF, 16> custom{};
    custom.fill(0x123456);
    CHOOSECOLORA cc{};
    cc.lStructSize = sizeof cc;
    cc.lpCustColors = custom.data();
    EXPECT_FALSE(ChooseColorA(&cc));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(CDERR_DIALOGFAILURE));
    EXPECT_EQ(custom[7], 0x123456u);
}

}  // namespace
