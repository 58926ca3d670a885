// Preprocessor of the .rc reader: the token stream the parser reads, with
// #include "file" followed (relative to the including file, then the -I
// directories), #include <...> skipped (the reader knows the Win32 names of
// the system headers itself), object-like #define and #undef, #ifdef, #ifndef,
// #else, #endif, #pragma once; other pragmas are ignored as C ignores them.
//
// Left out: function-like macros, #if and #elif expressions, token pasting.
// They are refused with a diagnostic rather than misread.
#pragma once

#include <cstddef>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/rc/rc_lexer.h"
#include "platform/rc/rc_source.h"

namespace platform::rc::reader {

class Preprocessor {
public:
    Preprocessor(SourceLoader& loader, std::vector<std::string> includeDirectories);

    // Starts reading the main file. Throws RcFailure when it cannot be read.
    void Open(const std::string& path);

    // The next token with macros expanded; never a Directive. Kind::End at the
    // end of the main file, located at its last line.
    Token Next();
    const Token& Peek(std::size_t ahead = 0);

private:
    struct Macro {
        std::vector<Token> body;
        SourceLocation where;
    };
    struct Conditional {
        bool parentActive;
        bool condition;
        bool seenElse;
        int line;
        bool Taking() const { return parentActive && (seenElse ? !condition : condition); }
    };
    struct OpenFile {
        std::unique_ptr<Lexer> lexer;
        std::string path;
        std::vector<Conditional> conditionals;
        bool Active() const { return conditionals.empty() || conditionals.back().Taking(); }
    };

    Token Produce();
    Token RawNext();
    void HandleDirective(const Token& directive);
    void Include(const Token& directive, const std::string& name);
    void Define(const Token& directive, const std::string& rest);
    void Expand(const Token& use, const std::string& name, std::set<std::string>& active, int depth,
                std::vector<Token>& out);
    void PushFile(const std::string& path, std::string text);

    SourceLoader& loader_;
    std::vector<std::string> includeDirectories_;
    std::vector<OpenFile> files_;
    std::deque<Token> expanded_;
    std::deque<Token> lookahead_;
    std::map<std::string, Macro> macros_;
    std::set<std::string> includeOnce_;
    SourceLocation lastLocation_;
};

}  // namespace platform::rc::reader
