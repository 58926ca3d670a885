// Save Image on the real window code (offscreen), its save dialog answered
// through the dialog hook, the disk's failures made by the fault seam and, as
// root, by a small file system of its own: a failed save leaves an existing
// file exactly as it was and no temporary file behind, and says nothing; a
// good one writes the view's picture, flushed before it takes the name.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QWidget>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/internal/dialog_hooks.h"
#include "platform/internal/faults.h"
#include "resources/resource.h"
#include "tests/app/explorer_support.h"
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

// The names in a folder, leaving out the fillers of a SmallDisk.
std::set<std::string> Listing(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().rfind("filler", 0) != 0) {
            names.insert(entry.path().filename().string());
        }
    }
    return names;
}

// A file's permission bits, a link followed.
int Mode(const fs::path& path) {
    return static_cast<int>(fs::status(path).permissions());
}

// The permission bits a new file gets here: 0666 less the umask.
int NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~static_cast<int>(mask);
}

bool IsTemporary(const fs::path& path) {
    return path.filename().string().rfind(".zembrix-", 0) == 0;
}

long VisibleTopLevels() {
    const auto windows = QApplication::topLevelWidgets();
    return std::count_if(windows.begin(), windows.end(), [](QWidget* w) { return w->isVisible(); });
}

// Fails the n-th step at a site (n = 0: every step there), counting each site
// by itself from now on (in one count the injector's copies share). `watch`
// sees each step asked, with its count, before it is taken.
using Watch = std::function<void(FaultSite site, int n)>;
void InjectFaults(std::map<FaultSite, int> failAt, Watch watch = nullptr) {
    auto seen = std::make_shared<std::map<FaultSite, int>>();
    platform::SetFaultInjector([failAt, seen, watch](FaultSite site) {
        const int n = ++(*seen)[site];
        if (watch) {
            watch(site, n);
        }
        return failAt.count(site) != 0 && (failAt.at(site) == 0 || failAt.at(site) == n);
    });
}

