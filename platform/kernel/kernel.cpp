// KERNEL services on POSIX: the last error, the tick count, the process heap
// (malloc with a record of live blocks, so a foreign or twice-freed pointer
// is refused instead of corrupting the heap), files (CreateFileA, WriteFile,
// CloseHandle, DeleteFileA, MoveFileExA) and GetModuleHandleA.
//
// Left out: reading files, overlapped I/O, share modes (POSIX has none; a
// file open elsewhere is not locked), security attributes, templates,
// MOVEFILE_COPY_ALLOWED across file systems and MOVEFILE_DELAY_UNTIL_REBOOT,
// heaps other than the process heap, and HEAP_GENERATE_EXCEPTIONS (failures
// return null: nothing throws across the API). Unlike Windows, DeleteFileA
// removes a file that has the read-only attribute; ReplaceFileA and
// MoveFileExA refuse to replace a file this process may not write, as Windows
// refuses a read-only one.
//
// Beside it in platform/kernel: faults.cpp, the failure injection seam that
// the tests install and the kernel services, GDI and the window layer ask.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "platform/internal/faults.h"
#include "platform/internal/no_destructor.h"
#include "platform/win32.h"

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

// Values that name no file and no GDI object (GDI handles end in hex 0,
// files in 4). The instance is where a Win32 program's image is loaded.
const HANDLE kProcessHeap = reinterpret_cast<HANDLE>(std::uintptr_t{0x10008});
const HMODULE kInstance = reinterpret_cast<HMODULE>(std::uintptr_t{0x400000});

// Requests above this are refused before malloc sees them (1 TiB: more than
// any machine here has, and below what the sanitizers' allocator accepts).
constexpr SIZE_T kMaxHeapBlock = SIZE_T{1} << 40;

struct Heap {
    std::mutex lock;
    std::unordered_set<void*> blocks;
};

Heap& ProcessHeap() {
    static platform::NoDestructor<Heap> heap;
    return heap.get();
}

struct Files {
    std::mutex lock;
    std::unordered_map<std::uintptr_t, int> descriptors;
    std::uintptr_t next = 0x10004;
};

Files& OpenFiles() {
    static platform::NoDestructor<Files> files;
    return files.get();
}

