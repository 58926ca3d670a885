// Files: CreateFileA as the export uses it, WriteFile over partial and failing
// writes, CloseHandle, DeleteFileA and MoveFileExA, and the failures a save
// meets (no such folder, a folder that takes no files, a full disk, a FIFO).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
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
        std::error_code ignored;
        if (!folder.empty())
            std::filesystem::remove_all(folder, ignored);
    }
    std::string Path(const char* name) const { return folder + "/" + name; }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static void Write(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    static HANDLE Create(const std::string& path) {
        return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    std::string folder;
};

TEST_F(FileTest, CreateWriteCloseReplacesAnExistingFile) {
    ASSERT_FALSE(folder.empty());
    const std::string path = Path("picture.bmp");
    Write(path, "an older and longer content");
    const HANDLE file = Create(path);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    DWORD written = 12345;
    ASSERT_TRUE(WriteFile(file, "BM", 2, &written, nullptr));
    EXPECT_EQ(written, 2u);
    ASSERT_TRUE(WriteFile(file, "", 0, &written, nullptr));
    EXPECT_EQ(written, 0u);
    ASSERT_TRUE(WriteFile(file, "rows", 4, &written, nullptr));
    ASSERT_TRUE(CloseHandle(file));
    EXPECT_EQ(Read(path), "BMrows");

    const HANDLE fresh = Create(Path("new.bmp"));
    ASSERT_NE(fresh, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_TRUE(CloseHandle(fresh));
}

TEST_F(FileTest, WriteFileGoesOnOverPartialWrites) {
    platform::SetFaultInjector(
        [](platform::FaultSite site) { return site == platform::FaultSite::FileShortWrite; });
    const std::string path = Path("short.bin");
    const HANDLE file = Create(path);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const std::string data(1000, 'x');
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr));
    EXPECT_EQ(written, 1000u);
    ASSERT_TRUE(CloseHandle(file));
    EXPECT_EQ(Read(path), data);
}

