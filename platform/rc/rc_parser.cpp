// Parser of the .rc reader (see rc_parser.h). A recursive-descent reader over
// the preprocessor's tokens; the first problem ends the parse with its file
// and line. Nesting (menus, version blocks, parentheses) is bounded so that no
// input can exhaust the stack.
#include "platform/rc/rc_parser.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <limits>
#include <new>
#include <optional>
#include <string_view>

#include "platform/rc/rc_constants.h"
#include "platform/rc/rc_preprocessor.h"

namespace platform::rc::reader {
namespace {

constexpr int kMaxExpressionDepth = 64;
constexpr int kMaxMenuDepth = 16;
constexpr int kMaxVersionBlockDepth = 8;
constexpr std::size_t kMaxDialogControls = 65535;  // DLGTEMPLATE counts them in a WORD

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

bool IsKeyword(const Token& token, std::string_view keyword) {
    return token.kind == Token::Kind::Identifier && EqualsIgnoreCase(token.text, keyword);
}

bool IsPunct(const Token& token, char c) {
    return token.kind == Token::Kind::Punct && token.text.size() == 1 && token.text[0] == c;
}

bool IsBegin(const Token& token) {
    return IsKeyword(token, "BEGIN") || IsPunct(token, '{');
}
bool IsEndOfBlock(const Token& token) {
    return IsKeyword(token, "END") || IsPunct(token, '}');
}

template <std::size_t N>
bool IsOneOf(const Token& token, const std::string_view (&keywords)[N]) {
    return std::any_of(std::begin(keywords), std::end(keywords),
                       [&](std::string_view k) { return IsKeyword(token, k); });
}

std::string Describe(const Token& token) {
    switch (token.kind) {
        case Token::Kind::End:
            return "end of file";
        case Token::Kind::String: {
            std::string text = token.text.substr(0, 24);
            for (char& c : text) {
                if (static_cast<unsigned char>(c) < 0x20)
                    c = ' ';
            }
            return "string \"" + text + (token.text.size() > 24 ? "...\"" : "\"");
        }
        case Token::Kind::Number:
            return "number " + token.text;
        case Token::Kind::Punct:
            return "'" + token.text + "'";
        case Token::Kind::Identifier:
        case Token::Kind::Directive:
            break;
    }
    return token.text;
}

std::string Upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

constexpr std::string_view kMemoryOptions[] = {"MOVEABLE",    "FIXED",   "PURE",
                                               "IMPURE",      "PRELOAD", "LOADONCALL",
                                               "DISCARDABLE", "SHARED",  "NONSHARED"};
constexpr std::string_view kUnsupportedTypes[] = {
    "STRINGTABLE", "CURSOR",       "MENUEX",     "RCDATA",  "FONT",     "FONTDIR",
    "HTML",        "MESSAGETABLE", "DLGINCLUDE", "TOOLBAR", "LANGUAGE", "CHARACTERISTICS",
    "VERSION"};
constexpr std::int64_t kManifestType = 24;  // RT_MANIFEST
constexpr std::string_view kUnsupportedControls[] = {
    "CHECKBOX",  "AUTOCHECKBOX", "RADIOBUTTON", "AUTORADIOBUTTON",
    "STATE3",    "AUTO3STATE",   "COMBOBOX",    "LISTBOX",
    "SCROLLBAR", "ICON",         "PUSHBOX",     "USERBUTTON"};
constexpr std::string_view kBuiltInClasses[] = {"BUTTON",  "EDIT",      "STATIC",
                                                "LISTBOX", "SCROLLBAR", "COMBOBOX"};

class Parser {
public:
    Parser(Preprocessor& tokens, SourceLoader& loader,
           const std::vector<std::string>& includeDirectories)
        : tokens_(tokens), loader_(loader), includeDirectories_(includeDirectories) {}

    ResourceFile ParseAll() {
        for (;;) {
            const Token& first = tokens_.Peek();
            if (first.kind == Token::Kind::End) {
                break;
            }
            if (first.kind == Token::Kind::String) {
                Fail(first, "resource names must be numbers, not " + Describe(first));
            }
            if (IsOneOf(first, kUnsupportedTypes)) {
                Fail(first, "statement " + first.text + " is not supported");
            }
            const Token nameToken = first;
            const int id = ParseResourceId(nameToken);
            const Token type = tokens_.Next();
            if (IsKeyword(type, "DIALOG") || IsKeyword(type, "DIALOGEX")) {
                ParseDialog(nameToken, id, IsKeyword(type, "DIALOGEX"));
            } else if (IsKeyword(type, "MENU")) {
                ParseMenu(nameToken, id);
            } else if (IsKeyword(type, "ACCELERATORS")) {
                ParseAccelerators(nameToken, id);
            } else if (IsKeyword(type, "BITMAP")) {
                ParseBitmap(nameToken, id);
            } else if (IsKeyword(type, "VERSIONINFO")) {
                ParseVersionInfo(nameToken, id);
            } else if (IsKeyword(type, "ICON")) {
                ParseIcon(nameToken, id);
            } else if (const auto number = TypeNumber(type)) {
                if (*number != kManifestType) {
                    Fail(type, "resource type " + std::to_string(*number) +
                                   " is not supported (only 24, the manifest)");
                }
                ParseManifest(nameToken, id);
            } else if (IsOneOf(type, kUnsupportedTypes)) {
                Fail(type, "resource type " + type.text + " is not supported");
            } else if (type.kind == Token::Kind::Identifier) {
                Fail(type, "unknown resource type " + type.text);
            } else {
                Fail(type, "expected a resource type after resource " + std::to_string(id) +
                               ", found " + Describe(type));
            }
        }
        return std::move(out_);
    }

private:
    [[noreturn]] void Fail(const Token& at, const std::string& message) {
        throw RcFailure(at.where, message);
    }

