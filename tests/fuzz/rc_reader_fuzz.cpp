// The build-time .rc reader on any text: a resource file, one header it may
// include and one bitmap it may embed, given as three parts separated by a
// line "@@@@". Whatever the input, the reader either reports an error with a
// line number inside the file or gives tables the emitter can write.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "platform/rc/rc_emitter.h"
#include "platform/rc/rc_parser.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

constexpr char kSeparator[] = "\n@@@@\n";

// "in.rc" is the resource file; any other name ending in ".h" is the header
// and anything else the bitmap, so the seeds' own names need not match.
struct FuzzLoader : platform::rc::reader::SourceLoader {
    std::string rc, header, bitmap;
    std::optional<std::string> Read(const std::string& path) override {
        const bool isHeader = path.size() >= 2 && path.compare(path.size() - 2, 2, ".h") == 0;
        if (path != "in.rc" && !isHeader && path.find("missing") != std::string::npos) {
            return std::nullopt;
        }
        return path == "in.rc" ? rc : isHeader ? header : bitmap;
    }
};

std::string TakePart(std::string& rest) {
    const std::size_t at = rest.find(kSeparator);
    std::string part = rest.substr(0, at);
    rest = at == std::string::npos ? std::string() : rest.substr(at + sizeof(kSeparator) - 1);
    return part;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string rest(reinterpret_cast<const char*>(data), size);
    FuzzLoader loader;
    loader.rc = TakePart(rest);
    loader.header = TakePart(rest);
    loader.bitmap = std::move(rest);
    const auto result = platform::rc::reader::ParseResourceFile("in.rc", loader);
    FUZZ_CHECK(result.ok || !result.error.message.empty());
    FUZZ_CHECK(!result.ok ||
               !platform::rc::reader::EmitTablesSource(result.resources, "in.rc").empty());
    return 0;
}
