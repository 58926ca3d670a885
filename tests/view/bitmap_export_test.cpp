// Save Image on the real window code (offscreen), its save dialog answered
// through the dialog hook, the disk's failures made by the fault seam: a
// failed save leaves an existing file exactly as it was and no temporary file
// behind, and says nothing; a good one writes the view's picture.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QWidget>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "tests/app/explorer_support.h"
#include "platform/internal/dialog_hooks.h"
#include "platform/internal/faults.h"
#include "resources/resource.h"
#include "view/bmp_file.h"

namespace {

namespace fs = std::filesystem;
using platform::FaultSite;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::set<std::string> Listing(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

long VisibleTopLevels() {
    const auto windows = QApplication::topLevelWidgets();
    return std::count_if(windows.begin(), windows.end(), [](QWidget* w) { return w->isVisible(); });
}

// Fails the n-th step at a site (n = 0: every step there), counting each site
// by itself from now on (in one count the injector's copies share).
void InjectFaults(std::map<FaultSite, int> failAt) {
    auto seen = std::make_shared<std::map<FaultSite, int>>();
    platform::SetFaultInjector([failAt, seen](FaultSite site) {
        const int n = ++(*seen)[site];
        return failAt.count(site) != 0 && (failAt.at(site) == 0 || failAt.at(site) == n);
    });
}

class SaveImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(StartUp(GetModuleHandleA(nullptr), engine_, accelerators_));
        Pump();  // the first paint colours the image
        char pattern[] = "/tmp/zembrix-export-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder_ = pattern;
        platform::SetSaveFileDialogHook([this](const platform::SaveFileDialogRequest&) {
            ++dialogs_;
            return answer_;
        });
    }
    void TearDown() override {
        platform::SetSaveFileDialogHook(nullptr);
        platform::SetFaultInjector(nullptr);
        std::error_code ignored;
        fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(folder_, ignored);
        ::TearDown(accelerators_, engine_);
    }

    // Runs File > Save Image with the dialog answering `path`.
    void Save(const fs::path& path, bool accepted = true) {
        answer_ = {accepted, path.string(), 0};
        const long before = VisibleTopLevels();
        dialogs_ = 0;
        SendMessageA(FrameWindow(), WM_COMMAND, IDM_FILE_SAVEIMAGE, 0);
        Pump();
        EXPECT_EQ(dialogs_, 1) << "one dialog, no second question";
        EXPECT_EQ(VisibleTopLevels(), before) << "nothing is reported";
    }

    // The file the view's picture makes, as SaveImage should write it.
    static std::string ExpectedFile() {
        const FractalView& view = TheFractalView();
        const auto file = BuildBmpFile(ViewImage(), view.imageWidth, view.imageHeight);
        return file ? std::string(file->begin(), file->end()) : std::string();
    }

    FractalEngine engine_;
    HACCEL accelerators_ = nullptr;
    fs::path folder_;
    platform::SaveFileDialogAnswer answer_;
    int dialogs_ = 0;
};

TEST_F(SaveImageTest, EachFailureLeavesTheOldFileAndNoTemporaryFile) {
    const std::string expected = ExpectedFile();
    const std::string old = "an older picture that must survive";
    const struct {
        const char* name;
        std::map<FaultSite, int> faults;
        bool writesOld, writesNew;  // whether an existing / a new target gets the picture
    } rows[] = {
        {"no fault", {}, true, true},
        {"read-back buffer", {{FaultSite::HeapAlloc, 0}}, false, false},
        {"every create", {{FaultSite::FileCreate, 0}}, false, false},
        // A target that cannot be opened for writing is not replaced.
        {"the look at the target", {{FaultSite::FileCreate, 1}}, false, false},
        // The first create asks whether the target exists; the second makes
        // the temporary file, and without it the target is rewritten in place.
        {"temporary file", {{FaultSite::FileCreate, 2}}, true, false},
        {"first write", {{FaultSite::FileWrite, 1}}, false, false},
        {"a later write", {{FaultSite::FileShortWrite, 0}, {FaultSite::FileWrite, 3}}, false, false},
        {"the last write", {{FaultSite::FileShortWrite, 0}, {FaultSite::FileWrite, static_cast<int>(expected.size())}}, false, false},
        {"short writes only", {{FaultSite::FileShortWrite, 0}}, true, true},
        {"every close", {{FaultSite::FileClose, 0}}, false, false},
        {"the move", {{FaultSite::FileMove, 0}}, false, false},
        {"the cleanup alone", {{FaultSite::FileDelete, 0}}, true, true},
    };
    const fs::path target = folder_ / "picture.bmp";
    for (const auto& row : rows) {
        for (const bool existing : {true, false}) {
            SCOPED_TRACE(std::string(row.name) + (existing ? ", old file" : ", new file"));
            fs::remove(target);
            if (existing) {
                WriteFile(target, old);
                fs::permissions(target, fs::perms(0640));
            }
            InjectFaults(row.faults);
            Save(target);
            platform::SetFaultInjector(nullptr);
            const bool written = existing ? row.writesOld : row.writesNew;
            const std::string want = written ? expected : existing ? old : "";
            EXPECT_TRUE(ReadFile(target) == want) << (written ? "not the picture" : "changed");
            EXPECT_EQ(Listing(folder_), existing || written ? std::set<std::string>{"picture.bmp"}
                                                            : std::set<std::string>{});
            if (existing) {
                EXPECT_EQ(fs::status(target).permissions(), fs::perms(0640));
            }
        }
    }
}

// Root may write any file: this runs as an ordinary user (ctest runs it so,
// through as_ordinary_user.sh, when it runs as root).
TEST_F(SaveImageTest, AsAnOrdinaryUserAFileOnlyTheUserMayNotWriteIsKept) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes any file regardless of its mode";
    }
    const fs::path readOnly = folder_ / "read-only.bmp";
    WriteFile(readOnly, "old");
    fs::permissions(readOnly, fs::perms(0444));
    // A rename would replace it in a folder the user may write; in one that
    // takes no new file it would be rewritten in place.
    for (const fs::perms folderMode : {fs::perms(0755), fs::perms(0555)}) {
        fs::permissions(folder_, folderMode);
        Save(readOnly);
        EXPECT_EQ(ReadFile(readOnly), "old");
        EXPECT_EQ(Listing(folder_), std::set<std::string>{"read-only.bmp"});
    }
}

TEST_F(SaveImageTest, ReplacingKeepsTheLinkAndThePermissionsAndCancelWritesNothing) {
    fs::create_directory(folder_ / "elsewhere");
    const fs::path real = folder_ / "elsewhere" / "real.bmp";
    WriteFile(real, "old");
    fs::permissions(real, fs::perms(0640));
    fs::create_symlink(real, folder_ / "link.bmp");
    Save(folder_ / "link.bmp");
    EXPECT_TRUE(fs::is_symlink(folder_ / "link.bmp"));
    EXPECT_EQ(ReadFile(real), ExpectedFile());
    EXPECT_EQ(fs::status(real).permissions(), fs::perms(0640));
    Save(folder_ / "cancelled.bmp", false);
    EXPECT_EQ(Listing(folder_), (std::set<std::string>{"elsewhere", "link.bmp"}));
    EXPECT_EQ(Listing(folder_ / "elsewhere"), std::set<std::string>{"real.bmp"});
}

}  // namespace