    // The file ended inside a block: the useful place to point at is where
    // the block began.
    [[noreturn]] void FailMissingEnd(const Token& opening, const std::string& what) {
        Fail(opening, what + " has no END: the file ends inside it");
    }

    // Reads the items of a block up to its END, which it takes: read_item is
    // called with each item's first token, not yet taken. opening and what
    // name the block, for a file that ends inside it.
    template <typename ReadItem>
    void ReadItemsUntilEnd(const Token& opening, const std::string& what, ReadItem read_item) {
        for (;;) {
            const Token& next = tokens_.Peek();
            if (IsEndOfBlock(next)) {
                tokens_.Next();
                return;
            }
            if (next.kind == Token::Kind::End) {
                FailMissingEnd(opening, what);
            }
            read_item(next);
        }
    }

    void ExpectComma(const char* context) {
        const Token token = tokens_.Next();
        if (!IsPunct(token, ',')) {
            Fail(token, std::string("expected ',' ") + context + ", found " + Describe(token));
        }
    }

    void ExpectBegin(const std::string& context) {
        const Token token = tokens_.Next();
        if (!IsBegin(token)) {
            Fail(token, "expected BEGIN " + context + ", found " + Describe(token));
        }
    }

    bool TakeComma() {
        if (IsPunct(tokens_.Peek(), ',')) {
            tokens_.Next();
            return true;
        }
        return false;
    }

    std::string ExpectString(const char* what, bool allowNul = false) {
        const Token token = tokens_.Next();
        if (token.kind != Token::Kind::String) {
            Fail(token, std::string("expected ") + what + " in quotes, found " + Describe(token));
        }
        if (!allowNul && token.text.find('\0') != std::string::npos) {
            Fail(token, std::string(what) + " may not contain a NUL character");
        }
        return token.text;
    }

    void SkipMemoryOptions() {
        while (IsOneOf(tokens_.Peek(), kMemoryOptions)) {
            tokens_.Next();
        }
    }

    // ---- expressions: C precedence, 32-bit values, overflow is an error ----

    std::int64_t Checked(const Token& at, bool overflow, std::int64_t value) {
        if (overflow) {
            Fail(at, "arithmetic overflow in a number expression");
        }
        return value;
    }

    std::int64_t Negate(const Token& at, std::int64_t value) {
        std::int64_t result = 0;
        const bool overflow = __builtin_sub_overflow(std::int64_t{0}, value, &result);
        return Checked(at, overflow, result);
    }

    std::int64_t ParseExpression(int depth = 0) {
        std::int64_t value = ParseXor(depth);
        while (IsPunct(tokens_.Peek(), '|')) {
            tokens_.Next();
            value |= ParseXor(depth);
        }
        return value;
    }

    std::int64_t ParseXor(int depth) {
        std::int64_t value = ParseAnd(depth);
        while (IsPunct(tokens_.Peek(), '^')) {
            tokens_.Next();
            value ^= ParseAnd(depth);
        }
        return value;
    }

    std::int64_t ParseAnd(int depth) {
        std::int64_t value = ParseAdditive(depth);
        while (IsPunct(tokens_.Peek(), '&')) {
            tokens_.Next();
            value &= ParseAdditive(depth);
        }
        return value;
    }

    std::int64_t ParseAdditive(int depth) {
        std::int64_t value = ParseMultiplicative(depth);
        for (;;) {
            const Token op = tokens_.Peek();
            if (!IsPunct(op, '+') && !IsPunct(op, '-')) {
                return value;
            }
            tokens_.Next();
            const std::int64_t rhs = ParseMultiplicative(depth);
            std::int64_t result = 0;
            const bool overflow = IsPunct(op, '+') ? __builtin_add_overflow(value, rhs, &result)
                                                   : __builtin_sub_overflow(value, rhs, &result);
            value = Checked(op, overflow, result);
        }
    }

    std::int64_t ParseMultiplicative(int depth) {
        std::int64_t value = ParseUnary(depth);
        for (;;) {
            const Token op = tokens_.Peek();
            if (!IsPunct(op, '*') && !IsPunct(op, '/') && !IsPunct(op, '%')) {
                return value;
            }
            tokens_.Next();
            const std::int64_t rhs = ParseUnary(depth);
            if (IsPunct(op, '*')) {
                std::int64_t result = 0;
                const bool overflow = __builtin_mul_overflow(value, rhs, &result);
                value = Checked(op, overflow, result);
            } else if (rhs == 0) {
                Fail(op, "division by zero in a number expression");
            } else if (rhs == -1) {
                // x / -1 is -x, which overflows for the smallest value.
                value = IsPunct(op, '/') ? Negate(op, value) : 0;
            } else {
                value = IsPunct(op, '/') ? value / rhs : value % rhs;
            }
        }
    }

