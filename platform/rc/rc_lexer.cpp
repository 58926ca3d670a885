// Lexer of the .rc reader (see rc_lexer.h).
#include "platform/rc/rc_lexer.h"

#include <cstdio>

namespace platform::rc::reader {
namespace {

bool IsIdentStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsIdentChar(char c) {
    return IsIdentStart(c) || (c >= '0' && c <= '9');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string Describe(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x21 && u < 0x7f) {
        return std::string("'") + c + "'";
    }
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%02X", u);
    return std::string("byte ") + buffer;
}

}  // namespace

Lexer::Lexer(std::string fileName, std::string text, int firstLine, bool directiveBody)
    : fileName_(std::move(fileName)),
      text_(std::move(text)),
      line_(firstLine),
      atLineStart_(!directiveBody) {}

char Lexer::Peek(std::size_t ahead) const {
    return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0';
}

void Lexer::Fail(int line, const std::string& message) const {
    throw RcFailure(SourceLocation{fileName_, line}, message);
}

// Past a /* ... */ comment that starts at pos_, counting its lines.
void Lexer::SkipBlockComment() {
    const int startLine = line_;
    pos_ += 2;
    for (;;) {
        if (pos_ >= text_.size()) {
            Fail(startLine, "unterminated comment");
        }
        if (text_[pos_] == '*' && Peek(1) == '/') {
            pos_ += 2;
            return;
        }
        if (text_[pos_] == '\n') {
            ++line_;
        }
        ++pos_;
    }
}

void Lexer::SkipSpaceAndComments() {
    while (pos_ < text_.size()) {
        const char c = text_[pos_];
        if (c == '\n') {
            ++line_;
            ++pos_;
            atLineStart_ = true;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
            ++pos_;
        } else if (c == '/' && Peek(1) == '/') {
            while (pos_ < text_.size() && text_[pos_] != '\n') {
                ++pos_;
            }
        } else if (c == '/' && Peek(1) == '*') {
            SkipBlockComment();
        } else {
            return;
        }
    }
}

void Lexer::SkipInactiveLines() {
    while (pos_ < text_.size()) {
        const char c = text_[pos_];
        if (c == '\n') {
            ++line_;
            ++pos_;
            atLineStart_ = true;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
            ++pos_;
        } else if (c == '#' && atLineStart_) {
            return;
        } else if (c == '/' && (Peek(1) == '*' || Peek(1) == '/')) {
            SkipSpaceAndComments();  // the comment, and the line break after it
        } else if (c == '"' || c == '\'') {
            atLineStart_ = false;
            ++pos_;
            while (pos_ < text_.size() && text_[pos_] != c && text_[pos_] != '\n') {
                pos_ += (text_[pos_] == '\\' && Peek(1) != '\n') ? 2 : 1;
            }
            if (pos_ < text_.size() && text_[pos_] == c) {
                ++pos_;
            }
        } else {
            atLineStart_ = false;
            ++pos_;
        }
    }
}

Token Lexer::Next() {
    SkipSpaceAndComments();
    Token token;
    token.where = SourceLocation{fileName_, line_};
    token.startsLine = atLineStart_;
    if (pos_ >= text_.size()) {
        token.kind = Token::Kind::End;
        return token;
    }
    const char c = text_[pos_];
    if (c == '#') {
        if (!atLineStart_) {
            Fail(line_, "'#' must begin a line");
        }
        token = LexDirective();
        token.startsLine = true;
        return token;
    }
    atLineStart_ = false;
    if (IsIdentStart(c)) {
        const std::size_t start = pos_;
        while (pos_ < text_.size() && IsIdentChar(text_[pos_])) {
            ++pos_;
        }
        token.kind = Token::Kind::Identifier;
        token.text = text_.substr(start, pos_ - start);
        if (token.text == "L" && Peek() == '"') {
            Fail(line_, "wide strings (L\"...\") are not supported");
        }
        return token;
    }
    if (IsDigit(c)) {
        Token number = LexNumber();
        number.where = token.where;
        number.startsLine = token.startsLine;
        return number;
    }
    if (c == '"') {
        Token string = LexString();
        string.where = token.where;
        string.startsLine = token.startsLine;
        return string;
    }
    static constexpr std::string_view kPunct = ",|(){}+-*/%~&^";
    if (kPunct.find(c) != std::string_view::npos) {
        ++pos_;
        token.kind = Token::Kind::Punct;
        token.text = std::string(1, c);
        return token;
    }
    Fail(line_, "unexpected character " + Describe(c));
}

Token Lexer::LexNumber() {
    Token token;
    token.kind = Token::Kind::Number;
    const std::size_t start = pos_;
    std::uint64_t value = 0;
    bool overflow = false;
    if (text_[pos_] == '0' && (Peek(1) == 'x' || Peek(1) == 'X')) {
        pos_ += 2;
        const std::size_t digitsStart = pos_;
        while (pos_ < text_.size() && HexValue(text_[pos_]) >= 0) {
            value = value * 16 + static_cast<std::uint64_t>(HexValue(text_[pos_]));
            overflow = overflow || value > 0xFFFFFFFFu;
            ++pos_;
        }
        if (pos_ == digitsStart) {
            Fail(line_,
                 "bad number '" + text_.substr(start, pos_ - start) + "': no hexadecimal digits");
        }
    } else {
        if (text_[pos_] == '0' && IsDigit(Peek(1))) {
            Fail(line_, "bad number: a leading zero (octal) is not supported");
        }
        while (pos_ < text_.size() && IsDigit(text_[pos_])) {
            value = value * 10 + static_cast<std::uint64_t>(text_[pos_] - '0');
            overflow = overflow || value > 0xFFFFFFFFu;
            ++pos_;
        }
    }
    // Suffixes: L and U in either case, each at most once.
    bool seenL = false;
    bool seenU = false;
    while (pos_ < text_.size()) {
        const char s = text_[pos_];
        if ((s == 'l' || s == 'L') && !seenL) {
            seenL = true;
        } else if ((s == 'u' || s == 'U') && !seenU) {
            seenU = true;
        } else {
            break;
        }
        ++pos_;
    }
    if (pos_ < text_.size() && IsIdentChar(text_[pos_])) {
        while (pos_ < text_.size() && IsIdentChar(text_[pos_])) {
            ++pos_;
        }
        Fail(line_, "bad number '" + text_.substr(start, pos_ - start) + "'");
    }
    token.text = text_.substr(start, pos_ - start);
    if (overflow) {
        Fail(line_, "bad number '" + token.text + "': does not fit in 32 bits");
    }
    token.number = static_cast<std::uint32_t>(value);
    return token;
}

Token Lexer::LexString() {
    Token token;
    token.kind = Token::Kind::String;
    const int startLine = line_;
    ++pos_;  // opening quote
    for (;;) {
        if (pos_ >= text_.size() || text_[pos_] == '\n') {
            Fail(startLine, "unterminated string");
        }
        const char c = text_[pos_++];
        if (c == '"') {
            if (Peek() == '"') {  // "" inside a string is one quote
                token.text += '"';
                ++pos_;
                continue;
            }
            return token;
        }
        if (c != '\\') {
            token.text += c;
            continue;
        }
        if (pos_ >= text_.size() || text_[pos_] == '\n') {
            Fail(startLine, "unterminated string");
        }
        const char e = text_[pos_++];
        switch (e) {
            case 'a':
                token.text += '\a';
                break;
            case 'b':
                token.text += '\b';
                break;
            case 'f':
                token.text += '\f';
                break;
            case 'n':
                token.text += '\n';
                break;
            case 'r':
                token.text += '\r';
                break;
            case 't':
                token.text += '\t';
                break;
            case 'v':
                token.text += '\v';
                break;
            case '\\':
                token.text += '\\';
                break;
            case '"':
                token.text += '"';
                break;
            case '\'':
                token.text += '\'';
                break;
            case '?':
                token.text += '?';
                break;
            case 'x': {
                int value = 0;
                int digits = 0;
                while (digits < 2 && HexValue(Peek()) >= 0) {
                    value = value * 16 + HexValue(text_[pos_++]);
                    ++digits;
                }
                if (digits == 0) {
                    Fail(line_, "bad escape '\\x' without hexadecimal digits in string");
                }
                token.text += static_cast<char>(value);
                break;
            }
            default:
                if (e >= '0' && e <= '7') {
                    int value = e - '0';
                    for (int digits = 1; digits < 3 && Peek() >= '0' && Peek() <= '7'; ++digits) {
                        value = value * 8 + (text_[pos_++] - '0');
                    }
                    if (value > 0xFF) {
                        Fail(line_, "bad escape: octal value out of range in string");
                    }
                    token.text += static_cast<char>(value);
                } else {
                    Fail(line_, "unknown escape '\\" + std::string(1, e) + "' in string");
                }
        }
    }
}

Token Lexer::LexDirective() {
    Token token;
    token.kind = Token::Kind::Directive;
    token.where = SourceLocation{fileName_, line_};
    ++pos_;  // '#'
    // The directive runs to the end of the line; a backslash before the line
    // break continues it. Comments inside it are removed.
    while (pos_ < text_.size() && text_[pos_] != '\n') {
        const char c = text_[pos_];
        if (c == '\\' && (Peek(1) == '\n' || (Peek(1) == '\r' && Peek(2) == '\n'))) {
            pos_ += Peek(1) == '\r' ? 3 : 2;
            ++line_;
            token.text += ' ';
            continue;
        }
        if (c == '/' && Peek(1) == '/') {
            while (pos_ < text_.size() && text_[pos_] != '\n') {
                ++pos_;
            }
            break;
        }
        if (c == '/' && Peek(1) == '*') {
            SkipBlockComment();
            token.text += ' ';
            continue;
        }
        if (c == '"') {
            // Keep quoted text (an include name) as written, comments and all.
            token.text += c;
            ++pos_;
            while (pos_ < text_.size() && text_[pos_] != '"' && text_[pos_] != '\n') {
                token.text += text_[pos_++];
            }
            if (pos_ >= text_.size() || text_[pos_] == '\n') {
                Fail(token.where.line, "unterminated string");
            }
            token.text += text_[pos_++];
            continue;
        }
        token.text += c;
        ++pos_;
    }
    atLineStart_ = true;
    return token;
}

}  // namespace platform::rc::reader
