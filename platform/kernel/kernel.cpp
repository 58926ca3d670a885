// KERNEL services on POSIX: the last error, the tick count, the process heap
// (malloc with a record of live blocks, so a foreign or twice-freed pointer
// is refused instead of corrupting the heap), files (CreateFileA, WriteFile,
// FlushFileBuffers, SetFilePointerEx, SetEndOfFile, CloseHandle, DeleteFileA,
// MoveFileExA, ReplaceFileA, GetFinalPathNameByHandleA), the random source
// RtlGenRandom and GetModuleHandleA.
//
// Flushing is fsync: FlushFileBuffers flushes one file; MOVEFILE_WRITE_THROUGH
// and REPLACEFILE_WRITE_THROUGH flush the file before the rename and its
// folder after it, so that after a power cut the name holds either the old
// file or the whole new one. Share mode 0 (no one else may open the file
// while the handle is open) makes a file that CreateFileA creates private:
// mode 0600, less the umask, and it stays so until ReplaceFileA gives it the
// replaced file's mode. FILE_FLAG_OPEN_REPARSE_POINT opens no symbolic link:
// POSIX cannot open a link itself, so the open of one fails.
//
// Left out: reading files, overlapped I/O, locking by share modes (a file
// open elsewhere is not locked), security attributes, templates,
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
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
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
        case ELOOP:
            return ERROR_CANT_RESOLVE_FILENAME;
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

// The descriptor behind a file handle, or -1 with ERROR_INVALID_HANDLE.
int DescriptorOrError(HANDLE handle) {
    const int fd = DescriptorOf(handle);
    if (fd < 0)
        lastError = ERROR_INVALID_HANDLE;
    return fd;
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

// A descriptor of the layer's own, closed on every path out.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }

private:
    int fd_;
};

// fsync of one descriptor: its data and its metadata (size, mode, owner).
bool Sync(int fd) {
    if (Fails(platform::FaultSite::FileFlush, ERROR_WRITE_FAULT))
        return false;
    if (::fsync(fd) != 0) {
        lastError = ErrorOfErrno(errno, nullptr);
        return false;
    }
    return true;
}

// The folder part of a path ("." for a bare name, "/" for a name in the root).
std::string_view FolderOf(std::string_view path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string_view::npos ? std::string_view(".")
                                           : path.substr(0, slash == 0 ? 1 : slash);
}

// Makes the entries of a path's folder durable, so that a rename in it
// survives a power cut. A file system that cannot flush a folder (EINVAL)
// is taken to keep its entries without one.
bool SyncFolderOf(const char* path) {
    if (Fails(platform::FaultSite::FolderFlush, ERROR_WRITE_FAULT))
        return false;
    std::string name;
    try {
        name = FolderOf(path);
    } catch (...) {  // nothing is thrown across the API
        lastError = ERROR_NOT_ENOUGH_MEMORY;
        return false;
    }
    const Descriptor folder(::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0 || (::fsync(folder.get()) != 0 && errno != EINVAL)) {
        lastError = ErrorOfErrno(errno, nullptr);
        return false;
    }
    return true;
}

