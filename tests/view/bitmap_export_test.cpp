// Save Image on the real window code (offscreen), its save dialog answered
// through the dialog hook, the disk's failures made by the fault seam: a
// failed save leaves an existing file exactly as it was and no temporary file
// behind, and says nothing; a good one writes the view's picture.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QWidget>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "platform/internal/dialog_hooks.h"
#include "platform/internal/faults.h"
#include "resources/resource.h"
#include "view/bmp_file.h"
#include "view/fractal_view.h"

namespace {

namespace fs = std::filesystem;
using platform::FaultSite;

void Pump() {
    MSG msg;
    for (int i = 0; i < 10000 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::set<std::string> Listing(const fs::path& folder) {
    std::set<std::string> names;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(folder, ignored)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

int VisibleTopLevels() {
    int n = 0;
    for (const QWidget* w : QApplication::topLevelWidgets()) {
        n += w->isVisible() ? 1 : 0;
    }
    return n;
}

// Fails the n-th step at a site (n = 0: every step there), counting each site
// by itself from the installation on.
class Faults {
public:
    explicit Faults(std::map<FaultSite, int> failAt) : failAt_(std::move(failAt)) {
        platform::SetFaultInjector([this](FaultSite site) {
            const auto it = failAt_.find(site);
            const int n = ++seen_[site];
            return it != failAt_.end() && (it->second == 0 || it->second == n);
        });
    }
    Faults(const Faults&) = delete;
    Faults& operator=(const Faults&) = delete;
    ~Faults() { platform::SetFaultInjector(nullptr); }

private:
    std::map<FaultSite, int> failAt_;
    std::map<FaultSite, int> seen_;
};

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
        const int before = VisibleTopLevels();
        dialogs_ = 0;
        SendMessageA(FrameWindow(), WM_COMMAND, IDM_FILE_SAVEIMAGE, 0);
        Pump();
        EXPECT_EQ(dialogs_, 1) << "one dialog, no second question";
        EXPECT_EQ(VisibleTopLevels(), before) << "nothing is reported";
    }

    // The file the view's picture makes, as SaveImage should write it.
    static std::string ExpectedFile() {
        const FractalView& view = TheFractalView();
        std::vector<std::uint32_t> pixels(static_cast<std::size_t>(view.imageWidth) *
                                          static_cast<std::size_t>(view.imageHeight));
        EXPECT_TRUE(view.ReadPixels(view.imageHeight, pixels.data()));
        const auto file = BuildBmpFile(pixels, view.imageWidth, view.imageHeight);
        EXPECT_TRUE(file.has_value());
        return file ? std::string(file->begin(), file->end()) : std::string();
    }

    FractalEngine engine_;
    HACCEL accelerators_ = nullptr;
    fs::path folder_;
    platform::SaveFileDialogAnswer answer_;
    int dialogs_ = 0;
};

TEST_F(SaveImageTest, EachFailureLeavesTheOldFileAndNoTemporaryFile) {
    ASSERT_GT(TheFractalView().imageWidth, 0);
    const std::string expected = ExpectedFile();
    const std::string old = "an older picture that must survive";
    enum Outcome { Unchanged, Written };
    struct Row {
        const char* name;
        std::map<FaultSite, int> faults;
        Outcome withOldFile;  // what an existing target ends as
        Outcome withoutFile;  // what a new target ends as (Unchanged: no file)
    };
    const std::vector<Row> rows = {
        {"no fault", {}, Written, Written},
        {"read-back buffer", {{FaultSite::HeapAlloc, 0}}, Unchanged, Unchanged},
        {"every create", {{FaultSite::FileCreate, 0}}, Unchanged, Unchanged},
        // A target that cannot be opened for writing is not replaced.
        {"the look at the target", {{FaultSite::FileCreate, 1}}, Unchanged, Unchanged},
        // The first create asks whether the target exists; the second makes
        // the temporary file, and without it the target is rewritten in place.
        {"temporary file", {{FaultSite::FileCreate, 2}}, Written, Unchanged},
        {"first write", {{FaultSite::FileWrite, 1}}, Unchanged, Unchanged},
        {"a later write",
         {{FaultSite::FileShortWrite, 0}, {FaultSite::FileWrite, 3}},
         Unchanged,
         Unchanged},
        {"the last write",
         {{FaultSite::FileShortWrite, 0}, {FaultSite::FileWrite, static_cast<int>(expected.size())}},
         Unchanged,
         Unchanged},
        {"short writes only", {{FaultSite::FileShortWrite, 0}}, Written, Written},
        {"every close", {{FaultSite::FileClose, 0}}, Unchanged, Unchanged},
        {"the move", {{FaultSite::FileMove, 0}}, Unchanged, Unchanged},
        {"the cleanup alone", {{FaultSite::FileDelete, 0}}, Written, Written},
    };
    for (const Row& row : rows) {
        for (const bool existing : {true, false}) {
            SCOPED_TRACE(std::string(row.name) + (existing ? ", old file" : ", new file"));
            const fs::path target = folder_ / "picture.bmp";
            std::error_code ignored;
            fs::remove(target, ignored);
            if (existing) {
                WriteFile(target, old);
                fs::permissions(target, fs::perms(0640));
            }
            {
                Faults faults(row.faults);
                Save(target);
            }
            const Outcome outcome = existing ? row.withOldFile : row.withoutFile;
            if (outcome == Written) {
                EXPECT_EQ(ReadFile(target), expected);
                if (existing) {
                    EXPECT_EQ(fs::status(target).permissions(), fs::perms(0640));
                }
            } else if (existing) {
                EXPECT_EQ(ReadFile(target), old);
            } else {
                EXPECT_FALSE(fs::exists(target));
            }
            const std::set<std::string> only =
                existing || outcome == Written ? std::set<std::string>{"picture.bmp"}
                                               : std::set<std::string>{};
            EXPECT_EQ(Listing(folder_), only);
        }
    }
}

// Root may write any file: this runs as an ordinary user (ctest runs it so,
// through as_ordinary_user.sh, when it runs as root).
TEST_F(SaveImageTest, AsAnOrdinaryUserAFileOnlyTheUserMayNotWriteIsKept) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes any file regardless of its mode";
    }
    const std::string expected = ExpectedFile();
    const fs::path writable = folder_ / "writable.bmp";
    const fs::path readOnly = folder_ / "read-only.bmp";
    WriteFile(writable, "old");
    WriteFile(readOnly, "old");
    ASSERT_EQ(::chmod(writable.c_str(), 0604), 0);
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
    const auto mode = [](const fs::path& path) {
        struct stat info {};
        return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0u;
    };
    const std::set<std::string> both = {"writable.bmp", "read-only.bmp"};

