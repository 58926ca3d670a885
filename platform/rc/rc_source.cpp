// File access for the .rc reader: plain reads with a size bound, no caching.
#include "platform/rc/rc_source.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace platform::rc::reader {

std::optional<std::string> DiskSourceLoader::Read(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec) || ec) {
        return std::nullopt;
    }
    const auto size = std::filesystem::file_size(path, ec);
    if (ec || size > kMaxSourceFileBytes) {
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string contents((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad() || contents.size() > kMaxSourceFileBytes) {
        return std::nullopt;
    }
    filesRead_.push_back(path);
    return contents;
}

std::optional<std::string> MemorySourceLoader::Read(const std::string& path) {
    const auto it = files_.find(path);
    if (it == files_.end() || it->second.size() > kMaxSourceFileBytes) {
        return std::nullopt;
    }
    return it->second;
}

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string JoinPath(const std::string& directory, const std::string& relative) {
    if (relative.empty() || relative.front() == '/' || relative.front() == '\\' ||
        directory.empty()) {
        return relative;
    }
    const char last = directory.back();
    if (last == '/' || last == '\\') {
        return directory + relative;
    }
    return directory + "/" + relative;
}

}  // namespace platform::rc::reader