    std::int64_t ParseUnary(int depth) {
        if (depth > kMaxExpressionDepth) {
            Fail(tokens_.Peek(), "number expression nested too deeply");
        }
        const Token token = tokens_.Peek();
        if (IsPunct(token, '-')) {
            tokens_.Next();
            return Negate(token, ParseUnary(depth + 1));
        }
        if (IsPunct(token, '+')) {
            tokens_.Next();
            return ParseUnary(depth + 1);
        }
        if (IsPunct(token, '~')) {
            tokens_.Next();
            // Complement within 32 bits, as the resource compiler computes.
            return static_cast<std::int64_t>(~static_cast<std::uint32_t>(ParseUnary(depth + 1)));
        }
        return ParsePrimary(depth);
    }

    std::int64_t ParsePrimary(int depth) {
        const Token token = tokens_.Next();
        switch (token.kind) {
            case Token::Kind::Number:
                return token.number;
            case Token::Kind::Punct:
                if (IsPunct(token, '(')) {
                    const std::int64_t value = ParseExpression(depth + 1);
                    const Token close = tokens_.Next();
                    if (!IsPunct(close, ')')) {
                        Fail(close, "expected ')', found " + Describe(close));
                    }
                    return value;
                }
                break;
            case Token::Kind::Identifier: {
                if (const auto value = LookupWin32Constant(token.text)) {
                    return *value;
                }
                if (IsKeyword(token, "NOT")) {
                    Fail(token, "NOT is allowed only in a style");
                }
                if (IsBegin(token) || IsEndOfBlock(token)) {
                    break;
                }
                Fail(token, "undefined symbol " + token.text);
            }
            case Token::Kind::String:
            case Token::Kind::Directive:
            case Token::Kind::End:
                break;
        }
        Fail(token, "expected a number, found " + Describe(token));
    }

    // A style: terms joined by '|', each ORed into the statement's initial
    // style, or cleared from it when written NOT term.
    std::uint32_t ParseStyle(std::uint32_t initial) {
        std::uint32_t style = initial;
        for (;;) {
            bool clear = false;
            if (IsKeyword(tokens_.Peek(), "NOT")) {
                tokens_.Next();
                clear = true;
            }
            const Token at = tokens_.Peek();
            const std::uint32_t term = ToUint32(at, ParseXor(0), "style");
            style = clear ? (style & ~term) : (style | term);
            if (!IsPunct(tokens_.Peek(), '|')) {
                return style;
            }
            tokens_.Next();
        }
    }

    std::uint32_t ToUint32(const Token& at, std::int64_t value, const char* what) {
        if (value < std::numeric_limits<std::int32_t>::min() ||
            value > std::numeric_limits<std::uint32_t>::max()) {
            Fail(at, std::string(what) + " " + std::to_string(value) + " does not fit in 32 bits");
        }
        return static_cast<std::uint32_t>(value);
    }

    std::int64_t ParseInRange(const char* what, std::int64_t low, std::int64_t high) {
        const Token at = tokens_.Peek();
        const std::int64_t value = ParseExpression();
        if (value < low || value > high) {
            Fail(at, std::string(what) + " " + std::to_string(value) + " is out of range (" +
                         std::to_string(low) + ".." + std::to_string(high) + ")");
        }
        return value;
    }

    std::int16_t ParseCoordinate() {
        return static_cast<std::int16_t>(ParseInRange("coordinate", -32768, 32767));
    }

    // Controls and menu items carry 16-bit ids; -1 is IDC_STATIC.
    int ParseItemId(const char* what) {
        return static_cast<int>(ParseInRange(what, -32768, 65535));
    }

    int ParseResourceId(const Token& at) {
        const std::int64_t value = ParseExpression();
        if (value < 1 || value > 65535) {
            Fail(at, "resource id " + std::to_string(value) + " is out of range (1..65535)");
        }
        return static_cast<int>(value);
    }

    template <typename T>
    void CheckUnique(const std::vector<T>& existing, int id, const Token& at, const char* type) {
        for (const T& resource : existing) {
            if (resource.id == id) {
                Fail(at, std::string("duplicate ") + type + " resource " + std::to_string(id) +
                             " (first defined at line " + std::to_string(resource.line) + ")");
            }
        }
    }

    void ParseRectangle(std::int16_t& x, std::int16_t& y, std::int16_t& cx, std::int16_t& cy) {
        x = ParseCoordinate();
        ExpectComma("between coordinates");
        y = ParseCoordinate();
        ExpectComma("between coordinates");
        cx = ParseCoordinate();
        ExpectComma("between coordinates");
        cy = ParseCoordinate();
    }

    // ---- DIALOG and DIALOGEX ----

