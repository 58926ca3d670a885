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
class FuzzLoader : public platform::rc::reader::SourceLoader {
public:
    FuzzLoader(std::string rc, std::string header, std::string bitmap)
        : rc_(std::move(rc)), header_(std::move(header)), bitmap_(std::move(bitmap)) {}
    std::optional<std::string> Read(const std::string& path) override {
        if (path == "in.rc") {
            return rc_;
        }
        if (path.size() >= 2 && path.compare(path.size() - 2, 2, ".h") == 0) {
            return header_;
        }
        if (path.find("missing") != std::string::npos) {
            return std::nullopt;
        }
        return bitmap_;
    }

private:
    std::string rc_, header_, bitmap_;
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
    std::string rc = TakePart(rest);
    std::string header = TakePart(rest);
    FuzzLoader loader(std::move(rc), std::move(header), std::move(rest));
    const auto result = platform::rc::reader::ParseResourceFile("in.rc", loader);
    FUZZ_CHECK(result.ok || !result.error.message.empty());
    if (result.ok) {
        const std::string source =
            platform::rc::reader::EmitTablesSource(result.resources, "in.rc");
        FUZZ_CHECK(!source.empty());
    }
    return 0;
}
