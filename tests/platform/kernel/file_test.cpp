// Files as the export uses them: CreateFileA with each disposition and the
// failures a save meets (no such folder, a folder, a full disk, a FIFO, an
// injected refusal), WriteFile over partial and failing writes, CloseHandle,
// DeleteFileA, MoveFileExA and ReplaceFileA.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/internal/faults.h"
#include "platform/win32.h"

namespace {

class FileTest : public ::testing::Test {
protected:
    FileTest() {
        char pattern[] = "/tmp/zembrix-kernel-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        folder = made != nullptr ? made : "";
    }
    ~FileTest() override {
        platform::SetFaultInjector(nullptr);
        std::filesystem::remove_all(folder);
    }
    std::string Path(const char* name) const { return folder + "/" + name; }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static void Write(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    static HANDLE Open(const std::string& path, DWORD disposition = CREATE_ALWAYS) {
        return CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    std::string folder;
};

// Each disposition on an existing file ("old!") and a missing one; where the
// open succeeds, "NEW" is written at the start.
TEST_F(FileTest, EachDispositionOpensCreatesOrRefusesAsOnWindows) {
    struct Case {
        DWORD disposition;
        bool exists;
        bool opens;
        DWORD error;
        const char* after;  // the file's content afterwards; null: no file
    };
    const Case cases[] = {
        {CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, "NEW"},
        {CREATE_ALWAYS, false, true, ERROR_SUCCESS, "NEW"},
        {CREATE_NEW, true, false, ERROR_FILE_EXISTS, "old!"},
        {CREATE_NEW, false, true, ERROR_SUCCESS, "NEW"},
        {OPEN_EXISTING, true, true, ERROR_SUCCESS, "NEW!"},
        {OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
        {OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, "NEW!"},
        {OPEN_ALWAYS, false, true, ERROR_SUCCESS, "NEW"},
        {TRUNCATE_EXISTING, true, true, ERROR_SUCCESS, "NEW"},
        {99, true, false, ERROR_INVALID_PARAMETER, "old!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "disposition " << c.disposition << ", exists " << c.exists);
        const std::string path = Path("picture.bmp");
        std::filesystem::remove(path);
        if (c.exists)
            Write(path, "old!");
        const HANDLE file = Open(path, c.disposition);
        EXPECT_EQ(GetLastError(), c.error);
        ASSERT_EQ(file != INVALID_HANDLE_VALUE, c.opens);
        DWORD written = 0;
        EXPECT_TRUE(!c.opens ||
                    (WriteFile(file, "NEW", 3, &written, nullptr) && CloseHandle(file)));
        EXPECT_EQ(std::filesystem::exists(path) ? Read(path) : "none", c.after ? c.after : "none");
    }
}

TEST_F(FileTest, PathsThatNameNoFileFailWithTheirError) {
    Write(Path("plain"), "x");
    const struct {
        std::string path;
        DWORD error;
    } cases[] = {
        {Path("no/such/folder/picture.bmp"), ERROR_PATH_NOT_FOUND},
        {Path("plain/picture.bmp"), ERROR_PATH_NOT_FOUND},  // for root too
        {folder, ERROR_ACCESS_DENIED},                      // a folder is not a file
        {"", ERROR_PATH_NOT_FOUND},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Open(c.path), INVALID_HANDLE_VALUE) << c.path;
        EXPECT_EQ(GetLastError(), c.error) << c.path;
    }
}

TEST_F(FileTest, WritesGoOnOverPartialOnesAndFailingOnesReportWhatWasWritten) {
    int writes = 0;  // one byte a write; the fourth fails
    platform::SetFaultInjector([&](platform::FaultSite site) {
        return site == platform::FaultSite::FileShortWrite ||
               (site == platform::FaultSite::FileWrite && ++writes > 3);
    });
    HANDLE file = Open(Path("short.bin"));
    DWORD written = 0;
    EXPECT_FALSE(WriteFile(file, "abcdefgh", 8, &written, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
    EXPECT_EQ(written, 3u);
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_EQ(Read(Path("short.bin")), "abc");
    EXPECT_FALSE(CloseHandle(file)) << "a closed handle is gone";
    EXPECT_FALSE(WriteFile(file, "x", 1, &written, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    platform::SetFaultInjector(nullptr);
    EXPECT_NE(Open(Path("next.bin")), file) << "handles are not reused";

    file = Open("/dev/full");
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(WriteFile(file, "BM", 2, &written, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
    EXPECT_EQ(written, 0u);
    EXPECT_TRUE(CloseHandle(file));
}

// Without a reader, an open of a FIFO for writing fails at once instead of
// waiting for ever.
TEST_F(FileTest, AFifoNeverBlocksTheOpen) {
    const std::string fifo = Path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(Open(fifo, OPEN_EXISTING), INVALID_HANDLE_VALUE);
}

TEST_F(FileTest, MoveDeleteAndReplaceAsTheExportUsesThem) {
    const std::string temporary = Path("picture.tmp");
    const std::string target = Path("picture.bmp");
    Write(temporary, "new");
    Write(target, "old");
    EXPECT_FALSE(MoveFileExA(temporary.c_str(), target.c_str(), 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    ASSERT_TRUE(MoveFileExA(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(Read(target), "new");
    EXPECT_FALSE(MoveFileExA(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    // The replacement takes the replaced file's permission bits, not its own,
    // and root saving over another user's file leaves it theirs.
    Write(temporary, "newer");
    const bool root = ::geteuid() == 0;
    ASSERT_TRUE(!root || ::chown(target.c_str(), 65534, 65534) == 0);
    ASSERT_EQ(::chmod(target.c_str(), 0604), 0);
    ASSERT_EQ(::chmod(temporary.c_str(), 0600), 0);
    ASSERT_TRUE(ReplaceFileA(target.c_str(), temporary.c_str(), nullptr, 0, nullptr, nullptr));
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0604u);
    EXPECT_TRUE(!root || (info.st_uid == 65534u && info.st_gid == 65534u));
    EXPECT_EQ(Read(target), "newer");
    EXPECT_FALSE(ReplaceFileA(Path("gone").c_str(), target.c_str(), nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    ASSERT_TRUE(DeleteFileA(target.c_str()));
    EXPECT_FALSE(DeleteFileA(target.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

}  // namespace
