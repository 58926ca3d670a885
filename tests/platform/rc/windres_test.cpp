// The reader against the Windows resource compiler: the same .rc compiled by
// MinGW's windres, its dialog, menu, accelerator, bitmap and version resources
// decoded, must hold exactly the values of the reader's tables. Skipped where
// windres is not installed (scripts/bootstrap installs it).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <set>
#include <string>

#include "platform/rc/rc_constants.h"
#include "platform/rc/rc_parser.h"
#include "platform/rc/resource_tables.h"
#include "tests/platform/rc/res_file.h"
#include "tests/platform/rc/test_support.h"

namespace {

namespace fs = std::filesystem;
using platform::rc::reader::DialogModel;
using platform::rc::reader::ResourceFile;

std::string Upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

class WindresTest : public ::testing::Test {
protected:
    void SetUp() override {
        windres_ = ZEMBRIX_WINDRES;
        if (windres_.empty() || !fs::exists(windres_)) {
            GTEST_SKIP() << "MinGW windres is not installed (Debian package "
                            "binutils-mingw-w64-x86-64); nothing to compare with";
        }
    }

    // Compiles rc with windres into a .res in the scratch directory.
    std::vector<rc_test::ResEntry> Compile(const fs::path& rc, const fs::path& includeDir) {
        const fs::path res = dir_.path() / "out.res";
        const fs::path log = dir_.path() / "windres.log";
        const int status = rc_test::RunCommand(rc_test::ShellQuote(windres_) + " -I " +
                                               rc_test::ShellQuote(includeDir.string()) + " " +
                                               rc_test::ShellQuote(rc.string()) + " -O res -o " +
                                               rc_test::ShellQuote(res.string()) + " > " +
                                               rc_test::ShellQuote(log.string()) + " 2>&1");
        EXPECT_EQ(status, 0) << "windres failed:\n" << rc_test::ReadText(log);
        auto entries = rc_test::ReadResFile(rc_test::ReadBytes(res));
        EXPECT_TRUE(entries.has_value()) << "windres wrote an unreadable .res";
        return entries.value_or(std::vector<rc_test::ResEntry>{});
    }

    ResourceFile Parse(const fs::path& rc) {
        platform::rc::reader::DiskSourceLoader loader;
        auto result = platform::rc::reader::ParseResourceFile(rc.string(), loader);
        EXPECT_TRUE(result.ok) << result.error.ToString();
        return result.resources;
    }