    void ParseDialog(const Token& nameToken, int id, bool extended) {
        const char* type = extended ? "DIALOGEX" : "DIALOG";
        CheckUnique(out_.dialogs, id, nameToken, type);
        DialogModel dialog;
        dialog.id = id;
        dialog.extended = extended;
        dialog.line = nameToken.where.line;
        SkipMemoryOptions();
        ParseRectangle(dialog.x, dialog.y, dialog.cx, dialog.cy);
        if (extended && TakeComma()) {
            ToUint32(tokens_.Peek(), ParseExpression(), "help id");
        }
        // Without STYLE a dialog is WS_POPUP | WS_BORDER | WS_SYSMENU. CAPTION
        // and FONT add their bits whatever the order; STYLE replaces the
        // default but keeps what CAPTION and FONT added before it.
        dialog.style = win32::WS_POPUP | win32::WS_BORDER | win32::WS_SYSMENU;
        std::uint32_t implied = 0;
        const std::string context = std::string("of ") + type + " " + std::to_string(id);
        for (;;) {
            const Token token = tokens_.Next();
            if (IsBegin(token)) {
                break;
            }
            if (IsKeyword(token, "STYLE")) {
                implied = ParseStyle(implied);
                dialog.style = implied;
            } else if (IsKeyword(token, "EXSTYLE")) {
                dialog.exStyle = ToUint32(tokens_.Peek(), ParseExpression(), "extended style");
            } else if (IsKeyword(token, "CAPTION")) {
                dialog.caption = ExpectString("caption");
                dialog.style |= win32::WS_CAPTION;
                implied |= win32::WS_CAPTION;
            } else if (IsKeyword(token, "FONT")) {
                ParseFont(dialog);
                dialog.style |= win32::DS_SETFONT;
                implied |= win32::DS_SETFONT;
            } else if (IsKeyword(token, "CLASS") || IsKeyword(token, "MENU")) {
                Fail(token, "dialog " + Upper(token.text) +
                                " is not supported: the resource tables have no place for it");
            } else if (IsKeyword(token, "CHARACTERISTICS") || IsKeyword(token, "VERSION")) {
                ToUint32(tokens_.Peek(), ParseExpression(), "value");
            } else if (IsKeyword(token, "LANGUAGE")) {
                ParseInRange("language", 0, 0xFFFF);
                ExpectComma("in LANGUAGE");
                ParseInRange("sublanguage", 0, 0xFFFF);
            } else if (token.kind == Token::Kind::End) {
                Fail(token, "end of file before BEGIN " + context);
            } else if (token.kind == Token::Kind::Identifier) {
                Fail(token, "unknown dialog statement " + token.text);
            } else {
                Fail(token, "expected BEGIN " + context + ", found " + Describe(token));
            }
        }
        ReadItemsUntilEnd(nameToken, std::string(type) + " " + std::to_string(id),
                          [&](const Token& next) {
                              if (dialog.controls.size() >= kMaxDialogControls) {
                                  Fail(next, "too many controls in one dialog");
                              }
                              dialog.controls.push_back(ParseControl(extended));
                          });
        out_.dialogs.push_back(std::move(dialog));
    }

    void ParseFont(DialogModel& dialog) {
        dialog.fontPointSize = static_cast<std::int16_t>(ParseInRange("font size", 1, 32767));
        ExpectComma("after the font size");
        dialog.fontName = ExpectString("font name");
        if (!IsPunct(tokens_.Peek(), ',')) {
            return;
        }
        if (!dialog.extended) {
            Fail(tokens_.Peek(),
                 "FONT in a DIALOG takes a size and a name; weight, italic and character set "
                 "need DIALOGEX");
        }
        tokens_.Next();
        dialog.fontWeight = static_cast<std::uint16_t>(ParseInRange("font weight", 0, 0xFFFF));
        if (TakeComma()) {
            dialog.fontItalic = ParseInRange("font italic flag", 0, 0xFF) != 0;
            if (TakeComma()) {
                dialog.fontCharset =
                    static_cast<std::uint8_t>(ParseInRange("font character set", 0, 0xFF));
            }
        }
    }

    struct ControlKind {
        std::string_view keyword;
        const char* windowClass;
        bool hasText;
        std::uint32_t defaultStyle;  // without an explicit style
        std::uint32_t baseStyle;     // what an explicit style is added to
    };

