// GetSaveFileNameA and ChooseColorA through their dialog hooks: what the
// boxes are asked to show for the program's uses, how the answer reaches the
// caller's record, and malformed records. (The real boxes, their colours and
// custom colours are in qt_dialogs_test.cpp.)
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "platform/internal/dialog_hooks.h"
#include "platform/win32.h"
#include "tests/platform/comdlg/bridge_doubles.h"

namespace {

using platform::ColorDialogRequest;
using platform::SaveFileDialogAnswer;
using platform::SaveFileDialogRequest;

const HWND kOwner = reinterpret_cast<HWND>(0x7710);

class DialogHookTest : public ::testing::Test {
protected:
    DialogHookTest() {
        zembrix::test::Bridge() = zembrix::test::BridgeRecord{};
        platform::SetSaveFileDialogHook([this](const SaveFileDialogRequest& request) {
            ++calls;
            seen = request;
            depthInBox = zembrix::test::Bridge().modalDepth;
            return answer;
        });
        platform::SetColorDialogHook([this](const ColorDialogRequest& request) {
            ++calls;
            colorSeen = request;
            return platform::ColorDialogAnswer{};
        });
    }
    ~DialogHookTest() override {
        platform::SetSaveFileDialogHook(nullptr);
        platform::SetColorDialogHook(nullptr);
    }

    // The Save Image dialog's record.
    OPENFILENAMEA SaveImageRecord() {
        OPENFILENAMEA ofn{};
        ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400;
        ofn.hwndOwner = kOwner;
        ofn.lpstrFilter = "Bitmap Files\0*.bmp\0All Files\0*.*\0\0";
        ofn.nFilterIndex = 0;
        ofn.lpstrFile = buffer;
        ofn.nMaxFile = sizeof buffer;
        ofn.lpstrTitle = "Save Image As...";
        ofn.Flags = OFN_ENABLESIZING;
        ofn.lpstrDefExt = "bmp";
        return ofn;
    }

