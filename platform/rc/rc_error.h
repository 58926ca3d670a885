// Diagnostics of the build-time .rc reader: where a problem is (file and line)
// and what it is. The reader stops at the first problem; its API returns the
// diagnostic instead of throwing it.
#pragma once

#include <stdexcept>
#include <string>

namespace platform::rc::reader {

struct SourceLocation {
    std::string file;  // as the reader was given it, or as an #include resolved it
    int line = 0;      // 1-based
};

struct RcError {
    SourceLocation where;
    std::string message;

    // "zembrix.rc:12: what is wrong", the one line the tool prints.
    std::string ToString() const {
        return where.file + ":" + std::to_string(where.line) + ": " + message;
    }
};

// Internal: unwinds the lexer and parser to the API function that catches it.
class RcFailure : public std::runtime_error {
public:
    RcFailure(SourceLocation where, const std::string& message)
        : std::runtime_error(message), error_{std::move(where), message} {}
    const RcError& error() const { return error_; }

private:
    RcError error_;
};

}  // namespace platform::rc::reader