TEST_F(FileTest, AFailingWriteReportsFalseAndWhatWasWritten) {
    int writes = 0;
    platform::SetFaultInjector([&](platform::FaultSite site) {
        if (site == platform::FaultSite::FileShortWrite)
            return true;
        return site == platform::FaultSite::FileWrite && ++writes > 3;
    });
    const HANDLE file = Create(Path("failing.bin"));
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    EXPECT_FALSE(WriteFile(file, "abcdefgh", 8, &written, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
    EXPECT_EQ(written, 3u);
    platform::SetFaultInjector(
        [](platform::FaultSite site) { return site == platform::FaultSite::FileClose; });
    EXPECT_FALSE(CloseHandle(file)) << "a late write error is reported";
    EXPECT_FALSE(CloseHandle(file)) << "and the handle is gone all the same";
}

TEST_F(FileTest, AFullDiskFailsTheWrite) {
    const HANDLE file = Create("/dev/full");
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 99;
    EXPECT_FALSE(WriteFile(file, "BM", 2, &written, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
    EXPECT_EQ(written, 0u);
    EXPECT_TRUE(CloseHandle(file));
}

TEST_F(FileTest, AMissingFolderFailsTheCreate) {
    EXPECT_EQ(Create(Path("no/such/folder/picture.bmp")), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    // A "folder" that is a file fails for every user, root included.
    Write(Path("plain"), "x");
    EXPECT_EQ(Create(Path("plain/picture.bmp")), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(Create(folder), INVALID_HANDLE_VALUE) << "a folder is not a file";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(Create(""), INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileA(nullptr, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileA(Path("x").c_str(), GENERIC_WRITE, 0, nullptr, 99, 0, nullptr),
              INVALID_HANDLE_VALUE);
}

TEST_F(FileTest, AFolderThatTakesNoFilesFailsTheCreate) {
    std::string readOnly;
    if (::geteuid() != 0) {
        readOnly = Path("read-only");
        ASSERT_EQ(::mkdir(readOnly.c_str(), 0555), 0);
    } else {
        // Root ignores permission bits; sysfs refuses new files to root too.
        struct stat info;
        if (::stat("/sys", &info) != 0 || !S_ISDIR(info.st_mode))
            GTEST_SKIP() << "running as root without /sys: a read-only folder cannot be made here";
        readOnly = "/sys";
    }
    const std::string path = readOnly + "/zembrix-test.bmp";
    const HANDLE file = Create(path);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        DeleteFileA(path.c_str());
        GTEST_SKIP() << readOnly << " took a new file: no read-only folder is available";
    }
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(FileTest, AFifoNeverBlocksTheOpen) {
    const std::string fifo = Path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Without a reader, an open for writing fails at once instead of waiting.
    EXPECT_EQ(CreateFileA(fifo.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    const HANDLE reader =
        CreateFileA(fifo.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    const HANDLE writer =
        CreateFileA(fifo.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(writer, "x", 1, &written, nullptr));
    EXPECT_EQ(written, 1u);
    CloseHandle(writer);
    CloseHandle(reader);
}

TEST_F(FileTest, InvalidAndClosedHandlesFail) {
    DWORD written = 7;
    EXPECT_FALSE(WriteFile(nullptr, "x", 1, &written, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(written, 0u);
    EXPECT_FALSE(WriteFile(INVALID_HANDLE_VALUE, "x", 1, &written, nullptr));
    EXPECT_FALSE(WriteFile(GetProcessHeap(), "x", 1, &written, nullptr));
    EXPECT_FALSE(CloseHandle(nullptr));
    EXPECT_FALSE(CloseHandle(GetProcessHeap()));

    const HANDLE file = Create(Path("closed.bin"));
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    OVERLAPPED overlapped{};
    EXPECT_FALSE(WriteFile(file, "x", 1, &written, &overlapped))
        << "overlapped writes are not supported";
    EXPECT_FALSE(WriteFile(file, nullptr, 1, &written, nullptr));
    ASSERT_TRUE(CloseHandle(file));
    EXPECT_FALSE(WriteFile(file, "x", 1, &written, nullptr));
    EXPECT_FALSE(CloseHandle(file));
    const HANDLE next = Create(Path("next.bin"));
    EXPECT_NE(next, file) << "handles are not reused";
    CloseHandle(next);

    platform::SetFaultInjector(
        [](platform::FaultSite site) { return site == platform::FaultSite::FileCreate; });
    EXPECT_EQ(Create(Path("refused.bin")), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(FileTest, DeleteAndMoveAsTheExportUsesThem) {
    const std::string temporary = Path("picture.tmp");
    const std::string target = Path("picture.bmp");
    Write(temporary, "new");
    Write(target, "old");
    EXPECT_FALSE(MoveFileExA(temporary.c_str(), target.c_str(), 0)) << "the target exists";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(Read(target), "old");
    ASSERT_TRUE(MoveFileExA(temporary.c_str(), target.c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    EXPECT_EQ(Read(target), "new");
    EXPECT_NE(::access(temporary.c_str(), F_OK), 0);

    EXPECT_TRUE(MoveFileExA(target.c_str(), temporary.c_str(), 0)) << "a free name needs no flag";
    EXPECT_FALSE(MoveFileExA(target.c_str(), temporary.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(MoveFileExA(temporary.c_str(), Path("none/x").c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(MoveFileExA(temporary.c_str(), folder.c_str(), MOVEFILE_REPLACE_EXISTING))
        << "onto a folder";
    EXPECT_FALSE(MoveFileExA(nullptr, target.c_str(), 0));

    platform::SetFaultInjector([](platform::FaultSite site) {
        return site == platform::FaultSite::FileMove || site == platform::FaultSite::FileDelete;
    });
    EXPECT_FALSE(MoveFileExA(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_FALSE(DeleteFileA(temporary.c_str()));
    platform::SetFaultInjector(nullptr);

    ASSERT_TRUE(DeleteFileA(temporary.c_str()));
    EXPECT_NE(::access(temporary.c_str(), F_OK), 0);
    EXPECT_FALSE(DeleteFileA(temporary.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(DeleteFileA(folder.c_str())) << "folders are not files";
    EXPECT_FALSE(DeleteFileA(nullptr));
}

}  // namespace
