// Where the .rc reader gets the text of the files it reads (the .rc file, the
// headers it includes, the bitmaps it embeds): from disk for the tool, from
// memory for tests and fuzzing. Paths are joined textually; nothing is
// canonicalised.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace platform::rc::reader {

// Files larger than this are refused: no resource file or bitmap of this
// program comes near it, and it bounds what a bad path can make us embed.
inline constexpr std::size_t kMaxSourceFileBytes = 16u * 1024u * 1024u;

class SourceLoader {
public:
    virtual ~SourceLoader() = default;
    // The whole file, or nothing when it cannot be read (missing, a directory,
    // larger than kMaxSourceFileBytes).
    virtual std::optional<std::string> Read(const std::string& path) = 0;
};

class DiskSourceLoader : public SourceLoader {
public:
    std::optional<std::string> Read(const std::string& path) override;
    // Every file read successfully, in order, for the build's depfile.
    const std::vector<std::string>& filesRead() const { return filesRead_; }

private:
    std::vector<std::string> filesRead_;
};

class MemorySourceLoader : public SourceLoader {
public:
    void Add(const std::string& path, std::string contents) { files_[path] = std::move(contents); }
    std::optional<std::string> Read(const std::string& path) override;

private:
    std::map<std::string, std::string> files_;
};

// "dir/sub/file.rc" -> "dir/sub/"; "file.rc" -> "".
std::string DirectoryOf(const std::string& path);
// Joins a directory (as DirectoryOf gives it, or a -I directory) and a relative
// path; an absolute path is returned unchanged.
std::string JoinPath(const std::string& directory, const std::string& relative);

}  // namespace platform::rc::reader