    ControlModel ParseControl(bool extended) {
        // What each statement implies. An explicit style is added to the base
        // style, so it keeps an edit's border and a button's tab stop but drops
        // a text's WS_GROUP, as windres stores it (write WS_GROUP to keep it).
        namespace w = win32;
        static constexpr ControlKind kKinds[] = {
            {"LTEXT", "STATIC", true, w::SS_LEFT | w::WS_GROUP, w::SS_LEFT},
            {"RTEXT", "STATIC", true, w::SS_RIGHT | w::WS_GROUP, w::SS_RIGHT},
            {"CTEXT", "STATIC", true, w::SS_CENTER | w::WS_GROUP, w::SS_CENTER},
            {"EDITTEXT", "EDIT", false, w::ES_LEFT | w::WS_BORDER | w::WS_TABSTOP,
             w::ES_LEFT | w::WS_BORDER | w::WS_TABSTOP},
            {"PUSHBUTTON", "BUTTON", true, w::BS_PUSHBUTTON | w::WS_TABSTOP,
             w::BS_PUSHBUTTON | w::WS_TABSTOP},
            {"DEFPUSHBUTTON", "BUTTON", true, w::BS_DEFPUSHBUTTON | w::WS_TABSTOP,
             w::BS_DEFPUSHBUTTON | w::WS_TABSTOP},
            {"GROUPBOX", "BUTTON", true, w::BS_GROUPBOX, w::BS_GROUPBOX},
        };
        const Token keyword = tokens_.Next();
        ControlModel control;
        control.line = keyword.where.line;
        if (IsKeyword(keyword, "CONTROL")) {
            ParseGenericControl(control, extended);
            return control;
        }
        const ControlKind* kind = nullptr;
        for (const ControlKind& k : kKinds) {
            if (IsKeyword(keyword, k.keyword)) {
                kind = &k;
            }
        }
        if (kind == nullptr) {
            if (IsOneOf(keyword, kUnsupportedControls)) {
                Fail(keyword, "control statement " + keyword.text + " is not supported");
            }
            if (keyword.kind == Token::Kind::Identifier) {
                Fail(keyword, "unknown control statement " + keyword.text);
            }
            Fail(keyword, "expected a control statement or END, found " + Describe(keyword));
        }
        control.windowClass = kind->windowClass;
        if (kind->hasText) {
            control.text = ExpectString("control text");
            ExpectComma("after the control text");
        }
        control.id = ParseItemId("control id");
        ExpectComma("after the control id");
        ParseRectangle(control.x, control.y, control.cx, control.cy);
        control.style = kind->defaultStyle | w::WS_CHILD | w::WS_VISIBLE;
        if (TakeComma()) {
            control.style = ParseStyle(kind->baseStyle | w::WS_CHILD | w::WS_VISIBLE);
            ParseControlTail(control, extended);
        }
        return control;
    }

    // [, exstyle [, help id]] after a control's style.
    void ParseControlTail(ControlModel& control, bool extended) {
        if (!TakeComma()) {
            return;
        }
        control.exStyle = ToUint32(tokens_.Peek(), ParseExpression(), "extended style");
        if (IsPunct(tokens_.Peek(), ',')) {
            if (!extended) {
                Fail(tokens_.Peek(), "a control help id needs DIALOGEX");
            }
            tokens_.Next();
            ToUint32(tokens_.Peek(), ParseExpression(), "help id");
        }
    }

    // CONTROL text, id, class, style, x, y, cx, cy [, exstyle [, help id]]
    void ParseGenericControl(ControlModel& control, bool extended) {
        const Token textToken = tokens_.Peek();
        if (textToken.kind == Token::Kind::String) {
            control.text = ExpectString("control text");
        } else {
            control.textResourceId =
                static_cast<int>(ParseInRange("control text resource id", 1, 65535));
        }
        ExpectComma("after the control text");
        control.id = ParseItemId("control id");
        ExpectComma("after the control id");
        const Token classToken = tokens_.Next();
        if (classToken.kind == Token::Kind::String || classToken.kind == Token::Kind::Identifier) {
            control.windowClass = classToken.text;
            const bool builtIn = std::any_of(
                std::begin(kBuiltInClasses), std::end(kBuiltInClasses),
                [&](std::string_view k) { return EqualsIgnoreCase(classToken.text, k); });
            if (builtIn) {
                // Stored as the class atom; named here as the layer knows it.
                control.windowClass = Upper(classToken.text);
            } else if (classToken.kind == Token::Kind::Identifier) {
                Fail(classToken,
                     "unknown control class " + classToken.text + " (a class name goes in quotes)");
            }
            if (control.windowClass.empty() ||
                control.windowClass.find('\0') != std::string::npos) {
                Fail(classToken, "bad control class name");
            }
        } else {
            Fail(classToken, "expected a control class, found " + Describe(classToken));
        }
        ExpectComma("after the control class");
        control.style = ParseStyle(win32::WS_CHILD | win32::WS_VISIBLE);
        ExpectComma("after the control style");
        ParseRectangle(control.x, control.y, control.cx, control.cy);
        ParseControlTail(control, extended);
        if (control.textResourceId != -1 &&
            (control.windowClass != "STATIC" ||
             (control.style & win32::SS_TYPEMASK) != win32::SS_BITMAP)) {
            Fail(textToken,
                 "a control text given as a number names a bitmap and needs an "
                 "SS_BITMAP static");
        }
    }

    // ---- MENU ----

    void ParseMenu(const Token& nameToken, int id) {
        CheckUnique(out_.menus, id, nameToken, "MENU");
        MenuModel menu;
        menu.id = id;
        menu.line = nameToken.where.line;
        SkipMemoryOptions();
        ExpectBegin("of MENU " + std::to_string(id));
        ParseMenuItems(menu, 0, nameToken, "MENU " + std::to_string(id));
        out_.menus.push_back(std::move(menu));
    }