    std::string windres_;
    rc_test::TempDir dir_;
};

// checkExtended: the tables do not say DIALOG or DIALOGEX, nor the font's
// weight, italic flag and character set; the reader's model does.
void ExpectSameDialog(const DialogModel& ours, const rc_test::DecodedDialog& theirs,
                      bool checkExtended) {
    SCOPED_TRACE("dialog " + std::to_string(ours.id));
    if (checkExtended) {
        EXPECT_EQ(ours.extended, theirs.extended);
        if (theirs.extended && !theirs.fontName.empty()) {
            EXPECT_EQ(ours.fontWeight, theirs.fontWeight);
            EXPECT_EQ(ours.fontItalic, theirs.fontItalic != 0);
            EXPECT_EQ(ours.fontCharset, theirs.fontCharset);
        }
    }
    EXPECT_EQ(ours.style, theirs.style) << std::hex << ours.style << " vs " << theirs.style;
    EXPECT_EQ(ours.exStyle, theirs.exStyle);
    EXPECT_EQ(ours.x, theirs.x);
    EXPECT_EQ(ours.y, theirs.y);
    EXPECT_EQ(ours.cx, theirs.cx);
    EXPECT_EQ(ours.cy, theirs.cy);
    EXPECT_EQ(ours.caption, theirs.caption);
    EXPECT_EQ(ours.fontName, theirs.fontName);
    EXPECT_EQ(static_cast<std::uint16_t>(ours.fontPointSize), theirs.fontPointSize);
    ASSERT_EQ(ours.controls.size(), theirs.controls.size());
    for (std::size_t i = 0; i < ours.controls.size(); ++i) {
        const auto& a = ours.controls[i];
        const auto& b = theirs.controls[i];
        SCOPED_TRACE("control " + std::to_string(i) + " \"" + a.text + "\"");
        // windres stores class names upper-cased; Win32 compares them ignoring case.
        EXPECT_EQ(Upper(a.windowClass), Upper(b.windowClass));
        EXPECT_EQ(a.text, b.text);
        EXPECT_EQ(a.textResourceId, b.textOrdinal);
        // A DIALOG stores 16-bit ids, a DIALOGEX 32-bit ones: -1 is 0xFFFF or 0xFFFFFFFF.
        EXPECT_EQ(static_cast<std::uint16_t>(a.id), static_cast<std::uint16_t>(b.id));
        EXPECT_EQ(a.style, b.style) << std::hex << a.style << " vs " << b.style;
        EXPECT_EQ(a.exStyle, b.exStyle) << std::hex << a.exStyle << " vs " << b.exStyle;
        EXPECT_EQ(a.x, b.x);
        EXPECT_EQ(a.y, b.y);
        EXPECT_EQ(a.cx, b.cx);
        EXPECT_EQ(a.cy, b.cy);
    }
}

template <typename Items>
void ExpectSameMenu(const Items& ours, const std::vector<rc_test::DecodedMenuItem>& theirs) {
    ASSERT_EQ(ours.size(), theirs.size());
    for (std::size_t i = 0; i < theirs.size(); ++i) {
        SCOPED_TRACE("menu item " + std::to_string(i));
        EXPECT_EQ(ours[i].kind, theirs[i].kind);
        EXPECT_EQ(std::string(ours[i].text), theirs[i].text);
        EXPECT_EQ(ours[i].id, theirs[i].id);
        EXPECT_EQ(ours[i].flags, theirs[i].flags);
    }
}

template <typename Entries>
void ExpectSameAccelerators(const Entries& ours,
                            const std::vector<platform::rc::AcceleratorEntry>& theirs) {
    ASSERT_EQ(ours.size(), theirs.size());
    for (std::size_t i = 0; i < theirs.size(); ++i) {
        SCOPED_TRACE("accelerator " + std::to_string(i));
        EXPECT_EQ(ours[i].fVirt, theirs[i].fVirt);
        EXPECT_EQ(ours[i].key, theirs[i].key);
        EXPECT_EQ(ours[i].cmd, theirs[i].cmd);
    }
}

// Every resource of a type in the .res, by id.
std::set<int> IdsOfType(const std::vector<rc_test::ResEntry>& entries, std::uint16_t type) {
    std::set<int> ids;
    for (const auto& entry : entries) {
        if (entry.type == type)
            ids.insert(entry.id);
    }
    return ids;
}

TEST_F(WindresTest, GeneratedTablesHoldWhatWindresStoresForTheProgramsResources) {
    const fs::path rc = rc_test::SourceDir() / "resources" / "zembrix.rc";
    const auto entries = Compile(rc, rc_test::SourceDir() / "resources");
    ASSERT_FALSE(entries.empty());

    const std::set<int> dialogIds = IdsOfType(entries, rc_test::kRtDialog);
    EXPECT_EQ(dialogIds, (std::set<int>{102, 104, 106, 107, 108}));
    for (const int id : dialogIds) {
        const auto* table = platform::rc::FindDialog(id);
        ASSERT_NE(table, nullptr) << "dialog " << id;
        const auto decoded = rc_test::DecodeDialog(rc_test::FindEntry(entries, 5, id)->data);
        ASSERT_TRUE(decoded.has_value()) << "dialog " << id;
        ExpectSameDialog(rc_test::ModelFromTable(*table), *decoded, false);
    }

    EXPECT_EQ(IdsOfType(entries, rc_test::kRtMenu), (std::set<int>{103}));
    const auto menu = rc_test::DecodeMenu(rc_test::FindEntry(entries, rc_test::kRtMenu, 103)->data);
    ASSERT_TRUE(menu.has_value());
    ASSERT_NE(platform::rc::FindMenu(103), nullptr);
    ExpectSameMenu(platform::rc::FindMenu(103)->items, *menu);

    EXPECT_EQ(IdsOfType(entries, rc_test::kRtAccelerator), (std::set<int>{105}));
    const auto accelerators = rc_test::DecodeAccelerators(
        rc_test::FindEntry(entries, rc_test::kRtAccelerator, 105)->data);
    ASSERT_TRUE(accelerators.has_value());
    ASSERT_NE(platform::rc::FindAccelerators(105), nullptr);
    ExpectSameAccelerators(platform::rc::FindAccelerators(105)->entries, *accelerators);

    // Bitmaps: the resource holds the file without its 14-byte file header.
    for (const int id : IdsOfType(entries, rc_test::kRtBitmap)) {
        const auto* bitmap = platform::rc::FindBitmap(id);
        ASSERT_NE(bitmap, nullptr) << "bitmap " << id;
        const auto& data = rc_test::FindEntry(entries, rc_test::kRtBitmap, id)->data;
        ASSERT_GE(bitmap->fileBytes.size(), 14u);
        EXPECT_TRUE(std::equal(bitmap->fileBytes.begin() + 14, bitmap->fileBytes.end(),
                               data.begin(), data.end()));
    }
    for (const int id : {109}) {
        EXPECT_EQ(platform::rc::FindBitmap(id) != nullptr,
                  rc_test::FindEntry(entries, rc_test::kRtBitmap, static_cast<std::uint16_t>(id)) !=
                      nullptr);
    }
}

TEST_F(WindresTest, ReaderModelOfTheProgramsResourcesMatchesWindresIncludingVersion) {
    const fs::path rc = rc_test::SourceDir() / "resources" / "zembrix.rc";
    const auto entries = Compile(rc, rc_test::SourceDir() / "resources");
    const ResourceFile ours = Parse(rc);
    for (const DialogModel& dialog : ours.dialogs) {
        const auto* entry =
            rc_test::FindEntry(entries, rc_test::kRtDialog, static_cast<std::uint16_t>(dialog.id));
        ASSERT_NE(entry, nullptr) << "dialog " << dialog.id;
        const auto decoded = rc_test::DecodeDialog(entry->data);
        ASSERT_TRUE(decoded.has_value());
        ExpectSameDialog(dialog, *decoded, true);
    }

    const auto* versionEntry = rc_test::FindEntry(entries, rc_test::kRtVersion, 1);
    ASSERT_NE(versionEntry, nullptr);
    const auto version = rc_test::DecodeVersion(versionEntry->data);
    ASSERT_TRUE(version.has_value());
    EXPECT_EQ(version->fileVersionMS, 0x00010001u);  // 1, 1
    EXPECT_EQ(version->fileVersionLS, 0x00000003u);  // 0, 3
    EXPECT_EQ(version->productVersionMS, 0x00010001u);
    EXPECT_EQ(version->productVersionLS, 0x00000003u);
    ASSERT_EQ(ours.versions.size(), 1u);
    // The reader keeps the StringFileInfo strings; windres also lists none
    // other than those as text values.
    EXPECT_EQ(ours.versions[0].strings, version->strings);
}

TEST_F(WindresTest, EveryStatementFormOfTheFixtureMatchesWindres) {
    const fs::path rc = rc_test::FixturesDir() / "fixtures" / "forms.rc";
    const auto entries = Compile(rc, rc_test::FixturesDir() / "fixtures");
    const ResourceFile ours = Parse(rc);
    ASSERT_FALSE(ours.dialogs.empty());
    EXPECT_EQ(IdsOfType(entries, rc_test::kRtDialog).size(), ours.dialogs.size());
    for (const DialogModel& dialog : ours.dialogs) {
        const auto* entry =
            rc_test::FindEntry(entries, rc_test::kRtDialog, static_cast<std::uint16_t>(dialog.id));
        ASSERT_NE(entry, nullptr) << "dialog " << dialog.id;
        const auto decoded = rc_test::DecodeDialog(entry->data);
        ASSERT_TRUE(decoded.has_value());
        ExpectSameDialog(dialog, *decoded, true);
    }
    EXPECT_EQ(IdsOfType(entries, rc_test::kRtMenu).size(), ours.menus.size());
    for (const auto& menu : ours.menus) {
        const auto* entry =
            rc_test::FindEntry(entries, rc_test::kRtMenu, static_cast<std::uint16_t>(menu.id));
        ASSERT_NE(entry, nullptr);
        const auto decoded = rc_test::DecodeMenu(entry->data);
        ASSERT_TRUE(decoded.has_value());
        SCOPED_TRACE("menu " + std::to_string(menu.id));
        ExpectSameMenu(menu.items, *decoded);
    }
    EXPECT_EQ(IdsOfType(entries, rc_test::kRtAccelerator).size(), ours.accelerators.size());
    for (const auto& table : ours.accelerators) {
        const auto* entry = rc_test::FindEntry(entries, rc_test::kRtAccelerator,
                                               static_cast<std::uint16_t>(table.id));
        ASSERT_NE(entry, nullptr);
        const auto decoded = rc_test::DecodeAccelerators(entry->data);
        ASSERT_TRUE(decoded.has_value());
        SCOPED_TRACE("accelerators " + std::to_string(table.id));
        ExpectSameAccelerators(table.entries, *decoded);
    }
    ASSERT_EQ(IdsOfType(entries, rc_test::kRtBitmap).size(), ours.bitmaps.size());
    for (const auto& bitmap : ours.bitmaps) {
        const auto* entry =
            rc_test::FindEntry(entries, rc_test::kRtBitmap, static_cast<std::uint16_t>(bitmap.id));
        ASSERT_NE(entry, nullptr);
        ASSERT_GE(bitmap.bytes.size(), 14u);
        EXPECT_TRUE(std::equal(bitmap.bytes.begin() + 14, bitmap.bytes.end(), entry->data.begin(),
                               entry->data.end()));
    }
}

// Every Win32 name the reader knows, given to windres as a control's extended
// style (stored unchanged), must come back with the reader's value.
TEST_F(WindresTest, KnownWin32ConstantsHaveTheValuesOfTheWindowsHeaders) {
    const auto constants = platform::rc::reader::Win32Constants();
    std::string rc = "#include <windows.h>\n1 DIALOG 0, 0, 10, 10\nBEGIN\n";
    for (std::size_t i = 0; i < constants.size(); ++i) {
        rc += "  CONTROL \"\", " + std::to_string(i + 1) + ", \"Static\", 0, 0, 0, 1, 1, " +
              std::string(constants[i].name) + "\n";
    }
    rc += "END\n";
    const fs::path file = dir_.path() / "constants.rc";
    {
        std::ofstream out(file);
        out << rc;
    }
    const auto entries = Compile(file, dir_.path());
    const auto* entry = rc_test::FindEntry(entries, rc_test::kRtDialog, 1);
    ASSERT_NE(entry, nullptr);
    const auto dialog = rc_test::DecodeDialog(entry->data);
    ASSERT_TRUE(dialog.has_value());
    ASSERT_EQ(dialog->controls.size(), constants.size());
    for (std::size_t i = 0; i < constants.size(); ++i) {
        EXPECT_EQ(constants[i].value, dialog->controls[i].exStyle) << constants[i].name;
    }
}

}  // namespace
