// zembrix-rc: the build-time .rc reader. Reads a resource file and writes the
// C++ source of its tables (resource_tables.h), and optionally a depfile.
//
//   zembrix-rc [-I dir]... input.rc output.cpp [--depfile output.d]
//
// On a malformed file it prints one line, "file:line: what is wrong", to
// standard error, leaves no output behind and exits with status 1; a wrong
// command line exits with status 2.
//
// The reader behind it (rc_lexer, rc_preprocessor, rc_parser, rc_emitter) is
// also the library zembrix_rc_reader, for the tests and the fuzz target.
// Left out: what a resource script may hold beyond this program's resources
// (string tables, cursors, MENUEX, user-defined resources other than the
// manifest, named resources, LANGUAGE: see rc_parser.h), function-like macros
// and #if (see rc_preprocessor.h), and output of the version resource, the
// icon and the manifest, which are read and checked only.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "platform/rc/rc_emitter.h"
#include "platform/rc/rc_parser.h"
#include "platform/rc/rc_source.h"

namespace {

// Writes through a temporary file and a rename, so a failed or interrupted
// run never leaves a half-written output that looks up to date.
bool WriteFileAtomically(const std::string& path, const std::string& contents) {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) {
            return false;
        }
        out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        std::filesystem::remove(temporary, ec);
        return false;
    }
    return true;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: zembrix-rc [-I dir]... input.rc output.cpp [--depfile output.d]\n");
    return 2;
}

int Run(int argc, char** argv) {
    std::vector<std::string> includeDirectories;
    std::vector<std::string> positional;
    std::string depfile;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-I" && i + 1 < argc) {
            includeDirectories.push_back(argv[++i]);
        } else if (arg.size() > 2 && arg.compare(0, 2, "-I") == 0) {
            includeDirectories.push_back(arg.substr(2));
        } else if (arg == "--depfile" && i + 1 < argc) {
            depfile = argv[++i];
        } else if (!arg.empty() && arg[0] == '-') {
            return Usage();
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2) {
        return Usage();
    }
    const std::string& input = positional[0];
    const std::string& output = positional[1];

    platform::rc::reader::DiskSourceLoader loader;
    const auto result = platform::rc::reader::ParseResourceFile(input, loader, includeDirectories);
    if (!result.ok) {
        std::fprintf(stderr, "%s\n", result.error.ToString().c_str());
        std::error_code ignored;
        std::filesystem::remove(output, ignored);
        return 1;
    }
    const std::string source = platform::rc::reader::EmitTablesSource(
        result.resources, std::filesystem::path(input).filename().string());
    if (!WriteFileAtomically(output, source)) {
        std::fprintf(stderr, "%s:0: cannot write %s\n", input.c_str(), output.c_str());
        return 1;
    }
    if (!depfile.empty()) {
        std::vector<std::string> dependencies;
        for (const std::string& path : loader.filesRead()) {
            dependencies.push_back(std::filesystem::absolute(path).lexically_normal().string());
        }
        if (!WriteFileAtomically(depfile,
                                 platform::rc::reader::EmitDepfile(output, dependencies))) {
            std::fprintf(stderr, "%s:0: cannot write %s\n", input.c_str(), depfile.c_str());
            return 1;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zembrix-rc: %s\n", e.what());
        return 1;
    }
}