    // opening and what name the block being read, for a missing END.
    void ParseMenuItems(MenuModel& menu, int depth, const Token& opening, const std::string& what) {
        using Kind = MenuItemTemplate::Kind;
        ReadItemsUntilEnd(opening, what, [&](const Token&) {
            const Token token = tokens_.Next();
            if (IsKeyword(token, "MENUITEM")) {
                if (IsKeyword(tokens_.Peek(), "SEPARATOR")) {
                    tokens_.Next();
                    menu.items.push_back(MenuItemModel{Kind::Separator, "", 0, 0});
                    return;
                }
                MenuItemModel item;
                item.kind = Kind::Item;
                item.text = ExpectString("menu item text");
                ExpectComma("after the menu item text");
                item.id = ParseItemId("menu item id");
                item.flags = ParseMenuOptions();
                menu.items.push_back(std::move(item));
            } else if (IsKeyword(token, "POPUP")) {
                if (depth + 1 > kMaxMenuDepth) {
                    Fail(token, "menus nested too deeply");
                }
                MenuItemModel popup;
                popup.kind = Kind::Popup;
                popup.text = ExpectString("popup text");
                popup.flags = ParseMenuOptions();
                ExpectBegin("of POPUP \"" + popup.text + "\"");
                menu.items.push_back(std::move(popup));
                ParseMenuItems(menu, depth + 1, token, "POPUP \"" + menu.items.back().text + "\"");
                menu.items.push_back(MenuItemModel{Kind::EndPopup, "", 0, 0});
            } else {
                Fail(token, "expected MENUITEM, POPUP or END, found " + Describe(token));
            }
        });
    }

    std::uint32_t ParseMenuOptions() {
        struct Option {
            std::string_view name;
            std::uint32_t flag;
        };
        static constexpr Option kOptions[] = {
            {"CHECKED", win32::MF_CHECKED},           {"GRAYED", win32::MF_GRAYED},
            {"INACTIVE", win32::MF_DISABLED},         {"HELP", win32::MF_HELP},
            {"MENUBARBREAK", win32::MF_MENUBARBREAK}, {"MENUBREAK", win32::MF_MENUBREAK},
        };
        const auto find = [&](const Token& token) -> const Option* {
            for (const Option& option : kOptions) {
                if (IsKeyword(token, option.name))
                    return &option;
            }
            return nullptr;
        };
        std::uint32_t flags = 0;
        for (;;) {
            const bool comma = IsPunct(tokens_.Peek(), ',');
            const Token& candidate = tokens_.Peek(comma ? 1 : 0);
            const Option* option = find(candidate);
            if (option == nullptr) {
                if (comma) {
                    Fail(candidate, "unknown menu item option " + Describe(candidate));
                }
                return flags;
            }
            if (comma) {
                tokens_.Next();
            }
            tokens_.Next();
            flags |= option->flag;
        }
    }

    // ---- ACCELERATORS ----

    void ParseAccelerators(const Token& nameToken, int id) {
        CheckUnique(out_.accelerators, id, nameToken, "ACCELERATORS");
        AcceleratorTableModel table;
        table.id = id;
        table.line = nameToken.where.line;
        SkipMemoryOptions();
        ExpectBegin("of ACCELERATORS " + std::to_string(id));
        ReadItemsUntilEnd(nameToken, "ACCELERATORS " + std::to_string(id),
                          [&](const Token&) { table.entries.push_back(ParseAcceleratorEntry()); });
        out_.accelerators.push_back(std::move(table));
    }

    AcceleratorEntry ParseAcceleratorEntry() {
        const Token event = tokens_.Peek();
        std::string keyText;
        std::int64_t keyValue = 0;
        const bool isString = event.kind == Token::Kind::String;
        if (isString) {
            keyText = tokens_.Next().text;
        } else {
            keyValue = ParseInRange("accelerator key", 0, 0xFFFF);
        }
        ExpectComma("after the accelerator key");
        const std::int64_t command = ParseInRange("accelerator command", 0, 0xFFFF);
        bool virtKey = false;
        bool ascii = false;
        std::uint8_t flags = 0;
        Token modifierToken = event;
        for (;;) {
            const bool comma = IsPunct(tokens_.Peek(), ',');
            const Token& candidate = tokens_.Peek(comma ? 1 : 0);
            const bool known = IsKeyword(candidate, "VIRTKEY") || IsKeyword(candidate, "ASCII") ||
                               IsKeyword(candidate, "NOINVERT") || IsKeyword(candidate, "ALT") ||
                               IsKeyword(candidate, "SHIFT") || IsKeyword(candidate, "CONTROL");
            if (!known) {
                if (comma) {
                    Fail(candidate, "unknown accelerator option " + Describe(candidate));
                }
                break;
            }
            if (comma) {
                tokens_.Next();
            }
            const Token option = tokens_.Next();
            if (IsKeyword(option, "VIRTKEY")) {
                virtKey = true;
            } else if (IsKeyword(option, "ASCII")) {
                ascii = true;
            } else if (IsKeyword(option, "NOINVERT")) {
                flags |= win32::FNOINVERT;
            } else if (IsKeyword(option, "ALT")) {
                flags |= win32::FALT;
            } else if (IsKeyword(option, "SHIFT")) {
                flags |= win32::FSHIFT;
                modifierToken = option;
            } else {
                flags |= win32::FCONTROL;
                modifierToken = option;
            }
        }
        if (virtKey && ascii) {
            Fail(event, "an accelerator cannot be both VIRTKEY and ASCII");
        }
        std::uint16_t key = 0;
        if (isString) {
            if (keyText.size() == 2 && keyText[0] == '^' &&
                std::isalpha(static_cast<unsigned char>(keyText[1]))) {
                // "^C": the control key and a letter, stored as a virtual key
                // with CONTROL, as windres stores it.
                if (ascii) {
                    Fail(event, "a ^ accelerator cannot be ASCII");
                }
                key = static_cast<std::uint16_t>(
                    std::toupper(static_cast<unsigned char>(keyText[1])));
                virtKey = true;
                flags |= win32::FCONTROL;
            } else if (keyText.size() == 1) {
                key = static_cast<unsigned char>(keyText[0]);
            } else {
                Fail(event, "an accelerator key in quotes is one character, or ^ and a letter");
            }
        } else {
            key = static_cast<std::uint16_t>(keyValue);
        }
        if (virtKey) {
            flags |= win32::FVIRTKEY;
        } else if ((flags & (win32::FSHIFT | win32::FCONTROL)) != 0) {
            Fail(modifierToken, "SHIFT and CONTROL apply only to VIRTKEY accelerators");
        }
        return AcceleratorEntry{flags, key, static_cast<std::uint16_t>(command)};
    }