bool ParentExists(const char* path) {
    std::string parent(path);
    const std::size_t slash = parent.find_last_of('/');
    if (slash == std::string::npos)
        return true;  // the current directory
    parent.resize(slash == 0 ? 1 : slash);
    struct stat info;
    return ::stat(parent.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The Win32 error for a POSIX error of an operation on `path`.
DWORD ErrorOfErrno(int error, const char* path) {
    switch (error) {
        case ENOENT:
            return path != nullptr && !ParentExists(path) ? ERROR_PATH_NOT_FOUND
                                                          : ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
            return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case ETXTBSY:
        case EBUSY:
            return ERROR_ACCESS_DENIED;
        case EEXIST:
            return ERROR_FILE_EXISTS;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return ERROR_DISK_FULL;
        case ENAMETOOLONG:
            return ERROR_FILENAME_EXCED_RANGE;
        case EMFILE:
        case ENFILE:
            return ERROR_TOO_MANY_OPEN_FILES;
        case EBADF:
            return ERROR_INVALID_HANDLE;
        case EINVAL:
            return ERROR_INVALID_PARAMETER;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case EXDEV:
            return ERROR_NOT_SAME_DEVICE;
        case EIO:
            return ERROR_WRITE_FAULT;
        default:
            return ERROR_GEN_FAILURE;
    }
}

bool Fails(platform::FaultSite site, DWORD error) {
    if (!platform::ShouldInjectFault(site))
        return false;
    lastError = error;
    return true;
}

int DescriptorOf(HANDLE handle) {
    Files& files = OpenFiles();
    std::lock_guard<std::mutex> guard(files.lock);
    const auto it = files.descriptors.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == files.descriptors.end() ? -1 : it->second;
}

// Whether this process may write an existing file, as the kernel would
// decide an open for writing: permission bits and ACL for the effective
// user, a read-only mount, an immutable file. Windows refuses to replace a
// read-only file; so does this layer.
bool MayWrite(const char* path) {
    if (::faccessat(AT_FDCWD, path, W_OK, AT_EACCESS) == 0)
        return true;
    return errno != EACCES && errno != EPERM && errno != EROFS && errno != ETXTBSY;
}

void SyncDirectoryOf(const char* path) {
    std::string directory(path);
    const std::size_t slash = directory.find_last_of('/');
    directory =
        slash == std::string::npos ? std::string(".") : directory.substr(0, slash == 0 ? 1 : slash);
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

DWORD WINAPI GetLastError(void) {
    return lastError;
}

void WINAPI SetLastError(DWORD dwErrCode) {
    lastError = dwErrCode;
}

ULONGLONG WINAPI GetTickCount64(void) {
    // Milliseconds of the monotonic clock, which on Linux counts from boot as
    // the Windows tick count does.
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<ULONGLONG>(
        std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

DWORD WINAPI GetTickCount(void) {
    return static_cast<DWORD>(GetTickCount64());  // wraps modulo 2^32, about every 49.7 days
}

HANDLE WINAPI GetProcessHeap(void) {
    return kProcessHeap;
}

LPVOID WINAPI HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes) {
    if (hHeap != kProcessHeap) {
        lastError = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    if (dwBytes > kMaxHeapBlock || Fails(platform::FaultSite::HeapAlloc, ERROR_NOT_ENOUGH_MEMORY)) {
        lastError = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    // A zero-byte request still gets a block of its own, as on Windows.
    const std::size_t bytes = dwBytes == 0 ? 1 : dwBytes;
    void* block = (dwFlags & HEAP_ZERO_MEMORY) != 0 ? std::calloc(1, bytes) : std::malloc(bytes);
    if (block == nullptr) {
        lastError = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    try {
        Heap& heap = ProcessHeap();
        std::lock_guard<std::mutex> guard(heap.lock);
        heap.blocks.insert(block);
    } catch (...) {
        std::free(block);
        lastError = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    return block;
}

BOOL WINAPI HeapFree(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem) {
    (void)dwFlags;
    if (hHeap != kProcessHeap) {
        lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    if (lpMem == nullptr)
        return TRUE;
    {
        Heap& heap = ProcessHeap();
        std::lock_guard<std::mutex> guard(heap.lock);
        if (heap.blocks.erase(lpMem) == 0) {
            lastError = ERROR_INVALID_PARAMETER;
            return FALSE;
        }
    }
    std::free(lpMem);
    return TRUE;
}

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
    (void)dwShareMode;
    (void)lpSecurityAttributes;
    (void)hTemplateFile;
    if (lpFileName == nullptr) {
        lastError = ERROR_INVALID_PARAMETER;
        return INVALID_HANDLE_VALUE;
    }
    if (*lpFileName == '\0') {
        lastError = ERROR_PATH_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
    }
    const bool read = (dwDesiredAccess & GENERIC_READ) != 0;
    const bool write = (dwDesiredAccess & GENERIC_WRITE) != 0;
    int flags = O_CLOEXEC | O_NOCTTY | (read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY);
    switch (dwCreationDisposition) {
        case CREATE_NEW:
            flags |= O_CREAT | O_EXCL;
            break;
        case CREATE_ALWAYS:
            flags |= O_CREAT | O_TRUNC;
            break;
        case OPEN_EXISTING:
            break;
        case OPEN_ALWAYS:
            flags |= O_CREAT;
            break;
        case TRUNCATE_EXISTING:
            if (!write) {
                lastError = ERROR_INVALID_PARAMETER;
                return INVALID_HANDLE_VALUE;
            }
            flags |= O_TRUNC;
            break;
        default:
            lastError = ERROR_INVALID_PARAMETER;
            return INVALID_HANDLE_VALUE;
    }
    if (Fails(platform::FaultSite::FileCreate, ERROR_ACCESS_DENIED))
        return INVALID_HANDLE_VALUE;
    struct stat before;
    const bool existed = ::stat(lpFileName, &before) == 0;
    if (existed && S_ISDIR(before.st_mode)) {
        lastError = ERROR_ACCESS_DENIED;  // a folder is not opened as a file
        return INVALID_HANDLE_VALUE;
    }
    const mode_t mode = (dwFlagsAndAttributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0444 : 0666;
    // Opened without blocking: a FIFO would otherwise wait for its other end
    // for ever (one without a reader fails for writing). Regular files are
    // not affected; the flag is cleared again for the writes.
    int fd;
    do {
        fd = ::open(lpFileName, flags | O_NONBLOCK, mode);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        lastError = ErrorOfErrno(errno, lpFileName);
        return INVALID_HANDLE_VALUE;
    }
    const int status = ::fcntl(fd, F_GETFL);
    struct stat after;
    if (status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0 || ::fstat(fd, &after) != 0 ||
        S_ISDIR(after.st_mode)) {
        ::close(fd);
        lastError = ERROR_ACCESS_DENIED;
        return INVALID_HANDLE_VALUE;
    }
    try {
        Files& files = OpenFiles();
        std::lock_guard<std::mutex> guard(files.lock);
        const std::uintptr_t id = files.next;
        files.descriptors.emplace(id, fd);
        files.next += 0x10;
        const bool reportsExisting =
            dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS;
        lastError = reportsExisting && existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS;
        return reinterpret_cast<HANDLE>(id);
    } catch (...) {
        ::close(fd);
        lastError = ERROR_NOT_ENOUGH_MEMORY;
        return INVALID_HANDLE_VALUE;
    }
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
    if (lpNumberOfBytesWritten != nullptr)
        *lpNumberOfBytesWritten = 0;
    const int fd = DescriptorOf(hFile);
    if (fd < 0) {
        lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    if (lpOverlapped != nullptr || (lpBuffer == nullptr && nNumberOfBytesToWrite != 0)) {
        lastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    const char* bytes = static_cast<const char*>(lpBuffer);
    DWORD done = 0;
    BOOL ok = TRUE;
    // POSIX may write less than asked (signals, pipes, size limits per call):
    // go on until everything is written or an error comes.
    while (done < nNumberOfBytesToWrite) {
        if (Fails(platform::FaultSite::FileWrite, ERROR_DISK_FULL)) {
            ok = FALSE;
            break;
        }
        std::size_t chunk = nNumberOfBytesToWrite - done;
        if (platform::ShouldInjectFault(platform::FaultSite::FileShortWrite))
            chunk = 1;
        const ssize_t written = ::write(fd, bytes + done, chunk);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            lastError = ErrorOfErrno(errno, nullptr);
            ok = FALSE;
            break;
        }
        if (written == 0) {
            lastError = ERROR_WRITE_FAULT;  // no progress: stop rather than spin
            ok = FALSE;
            break;
        }
        done += static_cast<DWORD>(written);
    }
    if (lpNumberOfBytesWritten != nullptr)
        *lpNumberOfBytesWritten = done;
    return ok;
}

BOOL WINAPI CloseHandle(HANDLE hObject) {
    // INVALID_HANDLE_VALUE is also the pseudo handle of the current process,
    // which Windows "closes" without complaint.
    if (hObject == INVALID_HANDLE_VALUE)
        return TRUE;
    int fd = -1;
    {
        Files& files = OpenFiles();
        std::lock_guard<std::mutex> guard(files.lock);
        const auto it = files.descriptors.find(reinterpret_cast<std::uintptr_t>(hObject));
        if (it != files.descriptors.end()) {
            fd = it->second;
            files.descriptors.erase(it);
        }
    }
    if (fd < 0) {
        lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    const bool injected = platform::ShouldInjectFault(platform::FaultSite::FileClose);
    // The descriptor is released whatever close reports (retrying after EINTR
    // could close a descriptor opened meanwhile); a late write error counts.
    if (::close(fd) != 0 && errno != EINTR) {
        lastError = ErrorOfErrno(errno, nullptr);
        return FALSE;
    }
    if (injected) {
        lastError = ERROR_WRITE_FAULT;
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
    if (lpFileName == nullptr || *lpFileName == '\0') {
        lastError = lpFileName == nullptr ? ERROR_INVALID_PARAMETER : ERROR_PATH_NOT_FOUND;
        return FALSE;
    }
    if (Fails(platform::FaultSite::FileDelete, ERROR_ACCESS_DENIED))
        return FALSE;
    struct stat info;
    if (::lstat(lpFileName, &info) == 0 && S_ISDIR(info.st_mode)) {
        lastError = ERROR_ACCESS_DENIED;
        return FALSE;
    }
    if (::unlink(lpFileName) != 0) {
        lastError = ErrorOfErrno(errno, lpFileName);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags) {
    constexpr DWORD kSupported =
        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH | MOVEFILE_COPY_ALLOWED;
    if (lpExistingFileName == nullptr || lpNewFileName == nullptr || (dwFlags & ~kSupported) != 0) {
        lastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    if (*lpExistingFileName == '\0' || *lpNewFileName == '\0') {
        lastError = ERROR_PATH_NOT_FOUND;
        return FALSE;
    }
    if (Fails(platform::FaultSite::FileMove, ERROR_ACCESS_DENIED))
        return FALSE;
    struct stat source;
    if (::lstat(lpExistingFileName, &source) != 0) {
        lastError = ErrorOfErrno(errno, lpExistingFileName);
        return FALSE;
    }
    struct stat target;
    const bool targetExists = ::lstat(lpNewFileName, &target) == 0;
    if (targetExists && S_ISDIR(target.st_mode) &&
        !(source.st_dev == target.st_dev && source.st_ino == target.st_ino)) {
        lastError =
            (dwFlags & MOVEFILE_REPLACE_EXISTING) != 0 ? ERROR_ACCESS_DENIED : ERROR_ALREADY_EXISTS;
        return FALSE;
    }
    if (targetExists && S_ISREG(target.st_mode) && (dwFlags & MOVEFILE_REPLACE_EXISTING) != 0 &&
        !(source.st_dev == target.st_dev && source.st_ino == target.st_ino) &&
        !MayWrite(lpNewFileName)) {
        lastError = ERROR_ACCESS_DENIED;
        return FALSE;
    }
    if ((dwFlags & MOVEFILE_WRITE_THROUGH) != 0 && S_ISREG(source.st_mode)) {
        // The data reach the disk before the new name does.
        const int fd = ::open(lpExistingFileName, O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
    }
    int result;
    if ((dwFlags & MOVEFILE_REPLACE_EXISTING) != 0) {
        result = std::rename(lpExistingFileName, lpNewFileName);
    } else {
        result =
            ::renameat2(AT_FDCWD, lpExistingFileName, AT_FDCWD, lpNewFileName, RENAME_NOREPLACE);
        if (result != 0 && (errno == EINVAL || errno == ENOSYS) && S_ISREG(source.st_mode)) {
            // A file system without RENAME_NOREPLACE: a hard link fails on
            // an existing name just as atomically.
            result = ::link(lpExistingFileName, lpNewFileName);
            if (result == 0)
                ::unlink(lpExistingFileName);
        }
    }
    if (result != 0) {
        lastError = errno == EEXIST ? ERROR_ALREADY_EXISTS : ErrorOfErrno(errno, lpNewFileName);
        return FALSE;
    }
    if ((dwFlags & MOVEFILE_WRITE_THROUGH) != 0)
        SyncDirectoryOf(lpNewFileName);
    return TRUE;
}

// Replaces a file by another as Windows does: the replacement takes the
// replaced file's name, its permission bits (what Windows keeps of the
// attributes and ACL) and, where this process may give them, its owner and
// group. A replaced file this process may not write is refused with
// ERROR_ACCESS_DENIED and both files stay. The replaced file must exist; no
// backup is made.
BOOL WINAPI ReplaceFileA(LPCSTR lpReplacedFileName, LPCSTR lpReplacementFileName,
                         LPCSTR lpBackupFileName, DWORD dwReplaceFlags, LPVOID lpExclude,
                         LPVOID lpReserved) {
    (void)dwReplaceFlags;
    if (lpReplacedFileName == nullptr || lpReplacementFileName == nullptr ||
        lpBackupFileName != nullptr || lpExclude != nullptr || lpReserved != nullptr) {
        lastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    if (Fails(platform::FaultSite::FileMove, ERROR_ACCESS_DENIED))
        return FALSE;
    struct stat replaced;
    if (::stat(lpReplacedFileName, &replaced) != 0 || !S_ISREG(replaced.st_mode)) {
        lastError = ERROR_FILE_NOT_FOUND;
        return FALSE;
    }
    if (!MayWrite(lpReplacedFileName)) {
        lastError = ERROR_ACCESS_DENIED;
        return FALSE;
    }
    // Owner before mode: a change of owner clears the set-id bits. Only a
    // privileged process may give a file away; another may still give it the
    // group, when it is one of its own.
    const bool owned = ::chown(lpReplacementFileName, replaced.st_uid, replaced.st_gid) == 0 ||
                       ::chown(lpReplacementFileName, static_cast<uid_t>(-1), replaced.st_gid) == 0;
    (void)owned;  // otherwise the file stays this process's own
    if (::chmod(lpReplacementFileName, replaced.st_mode & 07777) != 0) {
        lastError = ErrorOfErrno(errno, lpReplacementFileName);
        return FALSE;
    }
    if (std::rename(lpReplacementFileName, lpReplacedFileName) != 0) {
        lastError = ErrorOfErrno(errno, lpReplacedFileName);
        return FALSE;
    }
    return TRUE;
}

// The file's path with every symbolic link resolved. Returns the length
// without the terminator, or the size needed (terminator included) when the
// buffer is too small, or 0 on failure.
DWORD WINAPI GetFinalPathNameByHandleA(HANDLE hFile, LPSTR lpszFilePath, DWORD cchFilePath,
                                       DWORD dwFlags) {
    (void)dwFlags;
    const int fd = DescriptorOf(hFile);
    if (fd < 0) {
        lastError = ERROR_INVALID_HANDLE;
        return 0;
    }
    char link[64];
    std::snprintf(link, sizeof(link), "/proc/self/fd/%d", fd);
    char resolved[4096];
    const ssize_t n = ::readlink(link, resolved, sizeof(resolved) - 1);
    if (n <= 0) {
        lastError = ERROR_NOT_SUPPORTED;
        return 0;
    }
    const auto length = static_cast<DWORD>(n);
    if (lpszFilePath == nullptr || cchFilePath <= length) {
        lastError = ERROR_NOT_ENOUGH_MEMORY;
        return length + 1;
    }
    std::memcpy(lpszFilePath, resolved, length);
    lpszFilePath[length] = '\0';
    return length;
}

DWORD WINAPI GetCurrentProcessId(void) {
    return static_cast<DWORD>(::getpid());
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
    if (lpModuleName == nullptr)
        return kInstance;
    lastError = ERROR_MOD_NOT_FOUND;  // no other modules are loaded
    return nullptr;
}
