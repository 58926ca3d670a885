// The .rc reader on its own, on resource scripts held in memory: the styles a
// resource compiler stores, number expressions, the preprocessor, strings,
// accelerators, the files bitmaps, icons and manifests name, the version
// resource, and the emitter's escaping.
// The windres test checks every statement form of fixtures/forms.rc (menus,
// DIALOGEX fonts, control classes among them) against the real compiler.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "platform/rc/rc_emitter.h"
#include "platform/rc/rc_parser.h"

namespace {

using platform::rc::reader::MemorySourceLoader;
using platform::rc::reader::ParseResourceFile;
using platform::rc::reader::ParseResult;

constexpr std::uint32_t kChildVisible = 0x50000000u;

ParseResult Parse(const std::string& rc, const std::map<std::string, std::string>& files = {}) {
    MemorySourceLoader loader;
    loader.Add("dir/test.rc", rc);
    for (const auto& [path, text] : files) {
        loader.Add(path, text);
    }
    return ParseResourceFile("dir/test.rc", loader, {"inc"});
}

// The styles of the controls of the one dialog of rc.
std::vector<std::uint32_t> ControlStyles(const std::string& controls) {
    const auto result = Parse("1 DIALOG 0, 0, 10, 10\nBEGIN\n" + controls + "END\n");
    EXPECT_TRUE(result.ok) << result.error.ToString();
    std::vector<std::uint32_t> styles;
    if (result.ok) {
        for (const auto& control : result.resources.dialogs.at(0).controls) {
            styles.push_back(control.style);
        }
    }
    return styles;
}

std::uint32_t DialogStyle(const std::string& statements) {
    const auto result = Parse("1 DIALOG 0, 0, 10, 10\n" + statements + "\nBEGIN\nEND\n");
    EXPECT_TRUE(result.ok) << result.error.ToString();
    return result.ok ? result.resources.dialogs.at(0).style : 0;
}

TEST(RcReaderStyles, DialogDefaultsToPopupBorderSysmenuAndCaptionAndFontAddTheirBits) {
    EXPECT_EQ(DialogStyle(""), 0x80880000u);                // WS_POPUPWINDOW
    EXPECT_EQ(DialogStyle("CAPTION \"x\""), 0x80C80000u);   // + WS_CAPTION
    EXPECT_EQ(DialogStyle("STYLE WS_POPUP"), 0x80000000u);  // STYLE replaces the default
    EXPECT_EQ(DialogStyle("CAPTION \"x\"\nSTYLE WS_POPUP"), 0x80C00000u);  // either order
    EXPECT_EQ(DialogStyle("STYLE WS_POPUP\nFONT 8, \"MS Sans Serif\""), 0x80000040u);
    EXPECT_EQ(DialogStyle("STYLE WS_POPUP | WS_VISIBLE | NOT WS_POPUP"), 0x10000000u);
}

TEST(RcReaderStyles, ControlsGetTheImpliedStylesOfTheirStatements) {
    const auto styles = ControlStyles(
        "LTEXT \"a\", -1, 0, 0, 1, 1\n"                             // SS_LEFT | WS_GROUP
        "RTEXT \"a\", -1, 0, 0, 1, 1\n"                             // SS_RIGHT | WS_GROUP
        "CTEXT \"a\", -1, 0, 0, 1, 1\n"                             // SS_CENTER | WS_GROUP
        "EDITTEXT 1, 0, 0, 1, 1\n"                                  // WS_BORDER | WS_TABSTOP
        "PUSHBUTTON \"a\", 2, 0, 0, 1, 1\n"                         // WS_TABSTOP
        "DEFPUSHBUTTON \"a\", 3, 0, 0, 1, 1\n"                      // BS_DEFPUSHBUTTON | WS_TABSTOP
        "GROUPBOX \"a\", 4, 0, 0, 1, 1\n"                           // BS_GROUPBOX, no tab stop
        "CONTROL \"a\", 5, \"msctls_progress32\", 1, 0, 0, 1, 1\n"  // only WS_CHILD | WS_VISIBLE
    );
    const std::vector<std::uint32_t> expected = {
        kChildVisible | 0x20000u,  kChildVisible | 0x20002u, kChildVisible | 0x20001u,
        kChildVisible | 0x810000u, kChildVisible | 0x10000u, kChildVisible | 0x10001u,
        kChildVisible | 0x7u,      kChildVisible | 0x1u,
    };
    EXPECT_EQ(styles, expected);
}

TEST(RcReaderStyles, ExplicitStylesAddToTheBaseStyleAndNotClearsBits) {
    const auto styles = ControlStyles(
        "LTEXT \"a\", -1, 0, 0, 1, 1, SS_LEFTNOWORDWRAP\n"  // WS_GROUP is not kept
        "LTEXT \"a\", -1, 0, 0, 1, 1, SS_LEFTNOWORDWRAP | WS_GROUP\n"
        "EDITTEXT 1, 0, 0, 1, 1, ES_AUTOHSCROLL\n"  // border and tab stop are kept
        "EDITTEXT 1, 0, 0, 1, 1, ES_AUTOHSCROLL | NOT WS_BORDER\n"
        "PUSHBUTTON \"a\", 2, 0, 0, 1, 1, NOT WS_TABSTOP\n"
        "CONTROL \"a\", 5, \"Button\", BS_OWNERDRAW | NOT WS_VISIBLE, 0, 0, 1, 1\n");
    const std::vector<std::uint32_t> expected = {
        kChildVisible | 0xCu,
        kChildVisible | 0x2000Cu,
        kChildVisible | 0x810080u,
        kChildVisible | 0x10080u,
        kChildVisible,
        0x4000000Bu,
    };
    EXPECT_EQ(styles, expected);
}

TEST(RcReaderExpressions, NumbersSymbolsAndOperatorsEvaluateAsInC) {
    const auto result = Parse(
        "#define BASE 0x10L\n#define TWICE (BASE * 2)\n"
        "1 DIALOG TWICE + 1, (1 + 2) * 3 - 4 / 3 % 2, ~0 & 0xFF, -(2) | 1\nBEGIN\nEND\n");
    ASSERT_TRUE(result.ok) << result.error.ToString();
    const auto& d = result.resources.dialogs.at(0);
    EXPECT_EQ(d.x, 33);
    EXPECT_EQ(d.y, 8);
    EXPECT_EQ(d.cx, 255);
    EXPECT_EQ(d.cy, -1);
}

TEST(RcReaderPreprocessor, ConditionalsIncludesAndIncludeOnce) {
    const std::map<std::string, std::string> files = {
        {"dir/ids.h", "#pragma once\n#define IDD_A 5\n#include \"more.h\"\n"},
        {"inc/more.h", "#ifndef MORE_H\n#define MORE_H\n#define IDD_B 6\n#endif\n"},
    };
    const auto result = Parse(
        "#include <windows.h>\n#include \"ids.h\"\n#include \"ids.h\"\n#include \"more.h\"\n"
        "#ifdef IDD_A\nIDD_A DIALOG 0, 0, 1, 1 BEGIN END\n#else\n"
        "anything at all @ \"unterminated\n#endif\n"
        "#ifndef IDD_A\n7 DIALOG 0, 0, 1, 1 BEGIN END\n#endif\n"
        "#undef IDD_A\n#ifdef IDD_A\n8 DIALOG 0, 0, 1, 1 BEGIN END\n#endif\n"
        "IDD_B DIALOG 0, 0, 1, 1 BEGIN END\n",
        files);
    ASSERT_TRUE(result.ok) << result.error.ToString();
    ASSERT_EQ(result.resources.dialogs.size(), 2u);
    EXPECT_EQ(result.resources.dialogs[0].id, 5);
    EXPECT_EQ(result.resources.dialogs[1].id, 6);
}

TEST(RcReaderPreprocessor, ErrorsInAnIncludedFileNameThatFile) {
    const auto result = Parse("#include \"ids.h\"\n", {{"dir/ids.h", "// ids\n#define X 0x\n"}});
    ASSERT_FALSE(result.ok);
    EXPECT_EQ(result.error.where.file, "dir/ids.h");
    EXPECT_EQ(result.error.where.line, 2);
}

TEST(RcReaderPreprocessor, SelfReferentialMacrosStopExpandingAndAreUndefined) {
    const auto result = Parse("#define A B\n#define B A\nA DIALOG 0, 0, 1, 1 BEGIN END\n");
    ASSERT_FALSE(result.ok);
    EXPECT_EQ(result.error.where.line, 3);
    EXPECT_NE(result.error.message.find("undefined symbol"), std::string::npos);
}

TEST(RcReaderStrings, EscapesAndDoubledQuotes) {
    const auto result = Parse(
        "1 DIALOG 0, 0, 1, 1\nCAPTION \"a\\tb\\n\\\\ \\\"q\\\" \"\"d\"\" \\x41\\102\\0777\"\n"
        "BEGIN\nEND\n");
    ASSERT_TRUE(result.ok) << result.error.ToString();
    EXPECT_EQ(result.resources.dialogs.at(0).caption, "a\tb\n\\ \"q\" \"d\" AB?7");
}

TEST(RcReaderStrings, ANulCharacterInAControlTextIsRefused) {
    const auto result =
        Parse("1 DIALOG 0, 0, 1, 1\nBEGIN\n  LTEXT \"a\\0b\", -1, 0, 0, 1, 1\nEND\n");
    ASSERT_FALSE(result.ok);
    EXPECT_EQ(result.error.where.line, 3);
}

TEST(RcReaderAccelerators, KeysAndModifiers) {
    const auto result = Parse(
        "1 ACCELERATORS\nBEGIN\n  VK_F4, 1, VIRTKEY, ALT, NOINVERT\n  \"A\", 2, VIRTKEY, CONTROL, "
        "SHIFT\n  \"a\", 3\n  \"^x\", 4\n  65, 5, ASCII\nEND\n");
    ASSERT_TRUE(result.ok) << result.error.ToString();
    const auto& e = result.resources.accelerators.at(0).entries;
    ASSERT_EQ(e.size(), 5u);
    EXPECT_EQ(e[0].fVirt, 0x13);  // FVIRTKEY | FNOINVERT | FALT
    EXPECT_EQ(e[0].key, 0x73);
    EXPECT_EQ(e[1].fVirt, 0x0D);  // FVIRTKEY | FSHIFT | FCONTROL
    EXPECT_EQ(e[2].fVirt, 0x00);
    EXPECT_EQ(e[2].key, 'a');
    EXPECT_EQ(e[3].fVirt, 0x09);  // "^x" is Ctrl and the virtual key X
    EXPECT_EQ(e[3].key, 'X');
    EXPECT_EQ(e[4].key, 65);
    EXPECT_EQ(e[4].cmd, 5);
}

// Bitmaps, icons and manifests: looked up next to the .rc file first, then in
// the -I directories; embedded whole; an icon's images must lie in its file.
TEST(RcReaderFiles, FoundNextToTheRcFileThenInTheIncludeDirectoriesAndEmbeddedWhole) {
    const std::string bmp = std::string("BM") + std::string(40, '\x01');
    // ICONDIR of one image, 16 x 16, 4 bytes at offset 22.
    const std::string ico =
        std::string("\0\0\1\0\1\0\x10\x10\0\0\1\0\x20\0\4\0\0\0\x16\0\0\0", 22) + "pixl";
    const auto result = Parse(
        "#define IDB_X 109\nIDB_X BITMAP \"pics\\\\about.bmp\"\n3 ICON \"app.ico\"\n"
        "1 RT_MANIFEST \"app.manifest\"\n",
        {{"dir/pics/about.bmp", bmp},
         {"inc/pics/about.bmp", "BM other"},
         {"inc/app.ico", ico},
         {"inc/app.manifest", "\xEF\xBB\xBF <assembly/>"}});
    ASSERT_TRUE(result.ok) << result.error.ToString();
    const auto& bitmap = result.resources.bitmaps.at(0);
    EXPECT_EQ(bitmap.id, 109);
    EXPECT_EQ(bitmap.path, "dir/pics/about.bmp");
    EXPECT_EQ(std::string(bitmap.bytes.begin(), bitmap.bytes.end()), bmp);
    EXPECT_EQ(result.resources.icons.at(0).path, "inc/app.ico");  // its images: the windres test
    EXPECT_EQ(result.resources.manifests.at(0).path, "inc/app.manifest");

    const auto cut = Parse("\n3 ICON \"app.ico\"\n", {{"inc/app.ico", ico.substr(0, 25)}});
    ASSERT_FALSE(cut.ok);
    EXPECT_EQ(cut.error.where.line, 2);
    EXPECT_NE(cut.error.message.find("image 1 lies outside the file"), std::string::npos);
}

TEST(RcReaderVersion, FixedVersionsAndStringsAreRead) {
    const auto result = Parse(
        "1 VERSIONINFO\nFILEVERSION 1,1,0,3\nPRODUCTVERSION 2,0\nFILEFLAGSMASK 0x3fL\n"
        "FILEOS VOS_NT_WINDOWS32\nBEGIN\n BLOCK \"StringFileInfo\"\n BEGIN\n  BLOCK \"040904b0\"\n"
        "  BEGIN\n   VALUE \"FileVersion\", \"1, 1, 0, 3\"\n  END\n END\n"
        " BLOCK \"VarFileInfo\"\n BEGIN\n  VALUE \"Translation\", 0x409, 1200\n END\nEND\n");
    ASSERT_TRUE(result.ok) << result.error.ToString();
    const auto& v = result.resources.versions.at(0);
    EXPECT_EQ(v.fileVersion, (std::array<std::uint16_t, 4>{1, 1, 0, 3}));
    EXPECT_EQ(v.productVersion, (std::array<std::uint16_t, 4>{2, 0, 0, 0}));
    ASSERT_EQ(v.strings.size(), 1u);
    EXPECT_EQ(v.strings[0].second, "1, 1, 0, 3");
}

TEST(RcReaderEmitter, StringLiteralsEscapeEveryByteThatNeedsIt) {
    EXPECT_EQ(platform::rc::reader::CppStringLiteral("a\"b\\c?\n\x80"
                                                     "1"),
              "\"a\\\"b\\\\c\\?\\012\\2001\"");
    EXPECT_EQ(platform::rc::reader::EmitDepfile("out dir/x.cpp", {"a b.rc", "c$.h"}),
              "out\\ dir/x.cpp: \\\n  a\\ b.rc \\\n  c$$.h\n");
}

// Bad input never crashes: every truncation of a real resource script either
// parses or gives a located diagnostic (the fuzz target tries the rest).
TEST(RcReaderRobustness, TruncatedScriptsNeverCrash) {
    const std::string rc =
        "#include \"ids.h\"\n#ifndef X\n#define X 3\n#endif\n"
        "IDD_A DIALOGEX 0, 0, 171, 44\nSTYLE DS_SETFONT | WS_POPUP | NOT WS_VISIBLE\n"
        "CAPTION \"c\\t\"\"x\"\"\"\nFONT 8, \"MS Sans Serif\", 0, 0, 0x1\nBEGIN\n"
        "  CTEXT \"text\", 1029, 7, 7, 157, 10\n"
        "  CONTROL \"P\", 1028, \"msctls_progress32\", PBS_SMOOTH, 7, (23), 133, 14\n"
        "  CONTROL 109, -1, \"Static\", SS_BITMAP, 7, 7, 85, 79\nEND\n"
        "2 MENU { POPUP \"F\" { MENUITEM \"E\", 4, GRAYED\n MENUITEM SEPARATOR } }\n"
        "3 ACCELERATORS BEGIN VK_F4, 1, VIRTKEY, ALT \"^C\", 2 END\n"
        "/* c */ 4 BITMAP \"a.bmp\"\n"
        "1 VERSIONINFO FILEVERSION 1,2 BEGIN BLOCK \"S\" BEGIN VALUE \"k\", \"v\", 3 END END\n";
    const std::map<std::string, std::string> files = {
        {"dir/ids.h", "#define IDD_A 100\n"},
        {"dir/a.bmp", std::string("BM") + std::string(30, '\0')}};
    for (std::size_t cut = 0; cut < rc.size(); ++cut) {
        const auto result = Parse(rc.substr(0, cut), files);
        if (!result.ok) {
            ASSERT_GE(result.error.where.line, 1) << result.error.ToString();
            ASSERT_FALSE(result.error.message.empty());
        }
    }
    EXPECT_TRUE(Parse(rc, files).ok) << Parse(rc, files).error.ToString();
}

// Files saved with Windows line ends read the same as with Unix ones.
TEST(RcReaderRobustness, CrLfLineEndsReadTheSameAsLf) {
    const auto read = [](const std::string& name, bool crlf) {
        std::ifstream in(std::string(ZEMBRIX_SOURCE_DIR) + "/resources/" + name, std::ios::binary);
        std::string out;
        for (char c; in.get(c);)
            out += crlf && c == '\n' ? std::string("\r\n") : std::string(1, c);
        return out;
    };
    // The bitmap is binary: it is read as it is either way. The icon and the
    // manifest are the build's, found in the -I directory.
    const std::string bitmap = read("about.bmp", false);
    std::map<std::string, std::string> files = {{"dir/about.bmp", bitmap}};
    for (const char* made : {"zembrix.ico", "zembrix.exe.manifest"}) {
        std::ifstream in(std::string(ZEMBRIX_WINDOWS_RESOURCE_DIR) + "/" + made, std::ios::binary);
        files["inc/" + std::string(made)] = {std::istreambuf_iterator<char>(in), {}};
    }
    files["dir/resource.h"] = read("resource.h", false);
    const auto lf = Parse(read("zembrix.rc", false), files);
    files["dir/resource.h"] = read("resource.h", true);
    const auto windows = Parse(read("zembrix.rc", true), files);
    ASSERT_TRUE(lf.ok) << lf.error.ToString();
    ASSERT_TRUE(windows.ok) << windows.error.ToString();
    ASSERT_EQ(lf.resources.dialogs.size(), windows.resources.dialogs.size());
    for (std::size_t d = 0; d < lf.resources.dialogs.size(); ++d) {
        const auto& a = lf.resources.dialogs[d];
        const auto& b = windows.resources.dialogs[d];
        EXPECT_EQ(a.caption, b.caption);
        ASSERT_EQ(a.controls.size(), b.controls.size());
        for (std::size_t i = 0; i < a.controls.size(); ++i)
            EXPECT_EQ(a.controls[i].text, b.controls[i].text);
    }
    EXPECT_EQ(lf.resources.versions.at(0).strings, windows.resources.versions.at(0).strings);
}

}  // namespace
