// Helpers of the .rc reader tests: a scratch directory removed afterwards,
// running a command to its end, reading files, and the reader's model built
// from the generated tables so both compare the same way.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "platform/rc/rc_model.h"
#include "platform/rc/resource_tables.h"

namespace rc_test {

class TempDir {
public:
    TempDir() {
        static std::atomic<int> counter{0};
        path_ = std::filesystem::temp_directory_path() /
                ("zembrix-rc-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline std::string ShellQuote(const std::string& s) {
    std::string out = "'";
    for (const char c : s) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

// Runs a shell command and waits for it; its exit status, or -1 when it did
// not exit normally.
inline int RunCommand(const std::string& command) {
    const int status = std::system(command.c_str());
    if (status == -1 || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

inline std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
    const std::string text = ReadText(path);
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

inline std::filesystem::path SourceDir() {
    return ZEMBRIX_SOURCE_DIR;
}
inline std::filesystem::path FixturesDir() {
    return ZEMBRIX_RC_TEST_DIR;
}

// The generated tables in the reader's terms (the tables carry no DIALOGEX
// flag and no font weight, italic flag or character set).
inline platform::rc::reader::DialogModel ModelFromTable(const platform::rc::DialogTemplate& t) {
    platform::rc::reader::DialogModel d;
    d.id = t.id;
    d.style = t.style;
    d.exStyle = t.exStyle;
    d.x = t.x;
    d.y = t.y;
    d.cx = t.cx;
    d.cy = t.cy;
    d.caption = t.caption;
    d.fontName = t.fontName;
    d.fontPointSize = t.fontPointSize;
    for (const platform::rc::DialogItemTemplate& item : t.items) {
        platform::rc::reader::ControlModel c;
        c.windowClass = item.windowClass;
        c.text = item.text;
        c.textResourceId = item.textResourceId;
        c.id = item.id;
        c.style = item.style;
        c.exStyle = item.exStyle;
        c.x = item.x;
        c.y = item.y;
        c.cx = item.cx;
        c.cy = item.cy;
        d.controls.push_back(std::move(c));
    }
    return d;
}

}  // namespace rc_test