    // ---- BITMAP ----

    // The resource type of a user-defined resource: a number, or a Win32 name
    // of one (RT_MANIFEST); nothing for a word that is not a number.
    std::optional<std::int64_t> TypeNumber(const Token& type) {
        if (type.kind == Token::Kind::Number) {
            return type.number;
        }
        if (type.kind == Token::Kind::Identifier) {
            if (const auto value = LookupWin32Constant(type.text)) {
                return *value;
            }
        }
        return std::nullopt;
    }

    struct NamedFile {
        Token token;       // where the name was written
        std::string name;  // as written, backslashes made slashes
        std::string path;  // as found
        std::string bytes;
    };

    // The quoted file name of a BITMAP, ICON or manifest and its contents,
    // looked up beside the file that names it, then in the -I directories.
    NamedFile ReadNamedFile(const char* statement, const char* kind) {
        SkipMemoryOptions();
        NamedFile file{tokens_.Peek(), "", "", ""};
        file.name = ExpectString((std::string(kind) + " file name").c_str());
        std::replace(file.name.begin(), file.name.end(), '\\', '/');
        if (file.name.empty()) {
            Fail(file.token, std::string(statement) + " names no file");
        }
        std::vector<std::string> candidates{
            JoinPath(DirectoryOf(file.token.where.file), file.name)};
        for (const std::string& dir : includeDirectories_) {
            candidates.push_back(JoinPath(dir, file.name));
        }
        for (const std::string& path : candidates) {
            if (auto bytes = loader_.Read(path)) {
                file.path = path;
                file.bytes = std::move(*bytes);
                return file;
            }
        }
        Fail(file.token, std::string("cannot open ") + kind + " file \"" + file.name + "\"");
    }

    void ParseBitmap(const Token& nameToken, int id) {
        CheckUnique(out_.bitmaps, id, nameToken, "BITMAP");
        const NamedFile file = ReadNamedFile("BITMAP", "bitmap");
        const std::string& bytes = file.bytes;
        // A BITMAPFILEHEADER (14 bytes, "BM") and at least a BITMAPCOREHEADER.
        if (bytes.size() < 14 + 12 || bytes[0] != 'B' || bytes[1] != 'M') {
            Fail(file.token, "\"" + file.name + "\" is not a BMP file");
        }
        out_.bitmaps.push_back(
            BitmapModel{id, file.path, {bytes.begin(), bytes.end()}, nameToken.where.line});
    }

    // ---- ICON and the manifest ----

    // An .ico file: ICONDIR (reserved 0, type 1, a count), a 16-byte entry per
    // image (width, height, colours, reserved, planes, bit count, size,
    // offset), each image inside the file.
    void ParseIcon(const Token& nameToken, int id) {
        CheckUnique(out_.icons, id, nameToken, "ICON");
        const NamedFile file = ReadNamedFile("ICON", "icon");
        const std::string& bytes = file.bytes;
        const auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
        const auto u16 = [&](std::size_t i) {
            return static_cast<std::uint32_t>(at(i) | at(i + 1) << 8);
        };
        const auto u32 = [&](std::size_t i) { return u16(i) | u16(i + 2) << 16; };
        const std::string quoted = "\"" + file.name + "\"";
        if (bytes.size() < 6 || u16(0) != 0 || u16(2) != 1) {
            Fail(file.token, quoted + " is not an icon file");
        }
        const std::size_t count = u16(4);
        if (count == 0 || bytes.size() < 6 + 16 * count) {
            Fail(file.token, quoted + " lists no images or is cut short");
        }
        IconModel icon{id, file.path, {}, nameToken.where.line};
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t entry = 6 + 16 * i;
            const std::uint64_t size = u32(entry + 8), offset = u32(entry + 12);
            if (size == 0 || offset + size > bytes.size()) {
                Fail(file.token,
                     quoted + ": image " + std::to_string(i + 1) + " lies outside the file");
            }
            IconImageModel image;
            image.width = at(entry) == 0 ? 256 : at(entry);
            image.height = at(entry + 1) == 0 ? 256 : at(entry + 1);
            image.colorCount = at(entry + 2);
            image.planes = static_cast<int>(u16(entry + 4));
            image.bitCount = static_cast<int>(u16(entry + 6));
            image.bytes.assign(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                               bytes.begin() + static_cast<std::ptrdiff_t>(offset + size));
            icon.images.push_back(std::move(image));
        }
        out_.icons.push_back(std::move(icon));
    }