    char buffer[MAX_PATH] = {};
    SaveFileDialogAnswer answer;
    SaveFileDialogRequest seen;
    ColorDialogRequest colorSeen;
    int calls = 0;
    int depthInBox = 0;
};

// The default extension goes only onto a name without one (a dot in a folder
// name is not one); the filter in effect at the end comes back 1-based.
TEST_F(DialogHookTest, TheSaveImageBoxAppendsTheExtensionOnlyToANameWithoutOne) {
    const struct {
        const char* answered;
        DWORD filter;
        const char* returned;
        std::size_t extension;  // nFileExtension
    } cases[] = {{"/home/user/pictures/set", 0, "/home/user/pictures/set.bmp", 24},
                 {"/tmp/picture.png", 1, "/tmp/picture.png", 13},
                 {"/tmp/folder.d/picture", 0, "/tmp/folder.d/picture.bmp", 22}};
    for (const auto& c : cases) {
        answer = {true, c.answered, c.filter};
        OPENFILENAMEA ofn = SaveImageRecord();
        ASSERT_TRUE(GetSaveFileNameA(&ofn)) << c.answered;
        EXPECT_STREQ(buffer, c.returned);
        EXPECT_EQ(ofn.nFileExtension, c.extension) << c.answered;
        EXPECT_EQ(ofn.nFilterIndex, c.filter + 1) << c.answered;
    }
    EXPECT_EQ(seen.owner, kOwner);
    EXPECT_EQ(seen.defaultExtension, "bmp");
    EXPECT_FALSE(seen.overwritePrompt);
    EXPECT_EQ(depthInBox, 1) << "the owner is disabled while the box is up";
    EXPECT_EQ(zembrix::test::Bridge().modalDepth, 0);
}

TEST_F(DialogHookTest, ShowsTheRenderToFileBoxStartingFromTheNameInTheBuffer) {
    std::strcpy(buffer, "/srv/renders/old.bmp");
    OPENFILENAMEA ofn{};
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400;
    ofn.hwndOwner = kOwner;
    ofn.lpstrFilter = "*.BMP\0";  // one entry, its pattern empty
    ofn.lpstrFile = buffer;
    ofn.nMaxFile = sizeof buffer;
    answer = {true, "/srv/renders/new", 0};
    ASSERT_TRUE(GetSaveFileNameA(&ofn));
    ASSERT_EQ(seen.filters.size(), 1u);
    EXPECT_EQ(seen.filters[0].text, "*.BMP");
    EXPECT_TRUE(seen.filters[0].patterns.empty());
    EXPECT_EQ(seen.directory, "/srv/renders");
    EXPECT_EQ(seen.fileName, "old.bmp");
    EXPECT_STREQ(buffer, "/srv/renders/new") << "no default extension, nothing appended";
    EXPECT_EQ(ofn.nFileExtension, std::strlen("/srv/renders/new"));
}

TEST_F(DialogHookTest, ACancelLeavesTheBufferAndReportsNoError) {
    std::strcpy(buffer, "kept.bmp");
    OPENFILENAMEA ofn = SaveImageRecord();
    answer = {false, "/tmp/ignored", 0};
    EXPECT_FALSE(GetSaveFileNameA(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    EXPECT_STREQ(buffer, "kept.bmp");
    EXPECT_EQ(seen.fileName, "kept.bmp");
}

TEST_F(DialogHookTest, APathThatDoesNotFitTheBufferFails) {
    char small[12] = "start";
    OPENFILENAMEA ofn = SaveImageRecord();
    ofn.lpstrFile = small;
    ofn.nMaxFile = sizeof small;
    answer = {true, "/tmp/abcdef", 0};  // 11 characters: fits only without ".bmp"
    EXPECT_FALSE(GetSaveFileNameA(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(FNERR_BUFFERTOOSMALL));
    WORD needed = 0;
    std::memcpy(&needed, small, sizeof needed);
    EXPECT_EQ(needed, 16u) << "the first two bytes tell the size needed";

    answer = {true, "/tmp/ab.bmp", 0};  // 11 characters and the terminator: fits exactly
    ASSERT_TRUE(GetSaveFileNameA(&ofn));
    EXPECT_STREQ(small, "/tmp/ab.bmp");
}

TEST_F(DialogHookTest, RefusesMalformedRecordsWithoutShowingTheBox) {
    EXPECT_FALSE(GetSaveFileNameA(nullptr));
    OPENFILENAMEA ofn = SaveImageRecord();
    for (DWORD size : {DWORD{0}, DWORD{76} - 1, DWORD{sizeof(OPENFILENAMEA) + 4}}) {
        ofn.lStructSize = size;
        EXPECT_FALSE(GetSaveFileNameA(&ofn)) << size;
        EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(CDERR_STRUCTSIZE));
    }
    ofn.lStructSize = sizeof(OPENFILENAMEA);  // the full layout is accepted too
    answer = {true, "/tmp/full", 0};
    EXPECT_TRUE(GetSaveFileNameA(&ofn));
    ofn = SaveImageRecord();
    ofn.lpstrFile = nullptr;
    EXPECT_FALSE(GetSaveFileNameA(&ofn));
    ofn = SaveImageRecord();
    ofn.nMaxFile = 0;
    EXPECT_FALSE(GetSaveFileNameA(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(CDERR_INITIALIZATION));
    EXPECT_EQ(calls, 1);

    // An accepted box without a file name is a failure, not an empty path.
    ofn = SaveImageRecord();
    answer = {true, "/tmp/", 0};
    EXPECT_FALSE(GetSaveFileNameA(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(FNERR_INVALIDFILENAME));
}

// The colour box starts from black without CC_RGBINIT, and is not shown for
// a record of the wrong size or without custom colours.
TEST_F(DialogHookTest, TheColourBoxStartsFromBlackWithoutRgbInitAndRefusesMalformedRecords) {
    std::array<COLORREF, 16> custom{};
    CHOOSECOLORA cc{};
    cc.lStructSize = sizeof cc;
    cc.rgbResult = RGB(0, 0, 255);
    cc.lpCustColors = custom.data();
    ChooseColorA(&cc);
    EXPECT_EQ(colorSeen.initial, 0u);
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(ChooseColorA(nullptr));
    cc.lStructSize = 0;
    EXPECT_FALSE(ChooseColorA(&cc));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(CDERR_STRUCTSIZE));
    cc.lStructSize = sizeof cc;
    cc.lpCustColors = nullptr;
    EXPECT_FALSE(ChooseColorA(&cc));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(CDERR_INITIALIZATION));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(zembrix::test::Bridge().modalDepth, 0);
}

// Without a QApplication both boxes fail as a dialog failure; the custom
// colours stay as they were.
TEST(DialogsWithoutWidgets, FailAsADialogFailure) {
    char buffer[MAX_PATH] = {};
    OPENFILENAMEA ofn{};
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400;
    ofn.lpstrFile = buffer;
    ofn.nMaxFile = sizeof buffer;
    EXPECT_FALSE(GetSaveFileNameA(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(CDERR_DIALOGFAILURE));
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
