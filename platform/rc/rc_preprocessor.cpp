// Preprocessor of the .rc reader (see rc_preprocessor.h).
#include "platform/rc/rc_preprocessor.h"

#include <algorithm>

namespace platform::rc::reader {
namespace {

// Bounds that keep hostile input from exhausting the stack or memory.
constexpr std::size_t kMaxIncludeDepth = 16;
constexpr int kMaxExpansionDepth = 32;
constexpr std::size_t kMaxExpansionTokens = 4096;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}
bool IsIdentChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || (c >= '0' && c <= '9');
}

std::string Trim(const std::string& s) {
    std::size_t begin = 0;
    std::size_t end = s.size();
    while (begin < end && IsSpace(s[begin]))
        ++begin;
    while (end > begin && IsSpace(s[end - 1]))
        --end;
    return s.substr(begin, end - begin);
}

// Splits "word rest" at the end of the leading identifier.
std::string TakeWord(const std::string& s, std::size_t& pos) {
    while (pos < s.size() && IsSpace(s[pos]))
        ++pos;
    const std::size_t start = pos;
    while (pos < s.size() && IsIdentChar(s[pos]))
        ++pos;
    return s.substr(start, pos - start);
}

bool IsIdentifier(const std::string& s) {
    return !s.empty() && !(s[0] >= '0' && s[0] <= '9') &&
           std::all_of(s.begin(), s.end(), IsIdentChar);
}

bool SameBody(const std::vector<Token>& a, const std::vector<Token>& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].kind != b[i].kind || a[i].text != b[i].text || a[i].number != b[i].number) {
            return false;
        }
    }
    return true;
}

}  // namespace

Preprocessor::Preprocessor(SourceLoader& loader, std::vector<std::string> includeDirectories)
    : loader_(loader), includeDirectories_(std::move(includeDirectories)) {}

void Preprocessor::Open(const std::string& path) {
    auto text = loader_.Read(path);
    if (!text) {
        throw RcFailure(SourceLocation{path, 1}, "cannot read the resource file");
    }
    PushFile(path, std::move(*text));
}

void Preprocessor::PushFile(const std::string& path, std::string text) {
    files_.push_back(OpenFile{std::make_unique<Lexer>(path, std::move(text)), path, {}});
    lastLocation_ = SourceLocation{path, 1};
}

Token Preprocessor::Next() {
    if (!lookahead_.empty()) {
        Token token = std::move(lookahead_.front());
        lookahead_.pop_front();
        return token;
    }
    return Produce();
}

const Token& Preprocessor::Peek(std::size_t ahead) {
    while (lookahead_.size() <= ahead) {
        lookahead_.push_back(Produce());
    }
    return lookahead_[ahead];
}

Token Preprocessor::Produce() {
    for (;;) {
        if (!expanded_.empty()) {
            Token token = std::move(expanded_.front());
            expanded_.pop_front();
            return token;
        }
        Token token = RawNext();
        if (token.kind == Token::Kind::Identifier && macros_.count(token.text) != 0) {
            std::set<std::string> active{token.text};
            std::vector<Token> out;
            Expand(token, token.text, active, 0, out);
            expanded_.insert(expanded_.end(), out.begin(), out.end());
            continue;
        }
        return token;
    }
}

void Preprocessor::Expand(const Token& use, const std::string& name, std::set<std::string>& active,
                          int depth, std::vector<Token>& out) {
    if (depth > kMaxExpansionDepth) {
        throw RcFailure(use.where, "macro " + use.text + " nests too deeply");
    }
    for (const Token& body : macros_.at(name).body) {
        Token token = body;
        token.where = use.where;  // diagnostics point at the use, not the #define
        if (token.kind == Token::Kind::Identifier && macros_.count(token.text) != 0 &&
            active.count(token.text) == 0) {
            active.insert(token.text);
            Expand(use, token.text, active, depth + 1, out);
            active.erase(token.text);
        } else {
            if (out.size() >= kMaxExpansionTokens) {
                throw RcFailure(use.where, "macro " + use.text + " expands to too many tokens");
            }
            out.push_back(std::move(token));
        }
    }
}

Token Preprocessor::RawNext() {
    for (;;) {
        if (files_.empty()) {
            Token end;
            end.kind = Token::Kind::End;
            end.where = lastLocation_;
            return end;
        }
        OpenFile& file = files_.back();
        if (!file.Active()) {
            file.lexer->SkipInactiveLines();
        }
        Token token = file.lexer->Next();
        if (token.kind == Token::Kind::End) {
            if (!file.conditionals.empty()) {
                throw RcFailure(SourceLocation{file.path, file.conditionals.back().line},
                                "#ifdef or #ifndef without #endif");
            }
            const bool mainFile = files_.size() == 1;
            if (mainFile) {
                lastLocation_ = token.where;
            }
            files_.pop_back();
            continue;
        }
        if (token.kind == Token::Kind::Directive) {
            HandleDirective(token);
            continue;
        }
        if (!file.Active()) {
            continue;
        }
        return token;
    }
}