    // A manifest is XML: its first character, after a byte-order mark and
    // white space, is '<'.
    void ParseManifest(const Token& nameToken, int id) {
        CheckUnique(out_.manifests, id, nameToken, "manifest");
        const NamedFile file = ReadNamedFile("the manifest", "manifest");
        std::string_view text = file.bytes;
        if (text.substr(0, 3) == "\xEF\xBB\xBF") {
            text.remove_prefix(3);
        }
        const std::size_t first = text.find_first_not_of(" \t\r\n");
        if (first == std::string_view::npos || text[first] != '<') {
            Fail(file.token, "\"" + file.name + "\" is not an XML manifest");
        }
        out_.manifests.push_back(ManifestModel{
            id, file.path, {file.bytes.begin(), file.bytes.end()}, nameToken.where.line});
    }

    // ---- VERSIONINFO ----

    void ParseVersionInfo(const Token& nameToken, int id) {
        CheckUnique(out_.versions, id, nameToken, "VERSIONINFO");
        VersionModel version;
        version.id = id;
        version.line = nameToken.where.line;
        for (;;) {
            const Token token = tokens_.Next();
            if (IsBegin(token)) {
                break;
            }
            if (IsKeyword(token, "FILEVERSION") || IsKeyword(token, "PRODUCTVERSION")) {
                auto& parts =
                    IsKeyword(token, "FILEVERSION") ? version.fileVersion : version.productVersion;
                parts = {};
                for (std::size_t i = 0; i < parts.size(); ++i) {
                    parts[i] = static_cast<std::uint16_t>(ParseInRange("version part", 0, 0xFFFF));
                    if (!TakeComma()) {
                        break;
                    }
                    if (i + 1 == parts.size()) {
                        Fail(tokens_.Peek(), "a version has at most four parts");
                    }
                }
            } else if (IsKeyword(token, "FILEFLAGSMASK") || IsKeyword(token, "FILEFLAGS") ||
                       IsKeyword(token, "FILEOS") || IsKeyword(token, "FILETYPE") ||
                       IsKeyword(token, "FILESUBTYPE")) {
                ToUint32(tokens_.Peek(), ParseExpression(), "value");
            } else if (token.kind == Token::Kind::Identifier) {
                Fail(token, "unknown VERSIONINFO statement " + token.text);
            } else {
                Fail(token, "expected BEGIN of VERSIONINFO, found " + Describe(token));
            }
        }
        ParseVersionBlock(version, 0, false, nameToken, "VERSIONINFO");
        out_.versions.push_back(std::move(version));
    }

    void ParseVersionBlock(VersionModel& version, int depth, bool strings, const Token& opening,
                           const std::string& what) {
        ReadItemsUntilEnd(opening, what, [&](const Token&) {
            const Token token = tokens_.Next();
            if (IsKeyword(token, "BLOCK")) {
                if (depth + 1 > kMaxVersionBlockDepth) {
                    Fail(token, "version blocks nested too deeply");
                }
                const std::string name = ExpectString("block name", true);
                ExpectBegin("of BLOCK \"" + name + "\"");
                ParseVersionBlock(version, depth + 1, strings || name == "StringFileInfo", token,
                                  "BLOCK \"" + name + "\"");
            } else if (IsKeyword(token, "VALUE")) {
                const std::string key = ExpectString("value name", true);
                ExpectComma("after the value name");
                bool first = true;
                do {
                    if (tokens_.Peek().kind == Token::Kind::String) {
                        std::string text = tokens_.Next().text;
                        if (first && strings) {
                            version.strings.emplace_back(key, std::move(text));
                        }
                    } else {
                        ToUint32(tokens_.Peek(), ParseExpression(), "value");
                    }
                    first = false;
                } while (TakeComma());
            } else {
                Fail(token, "expected BLOCK, VALUE or END, found " + Describe(token));
            }
        });
    }

    Preprocessor& tokens_;
    SourceLoader& loader_;
    const std::vector<std::string>& includeDirectories_;
    ResourceFile out_;
};

}  // namespace

ParseResult ParseResourceFile(const std::string& path, SourceLoader& loader,
                              const std::vector<std::string>& includeDirectories) {
    ParseResult result;
    try {
        Preprocessor tokens(loader, includeDirectories);
        tokens.Open(path);
        Parser parser(tokens, loader, includeDirectories);
        result.resources = parser.ParseAll();
        result.ok = true;
    } catch (const RcFailure& failure) {
        result.error = failure.error();
    } catch (const std::bad_alloc&) {
        result.error = RcError{SourceLocation{path, 0}, "out of memory"};
    } catch (const std::exception& e) {
        // A fault of the reader itself; still a diagnostic, never a crash.
        result.error = RcError{SourceLocation{path, 0}, std::string("internal error: ") + e.what()};
    }
    return result;
}

}  // namespace platform::rc::reader
