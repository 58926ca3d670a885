// GetSaveFileNameA through the dialog hook: what the box is asked to show for
// the program's two uses, and how the answer reaches the caller's buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/internal/dialog_hooks.h"
#include "platform/win32.h"
#include "tests/platform/comdlg/bridge_doubles.h"

namespace {

using platform::SaveFileDialogAnswer;
using platform::SaveFileDialogRequest;

const HWND kOwner = reinterpret_cast<HWND>(0x7710);

class SaveFileTest : public ::testing::Test {
protected:
    SaveFileTest() {
        zembrix::test::Bridge() = zembrix::test::BridgeRecord{};
        platform::SetSaveFileDialogHook([this](const SaveFileDialogRequest& request) {
            ++calls;
            seen = request;
            depthInBox = zembrix::test::Bridge().modalDepth;
            return answer;
        });
    }
    ~SaveFileTest() override { platform::SetSaveFileDialogHook(nullptr); }

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
    int calls = 0;
    int depthInBox = 0;
};

TEST_F(SaveFileTest, ShowsTheSaveImageBoxModalToItsOwnerAndAppendsTheExtension) {
    answer = {true, "/home/user/pictures/set", 0};
    OPENFILENAMEA ofn = SaveImageRecord();
    ASSERT_TRUE(GetSaveFileNameA(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), 0u);

    EXPECT_EQ(seen.owner, kOwner);
    EXPECT_EQ(seen.title, "Save Image As...");
    ASSERT_EQ(seen.filters.size(), 2u);
    EXPECT_EQ(seen.filters[0].text, "Bitmap Files");
    EXPECT_EQ(seen.filters[0].patterns, std::vector<std::string>{"*.bmp"});
    EXPECT_EQ(seen.filters[1].text, "All Files");
    EXPECT_EQ(seen.filters[1].patterns, std::vector<std::string>{"*.*"});
    EXPECT_EQ(seen.filterIndex, 0u);
    EXPECT_EQ(seen.fileName, "");
    EXPECT_EQ(seen.directory, "");
    EXPECT_EQ(seen.defaultExtension, "bmp");
    EXPECT_FALSE(seen.overwritePrompt);
    EXPECT_EQ(depthInBox, 1) << "the owner is disabled while the box is up";
    EXPECT_EQ(zembrix::test::Bridge().modalDepth, 0);
    EXPECT_EQ(zembrix::test::Bridge().owners, std::vector<HWND>{kOwner});

    EXPECT_STREQ(buffer, "/home/user/pictures/set.bmp");
    EXPECT_EQ(ofn.nFileOffset, std::strlen("/home/user/pictures/"));
    EXPECT_EQ(ofn.nFileExtension, std::strlen("/home/user/pictures/set."));
    EXPECT_EQ(ofn.nFilterIndex, 1u);
}

TEST_F(SaveFileTest, KeepsAnExtensionTypedAndLooksForItInTheNameOnly) {
    OPENFILENAMEA ofn = SaveImageRecord();
    answer = {true, "/tmp/picture.png", 1};
    ASSERT_TRUE(GetSaveFileNameA(&ofn));
    EXPECT_STREQ(buffer, "/tmp/picture.png");
    EXPECT_EQ(ofn.nFilterIndex, 2u) << "the filter in effect at the end";

    ofn = SaveImageRecord();
    buffer[0] = '\0';
    answer = {true, "/tmp/folder.d/picture", 0};
    ASSERT_TRUE(GetSaveFileNameA(&ofn));
    EXPECT_STREQ(buffer, "/tmp/folder.d/picture.bmp");
}

TEST_F(SaveFileTest, ShowsTheRenderToFileBoxStartingFromTheNameInTheBuffer) {
    std::strcpy(buffer, "/srv/renders/old.bmp");
    OPENFILENAMEA ofn{};
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400;
    ofn.hwndOwner = kOwner;
    ofn.lpstrFilter = "*.BMP\0";  // one entry, its pattern empty
    ofn.lpstrFile = buffer;
    ofn.nMaxFile = sizeof buffer;
    ofn.lpstrTitle = "Save to Bitmap...";
    ofn.Flags = OFN_ENABLESIZING;
    answer = {true, "/srv/renders/new", 0};
    ASSERT_TRUE(GetSaveFileNameA(&ofn));
    ASSERT_EQ(seen.filters.size(), 1u);
    EXPECT_EQ(seen.filters[0].text, "*.BMP");
    EXPECT_TRUE(seen.filters[0].patterns.empty());
    EXPECT_EQ(seen.directory, "/srv/renders");
    EXPECT_EQ(seen.fileName, "old.bmp");
    EXPECT_EQ(seen.defaultExtension, "");
    EXPECT_STREQ(buffer, "/srv/renders/new") << "no default extension, nothing appended";
    EXPECT_EQ(ofn.nFileExtension, std::strlen("/srv/renders/new"));
}

TEST_F(SaveFileTest, ACancelLeavesTheBufferAndReportsNoError) {
    std::strcpy(buffer, "kept.bmp");
    OPENFILENAMEA ofn = SaveImageRecord();
    answer = {false, "/tmp/ignored", 0};
    EXPECT_FALSE(GetSaveFileNameA(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    EXPECT_STREQ(buffer, "kept.bmp");
    EXPECT_EQ(seen.fileName, "kept.bmp");
    EXPECT_EQ(zembrix::test::Bridge().modalDepth, 0);
}

TEST_F(SaveFileTest, APathThatDoesNotFitTheBufferFails) {
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

TEST_F(SaveFileTest, ReturnsTheFileTitleAndReadsAnUnterminatedBufferNoFurtherThanItsSize) {
    char unterminated[4] = {'a', 'b', 'c', 'd'};
    char title[16] = {};
    OPENFILENAMEA ofn = SaveImageRecord();
    ofn.lpstrFile = unterminated;
    ofn.nMaxFile = sizeof unterminated;
    ofn.lpstrFileTitle = title;
    ofn.nMaxFileTitle = sizeof title;
    answer = {false, "", 0};
    EXPECT_FALSE(GetSaveFileNameA(&ofn));
    EXPECT_EQ(seen.fileName, "abcd");

    ofn.lpstrFile = buffer;
    ofn.nMaxFile = sizeof buffer;
    answer = {true, "/tmp/x/name", 0};
    ASSERT_TRUE(GetSaveFileNameA(&ofn));
    EXPECT_STREQ(title, "name.bmp");
}

TEST_F(SaveFileTest, RefusesMalformedRecordsWithoutShowingTheBox) {
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

TEST(SaveFileWithoutWidgets, FailsAsADialogFailure) {
    char buffer[MAX_PATH] = {};
    OPENFILENAMEA ofn{};
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400;
    ofn.lpstrFile = buffer;
    ofn.nMaxFile = sizeof buffer;
    EXPECT_FALSE(GetSaveFileNameA(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(CDERR_DIALOGFAILURE));
}

}  // namespace