void Preprocessor::HandleDirective(const Token& directive) {
    OpenFile& file = files_.back();
    const std::string& text = directive.text;
    std::size_t pos = 0;
    const std::string word = TakeWord(text, pos);
    const std::string rest = Trim(text.substr(pos));
    const auto fail = [&](const std::string& message) {
        throw RcFailure(directive.where, message);
    };

    if (word == "ifdef" || word == "ifndef") {
        std::size_t p = 0;
        const std::string name = TakeWord(rest, p);
        if (!file.Active()) {
            file.conditionals.push_back(Conditional{false, false, false, directive.where.line});
            return;
        }
        if (!IsIdentifier(name) || !Trim(rest.substr(p)).empty()) {
            fail("#" + word + " needs one name");
        }
        const bool defined = macros_.count(name) != 0;
        file.conditionals.push_back(
            Conditional{true, word == "ifdef" ? defined : !defined, false, directive.where.line});
        return;
    }
    if (word == "else") {
        if (file.conditionals.empty() || file.conditionals.back().seenElse) {
            fail("#else without #ifdef");
        }
        file.conditionals.back().seenElse = true;
        return;
    }
    if (word == "endif") {
        if (file.conditionals.empty()) {
            fail("#endif without #ifdef");
        }
        file.conditionals.pop_back();
        return;
    }
    if (word == "if" || word == "elif") {
        // Refused even in a skipped group: its #endif would otherwise pair
        // with the wrong #ifdef.
        fail("#" + word + " is not supported; use #ifdef or #ifndef");
    }
    if (!file.Active()) {
        return;  // a skipped group may hold anything
    }
    if (word.empty() && rest.empty()) {
        return;  // the null directive
    }
    if (word == "define") {
        Define(directive, rest);
    } else if (word == "undef") {
        std::size_t p = 0;
        const std::string name = TakeWord(rest, p);
        if (!IsIdentifier(name) || !Trim(rest.substr(p)).empty()) {
            fail("#undef needs one name");
        }
        macros_.erase(name);
    } else if (word == "include") {
        Include(directive, rest);
    } else if (word == "pragma") {
        std::size_t p = 0;
        if (TakeWord(rest, p) == "once" && Trim(rest.substr(p)).empty()) {
            includeOnce_.insert(file.path);
        }
    } else if (word == "error") {
        fail("#error " + rest);
    } else {
        fail("unknown preprocessor directive #" + (word.empty() ? text : word));
    }
}

void Preprocessor::Define(const Token& directive, const std::string& rest) {
    std::size_t pos = 0;
    const std::string name = TakeWord(rest, pos);
    if (!IsIdentifier(name)) {
        throw RcFailure(directive.where, "#define needs a name");
    }
    if (pos < rest.size() && rest[pos] == '(') {
        throw RcFailure(directive.where, "function-like macro " + name + " is not supported");
    }
    Lexer lexer(directive.where.file, rest.substr(pos), directive.where.line, true);
    Macro macro;
    macro.where = directive.where;
    for (Token token = lexer.Next(); token.kind != Token::Kind::End; token = lexer.Next()) {
        macro.body.push_back(std::move(token));
    }
    const auto existing = macros_.find(name);
    if (existing != macros_.end()) {
        if (!SameBody(existing->second.body, macro.body)) {
            throw RcFailure(directive.where, name + " redefined differently (first defined at " +
                                                 existing->second.where.file + ":" +
                                                 std::to_string(existing->second.where.line) + ")");
        }
        return;
    }
    macros_.emplace(name, std::move(macro));
}

void Preprocessor::Include(const Token& directive, const std::string& rest) {
    if (rest.size() >= 2 && rest.front() == '<' && rest.back() == '>') {
        return;  // a system header: the reader knows its Win32 names itself
    }
    if (rest.size() < 2 || rest.front() != '"' || rest.back() != '"') {
        throw RcFailure(directive.where, "#include needs \"file\" or <file>");
    }
    std::string name = rest.substr(1, rest.size() - 2);
    std::replace(name.begin(), name.end(), '\\', '/');
    if (name.empty()) {
        throw RcFailure(directive.where, "#include names no file");
    }
    if (files_.size() >= kMaxIncludeDepth) {
        throw RcFailure(directive.where, "#include nested too deeply");
    }
    std::vector<std::string> candidates{JoinPath(DirectoryOf(files_.back().path), name)};
    for (const std::string& dir : includeDirectories_) {
        candidates.push_back(JoinPath(dir, name));
    }
    for (const std::string& path : candidates) {
        if (includeOnce_.count(path) != 0) {
            return;
        }
        if (auto text = loader_.Read(path)) {
            PushFile(path, std::move(*text));
            return;
        }
    }
    throw RcFailure(directive.where, "cannot open include file \"" + name + "\"");
}

}  // namespace platform::rc::reader
