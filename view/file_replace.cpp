#include "view/file_replace.h"

#include <cstdio>
#include <string>

#include "platform/win32.h"

namespace {

// Closes a file handle on every path out.
class File {
public:
    explicit File(HANDLE handle) : handle_(handle) {}
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File() { Close(); }

    bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }
    bool Close() {
        if (handle_ == INVALID_HANDLE_VALUE) {
            return true;
        }
        const bool closed = CloseHandle(handle_) != FALSE;
        handle_ = INVALID_HANDLE_VALUE;
        return closed;
    }

private:
    HANDLE handle_;
};

bool WriteAll(HANDLE file, std::span<const std::uint8_t> bytes) {
    // WriteFile takes 32-bit counts: write in chunks well below that.
    constexpr std::size_t kChunk = std::size_t{1} << 30;
    while (!bytes.empty()) {
        const std::size_t n = bytes.size() < kChunk ? bytes.size() : kChunk;
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), static_cast<DWORD>(n), &written, nullptr) ||
            written == 0 || written > n) {
            return false;
        }
        bytes = bytes.subspan(written);
    }
    return true;
}

enum class Target {
    Missing,   // no file of that name
    Writable,  // an existing file this process may write, its path resolved
    Denied,    // there, but not to be written (or not to be looked at)
};

// Asks whether the file a path names may be written, by opening it for
// writing without changing it: the platform answers for its permission bits
// and access control list, a read-only mount, an immutable file, a file
// another process holds. A symbolic link is followed, and the file's own path
// is returned; the path itself when it names no file.
std::string ResolveTarget(const char* path, Target& kind) {
    File existing(CreateFileA(path, GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!existing.IsOpen()) {
        const DWORD error = GetLastError();
        kind = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Target::Missing
                                                                               : Target::Denied;
        return path;
    }
    kind = Target::Writable;
    char resolved[4 * MAX_PATH];
    const DWORD n = GetFinalPathNameByHandleA(existing.get(), resolved, sizeof(resolved), 0);
    if (n == 0 || n >= sizeof(resolved)) {
        return path;
    }
    return resolved;
}

// The folder part of a path, with its separator; empty for a bare name.
std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Creates a new file of a unique name in `folder`; INVALID_HANDLE_VALUE when
// the folder cannot take one.
HANDLE CreateTemporary(const std::string& folder, std::string& name) {
    static unsigned serial = 0;
    for (int attempt = 0; attempt < 64; ++attempt) {
        char leaf[64];
        std::snprintf(leaf, sizeof(leaf), ".zembrix-%lx-%lx-%x.tmp",
                      static_cast<unsigned long>(GetCurrentProcessId()),
                      static_cast<unsigned long>(GetTickCount()), ++serial);
        name = folder + leaf;
        HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            return file;
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) {
            break;
        }
    }
    name.clear();
    return INVALID_HANDLE_VALUE;
}

bool RewriteInPlace(const std::string& target, std::span<const std::uint8_t> bytes) {
    File file(CreateFileA(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen()) {
        return false;
    }
    const bool written = WriteAll(file.get(), bytes);
    return file.Close() && written;
}

}  // namespace

bool ReplaceFileContents(const char* path, std::span<const std::uint8_t> bytes) {
    if (path == nullptr || path[0] == '\0') {
        return false;
    }
    Target kind = Target::Missing;
    const std::string target = ResolveTarget(path, kind);
    if (kind == Target::Denied) {
        return false;  // before any file is made: nothing to clean up
    }
    const bool exists = kind == Target::Writable;
    std::string temporary;
    File file(CreateTemporary(FolderOf(target), temporary));
    if (!file.IsOpen()) {
        return exists && RewriteInPlace(target, bytes);
    }
    bool ok = WriteAll(file.get(), bytes);
    ok = file.Close() && ok;
    if (ok && exists) {
        // ReplaceFileA keeps the replaced file's attributes, permissions and
        // (where it may) its owner, and refuses a file it may not write.
        ok = ReplaceFileA(target.c_str(), temporary.c_str(), nullptr,
                          REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != FALSE;
    } else if (ok) {
        // A file that appeared meanwhile is replaced only if it may be
        // written (MoveFileExA refuses a read-only one).
        ok = MoveFileExA(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
    }
    if (!ok) {
        DeleteFileA(temporary.c_str());
    }
    return ok;
}