// Opens the replacement of a ReplaceFileA for setting its mode and owner: a
// regular file of this process's user that has no other name, reached
// without following a link. Anything else at that name (a symbolic link, a
// second name of some other file, another user's file) could have been put
// there by whoever may write the folder, and giving it the replaced file's
// owner or mode would change a file outside the folder; it is refused with
// ERROR_ACCESS_DENIED.
int OpenOwnReplacement(const char* path) {
    const int fd = ::open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        lastError = errno == ELOOP ? ERROR_ACCESS_DENIED : ErrorOfErrno(errno, path);
        return -1;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1 ||
        info.st_uid != ::geteuid()) {
        ::close(fd);
        lastError = ERROR_ACCESS_DENIED;
        return -1;
    }
    return fd;
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
    const bool linkItself = (dwFlagsAndAttributes & FILE_FLAG_OPEN_REPARSE_POINT) != 0;
    if (linkItself)
        flags |= O_NOFOLLOW;
    if (Fails(platform::FaultSite::FileCreate, ERROR_ACCESS_DENIED) ||
        Fails(platform::FaultSite::FileCreateFull, ERROR_DISK_FULL) ||
        Fails(platform::FaultSite::FileCreateTooMany, ERROR_TOO_MANY_OPEN_FILES))
        return INVALID_HANDLE_VALUE;
    struct stat before;
    const bool existed =
        (linkItself ? ::lstat(lpFileName, &before) : ::stat(lpFileName, &before)) == 0;
    if (existed && S_ISDIR(before.st_mode)) {
        lastError = ERROR_ACCESS_DENIED;  // a folder is not opened as a file
        return INVALID_HANDLE_VALUE;
    }
    mode_t mode = (dwFlagsAndAttributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0444 : 0666;
    if (dwShareMode == 0)
        mode &= 0700;  // no one else may open it: private, as near as POSIX gets
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
    const int fd = DescriptorOrError(hFile);
    if (fd < 0)
        return FALSE;
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

BOOL WINAPI FlushFileBuffers(HANDLE hFile) {
    const int fd = DescriptorOrError(hFile);
    if (fd < 0)
        return FALSE;
    return Sync(fd) ? TRUE : FALSE;
}

BOOL WINAPI SetFilePointerEx(HANDLE hFile, LARGE_INTEGER liDistanceToMove,
                             PLARGE_INTEGER lpNewFilePointer, DWORD dwMoveMethod) {
    const int fd = DescriptorOrError(hFile);
    if (fd < 0)
        return FALSE;
    const int whence = dwMoveMethod == FILE_BEGIN     ? SEEK_SET
                       : dwMoveMethod == FILE_CURRENT ? SEEK_CUR
                       : dwMoveMethod == FILE_END     ? SEEK_END
                                                      : -1;
    if (whence < 0) {
        lastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    const off_t position = ::lseek(fd, static_cast<off_t>(liDistanceToMove.QuadPart), whence);
    if (position < 0) {
        lastError = ErrorOfErrno(errno, nullptr);
        return FALSE;
    }
    if (lpNewFilePointer != nullptr)
        lpNewFilePointer->QuadPart = static_cast<LONGLONG>(position);
    return TRUE;
}

// The file ends at the file pointer. A file that grows gets its new blocks
// reserved, as NTFS allocates them, so that later writes up to that size
// cannot fail for lack of space; when the space is not there it fails with
// ERROR_DISK_FULL and keeps its size.
BOOL WINAPI SetEndOfFile(HANDLE hFile) {
    const int fd = DescriptorOrError(hFile);
    if (fd < 0)
        return FALSE;
    const off_t end = ::lseek(fd, 0, SEEK_CUR);
    struct stat info;
    if (end < 0 || ::fstat(fd, &info) != 0) {
        lastError = ErrorOfErrno(errno, nullptr);
        return FALSE;
    }
    if (end > info.st_size) {
        const int error = ::posix_fallocate(fd, info.st_size, end - info.st_size);
        if (error != 0) {
            // A reservation cut short may have grown the file part of the way.
            const int undone = ::ftruncate(fd, info.st_size);
            (void)undone;
            lastError = ErrorOfErrno(error, nullptr);
            return FALSE;
        }
    } else if (end < info.st_size && ::ftruncate(fd, end) != 0) {
        lastError = ErrorOfErrno(errno, nullptr);
        return FALSE;
    }
    return TRUE;
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
    const bool writeThrough = (dwFlags & MOVEFILE_WRITE_THROUGH) != 0;
    if (writeThrough && S_ISREG(source.st_mode)) {
        // The data reach the disk before the new name does.
        const Descriptor file(
            ::open(lpExistingFileName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (file.get() < 0) {
            lastError = ErrorOfErrno(errno, lpExistingFileName);
            return FALSE;
        }
        if (!Sync(file.get()))
            return FALSE;
    }
    if (Fails(platform::FaultSite::FileMove, ERROR_ACCESS_DENIED))
        return FALSE;
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
    // The move is made; a failed flush says that it may not survive a power cut.
    if (writeThrough &&
        (!SyncFolderOf(lpNewFileName) || (FolderOf(lpExistingFileName) != FolderOf(lpNewFileName) &&
                                          !SyncFolderOf(lpExistingFileName))))
        return FALSE;
    return TRUE;
}

// Replaces a file by another as Windows does: the replacement takes the
// replaced file's name, its permission bits (what Windows keeps of the
// attributes and ACL) and, where this process may give them, its owner and
// group, all set through a descriptor of the replacement before the rename.
// A replaced file this process may not write is refused with
// ERROR_ACCESS_DENIED, and so is a replacement that is not a regular file of
// this process's user with no other name (see OpenOwnReplacement); both
// files then stay. The replaced file must exist; no backup is made.
// REPLACEFILE_WRITE_THROUGH flushes the replacement before the rename and
// the folder after it.
BOOL WINAPI ReplaceFileA(LPCSTR lpReplacedFileName, LPCSTR lpReplacementFileName,
                         LPCSTR lpBackupFileName, DWORD dwReplaceFlags, LPVOID lpExclude,
                         LPVOID lpReserved) {
    constexpr DWORD kKnown =
        REPLACEFILE_WRITE_THROUGH | REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS;
    if (lpReplacedFileName == nullptr || lpReplacementFileName == nullptr ||
        lpBackupFileName != nullptr || lpExclude != nullptr || lpReserved != nullptr ||
        (dwReplaceFlags & ~kKnown) != 0) {
        lastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    struct stat replaced;
    if (::stat(lpReplacedFileName, &replaced) != 0 || !S_ISREG(replaced.st_mode)) {
        lastError = ERROR_FILE_NOT_FOUND;
        return FALSE;
    }
    if (!MayWrite(lpReplacedFileName)) {
        lastError = ERROR_ACCESS_DENIED;
        return FALSE;
    }
    const Descriptor replacement(OpenOwnReplacement(lpReplacementFileName));
    if (replacement.get() < 0)
        return FALSE;
    // Owner before mode: a change of owner clears the set-id bits. Only a
    // privileged process may give a file away; another may still give it the
    // group, when it is one of its own.
    const bool owned = ::fchown(replacement.get(), replaced.st_uid, replaced.st_gid) == 0 ||
                       ::fchown(replacement.get(), static_cast<uid_t>(-1), replaced.st_gid) == 0;
    (void)owned;  // otherwise the file stays this process's own
    if (::fchmod(replacement.get(), replaced.st_mode & 07777) != 0) {
        lastError = ErrorOfErrno(errno, lpReplacementFileName);
        return FALSE;
    }
    const bool writeThrough = (dwReplaceFlags & REPLACEFILE_WRITE_THROUGH) != 0;
    if (writeThrough && !Sync(replacement.get()))
        return FALSE;
    if (Fails(platform::FaultSite::FileMove, ERROR_ACCESS_DENIED))
        return FALSE;
    if (std::rename(lpReplacementFileName, lpReplacedFileName) != 0) {
        lastError = ErrorOfErrno(errno, lpReplacedFileName);
        return FALSE;
    }
    // The file is replaced; a failed flush says that it may not survive a power cut.
    return writeThrough && !SyncFolderOf(lpReplacedFileName) ? FALSE : TRUE;
}

// The file's path with every symbolic link resolved, of any length. Returns
// the length without the terminator, or the size needed (terminator
// included) when the buffer is too small, or 0 on failure (a file that has
// lost its last name has no path: ERROR_FILE_NOT_FOUND).
DWORD WINAPI GetFinalPathNameByHandleA(HANDLE hFile, LPSTR lpszFilePath, DWORD cchFilePath,
                                       DWORD dwFlags) {
    (void)dwFlags;
    const int fd = DescriptorOrError(hFile);
    if (fd < 0)
        return 0;
    struct stat info;
    if (::fstat(fd, &info) == 0 && info.st_nlink == 0) {
        lastError = ERROR_FILE_NOT_FOUND;
        return 0;
    }
    char link[64];
    std::snprintf(link, sizeof(link), "/proc/self/fd/%d", fd);
    std::string resolved;
    ssize_t n = -1;
    try {
        // readlink cuts a path that does not fit without saying so: a path
        // that fills the buffer is read again into one twice as large.
        resolved.resize(256);
        while ((n = ::readlink(link, resolved.data(), resolved.size())) >= 0 &&
               static_cast<std::size_t>(n) == resolved.size()) {
            if (resolved.size() >= std::size_t{1} << 20) {
                n = -1;
                break;
            }
            resolved.resize(resolved.size() * 2);
        }
    } catch (...) {  // nothing is thrown across the API
        lastError = ERROR_NOT_ENOUGH_MEMORY;
        return 0;
    }
    if (n <= 0) {
        lastError = ERROR_NOT_SUPPORTED;
        return 0;
    }
    const auto length = static_cast<DWORD>(n);
    if (lpszFilePath == nullptr || cchFilePath <= length) {
        lastError = ERROR_NOT_ENOUGH_MEMORY;
        return length + 1;
    }
    std::memcpy(lpszFilePath, resolved.data(), length);
    lpszFilePath[length] = '\0';
    return length;
}

DWORD WINAPI GetCurrentProcessId(void) {
    return static_cast<DWORD>(::getpid());
}

BOOLEAN WINAPI SystemFunction036(PVOID RandomBuffer, ULONG RandomBufferLength) {
    auto* bytes = static_cast<unsigned char*>(RandomBuffer);
    if (bytes == nullptr && RandomBufferLength != 0)
        return FALSE;
    while (RandomBufferLength > 0) {
        const ssize_t n = ::getrandom(bytes, RandomBufferLength, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return FALSE;
        }
        bytes += n;
        RandomBufferLength -= static_cast<ULONG>(n);
    }
    return TRUE;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
    if (lpModuleName == nullptr)
        return kInstance;
    lastError = ERROR_MOD_NOT_FOUND;  // no other modules are loaded
    return nullptr;
}
