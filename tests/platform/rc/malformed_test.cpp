// Malformed resource files fail the build: zembrix-rc, run on each file under
// malformed/, exits with status 1, prints exactly one line "file:line: what is
// wrong" naming the right line, and leaves no output file behind. The reader
// library gives the same diagnostic when called directly.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/rc/rc_parser.h"
#include "tests/platform/rc/test_support.h"

namespace {

namespace fs = std::filesystem;

struct Case {
    const char* file;  // under malformed/
    int line;
    const char* message;             // a part of the message
    const char* reported = nullptr;  // the file the diagnostic names: an included header
};

const Case kCases[] = {
    {"unterminated_string.rc", 3, "unterminated string"},
    {"unknown_statement.rc", 5, "unknown control statement LTEXTT"},
    {"unknown_resource_type.rc", 3, "unknown resource type DIALOGUE"},
    {"missing_end.rc", 2, "DIALOG 1 has no END"},
    {"missing_end_before_menu.rc", 6, "expected a control statement or END, found number 2"},
    {"bad_number.rc", 2, "bad number '12abc'"},
    {"bad_hex_number.rc", 3, "no hexadecimal digits"},
    {"number_too_large.rc", 3, "does not fit in 32 bits"},
    {"undefined_symbol.rc", 6, "undefined symbol IDC_MISSING"},
    {"undefined_resource_name.rc", 2, "undefined symbol IDD_MISSING"},
    {"missing_bitmap.rc", 2, "cannot open bitmap file \"no-such-picture.bmp\""},
    {"not_a_bitmap.rc", 3, "is not a BMP file"},
    {"coordinate_too_large.rc", 4, "coordinate 40000 is out of range"},
    {"negative_coordinate_too_large.rc", 2, "coordinate -32769 is out of range"},
    {"style_overflow.rc", 3, "style 4294967296 does not fit in 32 bits"},
    {"division_by_zero.rc", 2, "division by zero"},
    {"unterminated_comment.rc", 3, "unterminated comment"},
    {"missing_include.rc", 3, "cannot open include file \"no-such-header.h\""},
    {"function_macro.rc", 2, "function-like macro ID"},
    {"unbalanced_ifdef.rc", 3, "without #endif"},
    {"stray_endif.rc", 2, "#endif without #ifdef"},
    {"duplicate_dialog.rc", 5, "duplicate DIALOG resource 1 (first defined at line 2)"},
    {"bitmap_text_without_ss_bitmap.rc", 4, "needs an SS_BITMAP static"},
    {"bad_escape.rc", 4, "unknown escape '\\q'"},
    {"dialog_class.rc", 3, "dialog CLASS is not supported"},
    {"accelerator_modifier_without_virtkey.rc", 4, "apply only to VIRTKEY"},
    {"menu_unknown_option.rc", 6, "unknown menu item option BOLD"},
    {"nested_too_deeply.rc", 2, "nested too deeply"},
    {"unexpected_character.rc", 2, "unexpected character '@'"},
    {"font_weight_in_dialog.rc", 3, "need DIALOGEX"},
    {"error_in_header.rc", 2, "bad number '0x'", "error_in_header.h"},
    {"string_resource_name.rc", 2, "resource names must be numbers"},
    {"not_an_icon.rc", 3, "is not an icon file"},
    {"not_a_manifest.rc", 3, "is not an XML manifest"},
    {"user_defined_type.rc", 3, "resource type 23 is not supported"},
};

fs::path MalformedDir() {
    return rc_test::FixturesDir() / "malformed";
}

TEST(RcMalformed, EveryMalformedFileHasAnExpectation) {
    std::set<std::string> listed;
    for (const Case& c : kCases)
        listed.insert(c.file);
    for (const auto& entry : fs::directory_iterator(MalformedDir())) {
        if (entry.path().extension() == ".rc") {
            EXPECT_EQ(listed.count(entry.path().filename().string()), 1u) << entry.path();
        }
    }
}

TEST(RcMalformed, TheToolAndTheLibraryGiveOneLineNamingFileAndLine) {
    rc_test::TempDir dir;
    const fs::path output = dir.path() / "out.cpp";
    const fs::path errors = dir.path() / "stderr.txt";
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.file);
        const fs::path rc = MalformedDir() / c.file;
        EXPECT_EQ(rc_test::RunCommand(rc_test::ShellQuote(ZEMBRIX_RC_TOOL) + " " +
                                      rc_test::ShellQuote(rc.string()) + " " +
                                      rc_test::ShellQuote(output.string()) + " 2> " +
                                      rc_test::ShellQuote(errors.string())),
                  1);
        EXPECT_FALSE(fs::exists(output));
        const std::string text = rc_test::ReadText(errors);
        const std::string where = (MalformedDir() / (c.reported ? c.reported : c.file)).string() +
                                  ":" + std::to_string(c.line) + ": ";
        EXPECT_EQ(text.find('\n'), text.size() - 1) << "not one line: " << text;
        EXPECT_EQ(text.rfind(where, 0), 0u) << text;
        EXPECT_NE(text.find(c.message), std::string::npos) << text;

        platform::rc::reader::DiskSourceLoader loader;
        const auto result = platform::rc::reader::ParseResourceFile(rc.string(), loader);
        ASSERT_FALSE(result.ok);
        EXPECT_EQ(result.error.where.line, c.line);
        EXPECT_NE(result.error.message.find(c.message), std::string::npos);
    }
}

TEST(RcMalformed, TheToolWritesTablesAndADepfileForAGoodFile) {
    rc_test::TempDir dir;
    const fs::path output = dir.path() / "tables.cpp";
    const fs::path depfile = dir.path() / "tables.d";
    const fs::path rc = rc_test::FixturesDir() / "fixtures" / "forms.rc";
    const fs::path include = rc_test::FixturesDir() / "fixtures" / "include";
    ASSERT_EQ(rc_test::RunCommand(rc_test::ShellQuote(ZEMBRIX_RC_TOOL) + " -I " +
                                  rc_test::ShellQuote(include.string()) + " " +
                                  rc_test::ShellQuote(rc.string()) + " " +
                                  rc_test::ShellQuote(output.string()) + " --depfile " +
                                  rc_test::ShellQuote(depfile.string())),
              0);
    EXPECT_NE(rc_test::ReadText(output).find("kBitmap300Bytes"), std::string::npos);
    const std::string deps = rc_test::ReadText(depfile);
    EXPECT_NE(deps.find("forms.h"), std::string::npos) << deps;
    EXPECT_NE(deps.find("tiny.bmp"), std::string::npos) << deps;
    EXPECT_NE(deps.find("include/tiny.ico"), std::string::npos) << deps;
    EXPECT_NE(deps.find("include/tiny.manifest"), std::string::npos) << deps;
    EXPECT_EQ(
        rc_test::RunCommand(rc_test::ShellQuote(ZEMBRIX_RC_TOOL) + " only-one.rc 2> /dev/null"), 2);
}

}  // namespace