// A file system of its own, 64 KiB and 16 inodes (tmpfs), for failures the
// seam cannot make: mounted while the object lives, where this runs as root.
class SmallDisk {
public:
    explicit SmallDisk(fs::path at) : path_(std::move(at)) {
        fs::create_directory(path_);
        mounted_ = ::geteuid() == 0 && ::mount("zembrix-test", path_.c_str(), "tmpfs",
                                               MS_NOSUID | MS_NODEV, "size=64k,nr_inodes=16") == 0;
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    ~SmallDisk() {
        if (mounted_) {
            ::umount2(path_.c_str(), MNT_DETACH);
        }
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    bool Mounted() const { return mounted_; }
    const fs::path& Path() const { return path_; }

    // Leaves about `bytes` free (whole pages) and, unless `inodes`, no inode.
    void Fill(std::uintmax_t bytes, bool inodes) {
        const std::uintmax_t free = fs::space(path_).available;
        std::ofstream(path_ / "filler", std::ios::binary)
            << std::string(free > bytes ? free - bytes : 0, 'f');
        for (int i = 0; !inodes && i < 64; ++i) {
            const std::string name = (path_ / ("filler-" + std::to_string(i))).string();
            const int fd = ::open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0600);
            if (fd < 0) {
                break;
            }
            ::close(fd);
        }
    }

private:
    fs::path path_;
    bool mounted_ = false;
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
    ASSERT_GT(expected.size(), 64u * 1024) << "the picture must not fit the small disk";
    std::string old(20000, '\0');
    for (std::size_t i = 0; i < old.size(); ++i) {
        old[i] = static_cast<char>(i * 7 % 251);
    }
    enum class Disk { Roomy, NoInodeLeft, SpaceShort };  // the last two a SmallDisk
    const struct {
        const char* name;
        std::map<FaultSite, int> faults;
        bool writesOld, writesNew;  // whether an existing / a new target gets the picture
        Disk disk = Disk::Roomy;
    } rows[] = {
        {"no fault", {}, true, true},
        {"read-back buffer", {{FaultSite::HeapAlloc, 0}}, false, false},
        {"every create", {{FaultSite::FileCreate, 0}}, false, false},
        // A target that cannot be opened for writing is not replaced.
        {"the look at the target", {{FaultSite::FileCreate, 1}}, false, false},
        // The first create opens the target (making a new one empty); the
        // second makes the temporary file. Refused for lack of permission, an
        // existing target is rewritten in place; for any other reason never.
        {"temporary file refused", {{FaultSite::FileCreate, 2}}, true, false},
        {"temporary file, no space", {{FaultSite::FileCreateFull, 2}}, false, false},
        {"temporary file, too many files", {{FaultSite::FileCreateTooMany, 2}}, false, false},
        {"temporary file, no inode left", {}, false, false, Disk::NoInodeLeft},
        {"first write", {{FaultSite::FileWrite, 1}}, false, false},
        {"a later write",
         {{FaultSite::FileShortWrite, 0}, {FaultSite::FileWrite, 3}},
         false,
         false},
        {"the last write",
         {{FaultSite::FileShortWrite, 0},
          {FaultSite::FileWrite, static_cast<int>(expected.size())}},
         false,
         false},
        {"short writes only", {{FaultSite::FileShortWrite, 0}}, true, true},
        {"the disk fills halfway", {}, false, false, Disk::SpaceShort},
        {"the flush", {{FaultSite::FileFlush, 1}}, false, false},
        {"the flush before the rename", {{FaultSite::FileFlush, 2}}, false, false},
        {"every close", {{FaultSite::FileClose, 0}}, false, false},
        {"the rename", {{FaultSite::FileMove, 0}}, false, false},
        // After the rename: the picture is there, though a power cut might undo it.
        {"the folder's flush", {{FaultSite::FolderFlush, 0}}, true, true},
        // Rewritten in place, the picture's room is reserved before a byte changes.
        {"in place, the disk too full",
         {{FaultSite::FileCreate, 2}},
         false,
         false,
         Disk::SpaceShort},
        {"the cleanup alone", {{FaultSite::FileDelete, 0}}, true, true},
    };
    std::vector<std::string> skipped;
    for (const auto& row : rows) {
        for (const bool existing : {true, false}) {
            SCOPED_TRACE(std::string(row.name) + (existing ? ", old file" : ", new file"));
            std::unique_ptr<SmallDisk> disk;
            if (row.disk != Disk::Roomy) {
                disk = std::make_unique<SmallDisk>(folder_ / "disk");
                if (!disk->Mounted()) {
                    skipped.push_back(row.name);
                    continue;
                }
            }
            const fs::path target = (disk ? disk->Path() : folder_) / "picture.bmp";
            fs::remove(target);
            if (existing) {
                WriteFile(target, old);
                fs::permissions(target, fs::perms(0640));
            }
            if (disk) {
                disk->Fill(8192, row.disk == Disk::SpaceShort);
            }
            InjectFaults(row.faults);
            Save(target);
            platform::SetFaultInjector(nullptr);
            const bool written = existing ? row.writesOld : row.writesNew;
            const std::string want = written ? expected : existing ? old : "";
            EXPECT_TRUE(ReadFile(target) == want) << (written ? "not the picture" : "changed");
            EXPECT_EQ(Listing(target.parent_path()), existing || written
                                                         ? std::set<std::string>{"picture.bmp"}
                                                         : std::set<std::string>{});
            if (existing) {
                EXPECT_EQ(Mode(target), 0640);
            }
        }
    }
    if (!skipped.empty()) {
        GTEST_SKIP() << "rows on a small file system need root and tmpfs: " << skipped.front()
                     << " and " << skipped.size() - 1 << " more";
    }
}

// What the disk holds at each step: the temporary file private while the
// picture is written, the picture flushed before it takes the target's name,
// and the folder flushed after the rename.
TEST_F(SaveImageTest, TheTemporaryFileIsPrivateAndFlushedBeforeTheRenameAndTheFolderAfterIt) {
    const fs::path target = folder_ / "picture.bmp";
    for (const bool existing : {true, false}) {
        SCOPED_TRACE(existing ? "old file" : "new file");
        fs::remove(target);
        if (existing) {
            WriteFile(target, "old");
            fs::permissions(target, fs::perms(0644));
        }
        std::vector<std::string> steps;
        int looks = 0;
        std::vector<std::string> exposed;  // temporary files others could open
        InjectFaults({}, [&](FaultSite site, int) {
            const std::map<FaultSite, const char*> names = {
                {FaultSite::FileWrite, "write"},
                {FaultSite::FileFlush, "flush"},
                {FaultSite::FileClose, "close"},
                {FaultSite::FileMove, "rename"},
                {FaultSite::FolderFlush, "folder flush"}};
            // From the first write on, each run of writes counted once.
            const bool writing = site == FaultSite::FileWrite;
            if (names.count(site) != 0 &&
                (steps.empty() ? writing : !writing || steps.back() != "write")) {
                steps.push_back(names.at(site));
            }
            for (const auto& entry : fs::directory_iterator(folder_)) {
                if (!writing || !IsTemporary(entry.path())) {
                    continue;
                }
                ++looks;
                struct stat info {};
                if (::lstat(entry.path().c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
                    (info.st_mode & 077) != 0 || info.st_uid != ::geteuid()) {
                    exposed.push_back(entry.path().filename().string());
                }
            }
        });
        Save(target);
        platform::SetFaultInjector(nullptr);
        EXPECT_GT(looks, 0) << "the temporary file was looked at while written";
        EXPECT_EQ(exposed, std::vector<std::string>{});
        EXPECT_EQ(steps, (std::vector<std::string>{"write", "flush", "close", "flush", "rename",
                                                   "folder flush"}));
        EXPECT_TRUE(ReadFile(target) == ExpectedFile()) << "not the picture";
        EXPECT_EQ(Mode(target), existing ? 0644 : NewFileMode());
    }
}

// Whoever may write the folder may swap a name for a link to a file
// elsewhere at any moment; the owner and mode go to the file the save made,
// through its handle, and the rewrite in place opens no link.
TEST_F(SaveImageTest, ALinkSwappedInForTheTemporaryOrTheTargetChangesNothingOutsideTheFolder) {
    const fs::path target = folder_ / "picture.bmp";
    const fs::path outside = folder_ / "elsewhere" / "secret";
    fs::create_directory(outside.parent_path());
    const bool root = ::geteuid() == 0;
    const auto swapTemporary = [&] {
        for (const auto& entry : fs::directory_iterator(folder_)) {
            if (IsTemporary(entry.path())) {
                fs::rename(entry.path(), folder_ / "moved-away");
                fs::create_symlink(outside, entry.path());
                return;
            }
        }
    };
    const auto swapTarget = [&] {
        fs::remove(target);
        fs::create_symlink(outside, target);
    };
    const struct {
        const char* name;
        FaultSite at;
        int n;
        std::map<FaultSite, int> faults;
        bool target;  // the target swapped, not the temporary file
    } cases[] = {
        {"temporary file, once written", FaultSite::FileClose, 2, {}, false},
        {"temporary file, once its mode is set", FaultSite::FileMove, 1, {}, false},
        // The folder refuses the temporary file: the target is rewritten in place.
        {"target, before the rewrite",
         FaultSite::FileCreate,
         3,
         {{FaultSite::FileCreate, 2}},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const std::string& name : Listing(folder_)) {
            if (name != "elsewhere") {
                fs::remove(folder_ / name);
            }
        }
        WriteFile(outside, "secret");
        fs::permissions(outside, fs::perms(0604));
        // Root saving over a user's file would give the file elsewhere to that user.
        WriteFile(target, "old");
        fs::permissions(target, fs::perms(0640));
        ASSERT_TRUE(!root || ::chown(target.c_str(), 65534, 65534) == 0);
        InjectFaults(c.faults, [&](FaultSite site, int n) {
            if (site == c.at && n == c.n) {
                c.target ? swapTarget() : swapTemporary();
            }
        });
        Save(target);
        platform::SetFaultInjector(nullptr);
        struct stat info {};
        ASSERT_EQ(::stat(outside.c_str(), &info), 0);
        EXPECT_TRUE(ReadFile(outside) == "secret") << "written";
        EXPECT_EQ(info.st_mode & 07777, 0604u);
        EXPECT_EQ(info.st_uid, ::geteuid());
    }
}

// Root may write any file: this runs as an ordinary user (ctest runs it so,
// through as_ordinary_user.sh, when it runs as root).
TEST_F(SaveImageTest, AsAnOrdinaryUserAFileOnlyTheUserMayNotWriteIsKept) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes any file regardless of its mode";
    }
    const fs::path readOnly = folder_ / "read-only.bmp";
    const fs::path writable = folder_ / "writable.bmp";
    WriteFile(readOnly, "old");
    fs::permissions(readOnly, fs::perms(0444));
    // A rename would replace it in a folder the user may write; in one that
    // takes no new file it would be rewritten in place. A writable file is
    // replaced in the one and rewritten in place in the other.
    for (const fs::perms folderMode : {fs::perms(0755), fs::perms(0555)}) {
        fs::permissions(folder_, folderMode);
        WriteFile(writable, "old");
        Save(readOnly);
        Save(writable);
        EXPECT_EQ(ReadFile(readOnly), "old");
        EXPECT_TRUE(ReadFile(writable) == ExpectedFile()) << "not the picture";
        EXPECT_EQ(Listing(folder_), (std::set<std::string>{"read-only.bmp", "writable.bmp"}));
    }
}

