// Files as the export uses them: CreateFileA with each disposition and the
// failures a save meets (no such folder, a folder, a full disk, a FIFO, an
// injected refusal), share mode 0 and links, WriteFile over partial and
// failing writes, the file pointer, the end of file and the flush of a
// handle, its final path, CloseHandle, DeleteFileA, MoveFileExA and
// ReplaceFileA, and the random source.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
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

// Share mode 0 keeps everyone else out while the handle is open: a file it
// creates is private. FILE_FLAG_OPEN_REPARSE_POINT opens no link, not even
// one to a writable file.
TEST_F(FileTest, AnUnsharedNewFileIsPrivateAndALinkIsNotOpenedAsItself) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    for (const DWORD share : {DWORD{0}, DWORD{FILE_SHARE_READ}}) {
        const std::string path = Path(share == 0 ? "private" : "shared");
        EXPECT_TRUE(CloseHandle(CreateFileA(path.c_str(), GENERIC_WRITE, share, nullptr, CREATE_NEW,
                                            FILE_ATTRIBUTE_NORMAL, nullptr)));
        struct stat info {};
        ASSERT_EQ(::stat(path.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, (share == 0 ? 0600u : 0666u) & ~mask) << path;
    }
    ASSERT_EQ(::symlink(Path("shared").c_str(), Path("link").c_str()), 0);
    EXPECT_EQ(
        CreateFileA(Path("link").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr),
        INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANT_RESOLVE_FILENAME));
}

// Through a dangling link OPEN_ALWAYS makes the file where it points; the
// handle names that path however long it is. A file grown by SetEndOfFile
// has its blocks reserved and reads as zeros; cut back it keeps its start.
TEST_F(FileTest, AHandleNamesItsPathAtAnyLengthGrowsShrinksAndFlushes) {
    std::string deep = folder;
    for (char c = 'a'; c < 'f'; ++c) {
        deep += "/" + std::string(250, c);
    }
    std::filesystem::create_directories(deep);
    const std::string real = deep + "/file";
    ASSERT_EQ(::symlink(real.c_str(), Path("link").c_str()), 0);
    HANDLE file = CreateFileA(Path("link").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS)) << "made, not found";
    char small[8];
    const DWORD needed = GetFinalPathNameByHandleA(file, small, sizeof(small), 0);
    ASSERT_EQ(needed, real.size() + 1);
    std::string path(needed, '\0');
    EXPECT_EQ(GetFinalPathNameByHandleA(file, path.data(), needed, 0), real.size());
    EXPECT_EQ(path.c_str(), real);

    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, "abcdef", 6, &written, nullptr));
    LARGE_INTEGER at;
    at.QuadPart = 10000;
    ASSERT_TRUE(SetFilePointerEx(file, at, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file));
    struct stat info {};
    ASSERT_EQ(::stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_size, 10000);
    EXPECT_GE(info.st_blocks * 512, 10000) << "the new blocks are reserved, not a hole";
    EXPECT_EQ(Read(real), "abcdef" + std::string(9994, '\0'));
    at.QuadPart = 3;
    LARGE_INTEGER now{};
    ASSERT_TRUE(SetFilePointerEx(file, at, &now, FILE_BEGIN));
    EXPECT_EQ(now.QuadPart, 3);
    ASSERT_TRUE(SetEndOfFile(file));
    EXPECT_TRUE(FlushFileBuffers(file));
    EXPECT_EQ(Read(real), "abc");
    ASSERT_EQ(::unlink(real.c_str()), 0);
    EXPECT_EQ(GetFinalPathNameByHandleA(file, path.data(), needed, 0), 0u) << "no name left";
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_FALSE(FlushFileBuffers(file));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    unsigned char draws[2][16] = {};
    EXPECT_TRUE(RtlGenRandom(draws[0], sizeof(draws[0])) &&
                RtlGenRandom(draws[1], sizeof(draws[1])));
    EXPECT_NE(std::memcmp(draws[0], draws[1], sizeof(draws[0])), 0);
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
    ASSERT_TRUE(MoveFileExA(temporary.c_str(), target.c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
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
    ASSERT_TRUE(ReplaceFileA(target.c_str(), temporary.c_str(), nullptr, REPLACEFILE_WRITE_THROUGH,
                             nullptr, nullptr));
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0604u);
    EXPECT_TRUE(!root || (info.st_uid == 65534u && info.st_gid == 65534u));
    EXPECT_EQ(Read(target), "newer");
    // A replacement that is a link to a file elsewhere, or a second name of
    // one, is refused: that file would get the replaced file's mode and owner.
    const std::string other = Path("other");
    Write(other, "other");
    ASSERT_EQ(::chmod(other.c_str(), 0600), 0);
    ASSERT_EQ(::symlink(other.c_str(), Path("as-link").c_str()), 0);
    ASSERT_EQ(::link(other.c_str(), Path("as-name").c_str()), 0);
    for (const char* name : {"as-link", "as-name"}) {
        EXPECT_FALSE(
            ReplaceFileA(target.c_str(), Path(name).c_str(), nullptr, 0, nullptr, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED)) << name;
    }
    ASSERT_EQ(::stat(other.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_EQ(info.st_uid, ::geteuid());
    EXPECT_EQ(Read(target), "newer");
    EXPECT_FALSE(ReplaceFileA(Path("gone").c_str(), target.c_str(), nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    ASSERT_TRUE(DeleteFileA(target.c_str()));
    EXPECT_FALSE(DeleteFileA(target.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

}  // namespace