    // In a folder the user may write: the write-protected file is left byte
    // for byte, the writable one replaced, each with its mode, and no
    // temporary file remains.
    Save(readOnly);
    EXPECT_EQ(ReadFile(readOnly), "old");
    EXPECT_EQ(mode(readOnly), 0444u);
    Save(writable);
    EXPECT_EQ(ReadFile(writable), expected);
    EXPECT_EQ(mode(writable), 0604u);
    EXPECT_EQ(Listing(folder_), both);
    // The layer answers as Windows does for a file it may not write.
    const fs::path replacement = folder_ / "replacement";
    WriteFile(replacement, "new");
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(ReplaceFileA(readOnly.c_str(), replacement.c_str(), nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(ReadFile(readOnly), "old");
    fs::remove(replacement);

    // In a folder that takes no new file, the writable target is rewritten in
    // place, the read-only one is kept, and no new name appears.
    WriteFile(writable, "old");
    ASSERT_EQ(::chmod(folder_.c_str(), 0555), 0);
    Save(writable);
    EXPECT_EQ(ReadFile(writable), expected);
    Save(readOnly);
    EXPECT_EQ(ReadFile(readOnly), "old");
    Save(folder_ / "new.bmp");
    EXPECT_EQ(Listing(folder_), both);
}

TEST_F(SaveImageTest, AsRootAFileOfAnotherUserKeepsItsOwnerAndAnImmutableOneIsKept) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root gives a file to another user or makes one immutable";
    }
    const fs::path target = folder_ / "theirs.bmp";
    WriteFile(target, "old");
    ASSERT_EQ(::chown(target.c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    Save(target);
    EXPECT_EQ(ReadFile(target), ExpectedFile());
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 65534u);
    EXPECT_EQ(info.st_gid, 65534u);
    EXPECT_EQ(info.st_mode & 07777, 0640u);

    // Root may not write an immutable file either (where the file system
    // has the flag).
    const fs::path fixed = folder_ / "immutable.bmp";
    WriteFile(fixed, "old");
    const int fd = ::open(fixed.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    int flags = 0;
    bool immutable = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (immutable) {
        flags |= FS_IMMUTABLE_FL;
        immutable = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    if (immutable) {
        Save(fixed);
        EXPECT_EQ(ReadFile(fixed), "old");
        EXPECT_EQ(Listing(folder_), (std::set<std::string>{"theirs.bmp", "immutable.bmp"}));
        flags &= ~FS_IMMUTABLE_FL;
        EXPECT_EQ(::ioctl(fd, FS_IOC_SETFLAGS, &flags), 0);
    }
    ::close(fd);
}

TEST_F(SaveImageTest, ReplacingKeepsTheLinkAndThePermissionsAndCancelWritesNothing) {
    const std::string expected = ExpectedFile();
    const fs::path elsewhere = folder_ / "elsewhere";
    fs::create_directory(elsewhere);
    const fs::path real = elsewhere / "real.bmp";
    WriteFile(real, "old");
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    const fs::path link = folder_ / "link.bmp";
    fs::create_symlink(real, link);

    Save(link);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadFile(real), expected);
    struct stat info {};
    ASSERT_EQ(::stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(Listing(elsewhere), std::set<std::string>{"real.bmp"});

    Save(folder_ / "cancelled.bmp", false);
    EXPECT_EQ(Listing(folder_), (std::set<std::string>{"elsewhere", "link.bmp"}));
}

}  // namespace
