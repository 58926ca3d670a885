#include "view/file_replace.h"

#include <string>
#include <vector>

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

bool MoveTo(HANDLE file, std::uint64_t position) {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(position);
    return SetFilePointerEx(file, to, nullptr, FILE_BEGIN) != FALSE;
}

struct Target {
    enum Kind {
        Denied,    // not to be written (or not to be looked at), or no folder to make it in
        Existing,  // a file this process may write
        Made,      // made empty just now, where nothing was: removed again on failure
    } kind = Denied;
    std::string path;  // with every symbolic link resolved
};

// The path a handle's file has now, links resolved; empty when the platform
// cannot tell. The buffer grows to what the path needs.
std::string FinalPathOf(HANDLE file) {
    std::vector<char> buffer(MAX_PATH + 1);
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD n =
            GetFinalPathNameByHandleA(file, buffer.data(), static_cast<DWORD>(buffer.size()), 0);
        if (n == 0) {
            return {};
        }
        if (n < buffer.size()) {
            return std::string(buffer.data(), n);
        }
        buffer.resize(n);  // the size needed, terminator included
    }
    return {};
}

// Opens the file a path names for writing, without changing it, making it
// empty where nothing is: the platform answers for its permission bits and
// access control list, a read-only mount, an immutable file, a file another
// process holds, and a symbolic link is followed, a dangling one included, so
// that the picture goes where the link points. Made here, the file gets what
// a new file gets in that folder, which the replacement then takes over.
Target OpenTarget(const char* path) {
    Target target;
    File file(CreateFileA(path, GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen()) {
        return target;
    }
    target.kind = GetLastError() == ERROR_ALREADY_EXISTS ? Target::Existing : Target::Made;
    target.path = FinalPathOf(file.get());
    if (target.path.empty()) {
        target.path = path;
    }
    return target;
}

// The folder part of a path, with its separator; empty for a bare name.
std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Creates a new file of an unpredictable name in `folder`, that no one else
// may open while it is written. INVALID_HANDLE_VALUE when the folder cannot
// take one, with `error` the reason.
HANDLE CreateTemporary(const std::string& folder, std::string& name, DWORD& error) {
    error = ERROR_GEN_FAILURE;
    for (int attempt = 0; attempt < 8; ++attempt) {
        unsigned char random[16];
        if (!RtlGenRandom(random, sizeof(random))) {
            break;
        }
        static const char kHex[] = "0123456789abcdef";
        name = folder + ".zembrix-";
        for (const unsigned char byte : random) {
            name += kHex[byte >> 4];
            name += kHex[byte & 15];
        }
        name += ".tmp";
        HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            return file;
        }
        error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            break;
        }
    }
    name.clear();
    return INVALID_HANDLE_VALUE;
}

// Rewrites the target itself, for a folder that takes no new file. It is
// opened without following a link that was put in its place meanwhile. The
// room a longer picture needs is reserved before a byte changes, so that a
// full disk ends the save with the old picture whole; an interruption while
// the bytes are written still leaves part of each.
bool RewriteInPlace(const std::string& target, std::span<const std::uint8_t> bytes) {
    File file(CreateFileA(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.IsOpen()) {
        return false;
    }
    LARGE_INTEGER end;
    const LARGE_INTEGER zero{};
    if (!SetFilePointerEx(file.get(), zero, &end, FILE_END)) {
        return false;
    }
    if (static_cast<std::uint64_t>(end.QuadPart) < bytes.size() &&
        (!MoveTo(file.get(), bytes.size()) || !SetEndOfFile(file.get()))) {
        return false;
    }
    bool ok = MoveTo(file.get(), 0) && WriteAll(file.get(), bytes) && SetEndOfFile(file.get()) &&
              FlushFileBuffers(file.get());
    ok = file.Close() && ok;
    return ok;
}

// The temporary file takes the target's name, its attributes, permissions
// and (where this process may) its owner; a target this process may not
// write is refused.
bool Replace(const std::string& target, const std::string& temporary) {
    constexpr DWORD kFlags = REPLACEFILE_WRITE_THROUGH | REPLACEFILE_IGNORE_MERGE_ERRORS;
    if (ReplaceFileA(target.c_str(), temporary.c_str(), nullptr, kFlags, nullptr, nullptr)) {
        return true;
    }
    // Windows documents write-through as unsupported here; a system that
    // refuses the flag is asked again without it (the data are flushed).
    return GetLastError() == ERROR_INVALID_PARAMETER &&
           ReplaceFileA(target.c_str(), temporary.c_str(), nullptr,
                        kFlags & ~static_cast<DWORD>(REPLACEFILE_WRITE_THROUGH), nullptr,
                        nullptr) != FALSE;
}

}  // namespace

bool ReplaceFileContents(const char* path, std::span<const std::uint8_t> bytes) {
    if (path == nullptr || path[0] == '\0') {
        return false;
    }
    const Target target = OpenTarget(path);
    if (target.kind == Target::Denied) {
        return false;  // before any file is made: nothing to clean up
    }
    std::string temporary;
    DWORD refused = ERROR_SUCCESS;
    File file(CreateTemporary(FolderOf(target.path), temporary, refused));
    if (!file.IsOpen()) {
        // Only a folder that refuses new files to this user gets the target
        // rewritten in place. Short of space, inodes or handles, the save
        // ends: a rewrite then could stop halfway and lose the old picture.
        if (target.kind == Target::Existing && refused == ERROR_ACCESS_DENIED) {
            return RewriteInPlace(target.path, bytes);
        }
        if (target.kind == Target::Made) {
            DeleteFileA(target.path.c_str());
        }
        return false;
    }
    // Every byte reaches the disk before the file takes the target's name.
    bool ok = WriteAll(file.get(), bytes) && FlushFileBuffers(file.get());
    ok = file.Close() && ok;
    if (ok && Replace(target.path, temporary)) {
        return true;
    }
    if (ok && GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT) {
        // Windows has removed the old file and kept the new one under its
        // temporary name; failing the move, that name holds the only copy.
        return MoveFileExA(temporary.c_str(), target.path.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    }
    // A temporary file that is gone has taken the target's name (a replace
    // that failed only to flush the folder): the target then stays.
    if (DeleteFileA(temporary.c_str()) && target.kind == Target::Made) {
        DeleteFileA(target.path.c_str());
    }
    return false;
}