// A link stays a link and the file it points to gets the picture: through a
// resolved path longer than any fixed buffer, and through a dangling link,
// which makes the file where it points, or ends the save when that folder
// does not exist.
TEST_F(SaveImageTest, ReplacingKeepsTheLinkAndThePermissionsAndCancelWritesNothing) {
    const fs::path elsewhere = folder_ / "elsewhere";
    fs::path deep = elsewhere;
    for (char c = 'a'; c < 'f'; ++c) {
        deep /= std::string(250, c);
    }
    fs::create_directories(deep);
    const fs::path real = elsewhere / "real.bmp";
    const fs::path far = deep / "far.bmp";
    for (const fs::path& file : {real, far}) {
        WriteFile(file, "old");
        fs::permissions(file, fs::perms(0640));
    }
    ASSERT_GT(far.string().size(), 1100u);
    fs::create_symlink(real, folder_ / "link.bmp");
    fs::create_symlink(far, folder_ / "long.bmp");
    fs::create_symlink(elsewhere / "new.bmp", folder_ / "dangling.bmp");
    fs::create_symlink(folder_ / "missing" / "new.bmp", folder_ / "nowhere.bmp");
    for (const char* link : {"link.bmp", "long.bmp", "dangling.bmp", "nowhere.bmp"}) {
        Save(folder_ / link);
        EXPECT_TRUE(fs::is_symlink(folder_ / link)) << link;
    }
    for (const fs::path& file : {real, far, elsewhere / "new.bmp"}) {
        EXPECT_TRUE(ReadFile(file) == ExpectedFile()) << "not the picture: " << file;
    }
    EXPECT_EQ(Mode(real), 0640);
    EXPECT_EQ(Mode(far), 0640);
    EXPECT_EQ(Mode(elsewhere / "new.bmp"), NewFileMode());
    Save(folder_ / "cancelled.bmp", false);
    EXPECT_EQ(Listing(folder_), (std::set<std::string>{"elsewhere", "link.bmp", "long.bmp",
                                                       "dangling.bmp", "nowhere.bmp"}));
    EXPECT_EQ(Listing(elsewhere),
              (std::set<std::string>{"a" + std::string(249, 'a'), "new.bmp", "real.bmp"}));
    EXPECT_EQ(Listing(deep), std::set<std::string>{"far.bmp"});
}

}  // namespace
