// Lexer of the .rc reader: one file's text into tokens. It knows comments,
// string escapes, decimal and hexadecimal numbers with their L/U suffixes, and
// hands preprocessor lines over whole; what a token means is the
// preprocessor's and the parser's business.
//
// Left out: wide strings (L"..."), character literals, octal numbers (a leading
// zero is refused rather than read differently from C), trigraphs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/rc/rc_error.h"

namespace platform::rc::reader {

struct Token {
    enum class Kind : std::uint8_t {
        Identifier,  // text: the name
        Number,      // number: the value; text: as written
        String,      // text: the bytes after escapes
        Punct,       // text: one character of , | ( ) { } + - * / % ~ & ^
        Directive,   // text: the line after '#', continuation lines joined
        End,         // end of the file
    };
    Kind kind = Kind::End;
    std::string text;
    std::uint32_t number = 0;
    SourceLocation where;
    bool startsLine = false;  // first token on its line (directives must be)
};

class Lexer {
public:
    // firstLine numbers the first line of text; a directive's body is lexed
    // with directiveBody set, where '#' is an ordinary error.
    Lexer(std::string fileName, std::string text, int firstLine = 1, bool directiveBody = false);

    // The next token; Kind::End at the end, again on every later call.
    // Throws RcFailure on a lexical error.
    Token Next();

    // Inside a group that #ifdef skips: passes over whole lines, as loosely as
    // a C preprocessor does (stray characters, unterminated quotes), up to the
    // next line that begins with '#' or the end of the text.
    void SkipInactiveLines();

private:
    char Peek(std::size_t ahead = 0) const;
    [[noreturn]] void Fail(int line, const std::string& message) const;
    void SkipBlockComment();
    void SkipSpaceAndComments();
    Token LexNumber();
    Token LexString();
    Token LexDirective();

    std::string fileName_;
    std::string text_;
    std::size_t pos_ = 0;
    int line_ = 1;
    bool atLineStart_ = true;
};

}  // namespace platform::rc::reader
