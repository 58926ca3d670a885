// The program's resources as the window layer receives them: the tables
// generated at build time from resources/zembrix.rc, against what the program
// is built on: each dialog's kind of window and its control ids in tab order
// (the layouts themselves are checked against windres), the menu and the
// accelerators.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "platform/rc/resource_tables.h"
#include "resources/resource.h"

namespace {

using platform::rc::MenuItemTemplate;

// Values of the Windows headers, written out here so that the test does not
// share the reader's own table of names.
constexpr std::uint32_t kToolWindow = 0x80C800C0u;  // WS_POPUP | WS_CAPTION | WS_SYSMENU |
                                                    // DS_MODALFRAME | DS_SETFONT
constexpr std::uint32_t kProgress = 0x90800040u;  // WS_POPUP | WS_VISIBLE | WS_BORDER | DS_SETFONT
constexpr int S = IDC_STATIC;

TEST(ResourceTables, DialogsAreTheWindowsAndControlsTheProgramUses) {
    struct Dialog {
        int id;
        std::uint32_t style, exStyle;  // WS_EX_TOOLWINDOW 0x80, WS_EX_STATICEDGE 0x20000
        const char* caption;
        std::vector<int> controls;
    };
    // clang-format off
    const Dialog dialogs[] = {
        {IDD_COORDINATES, kToolWindow, 0x80, "Coordinates",
         {S, IDC_COORD_X1, S, IDC_COORD_Y1, S, IDC_COORD_X2, S, IDC_COORD_Y2, S,
          IDC_COORD_ITERATIONS, IDC_COORD_UPDATE}},
        {IDD_COLORS, kToolWindow, 0x80, "Colors",
         {IDC_COLOR_GRADIENT_START, IDC_COLOR_GRADIENT_END, S, S, IDC_COLOR_SET, S}},
        {IDD_PROGRESS, kProgress, 0x20000, "",
         {IDC_PROGRESS_LABEL, IDC_PROGRESS_BAR, IDC_PROGRESS_PERCENT}},
        {IDD_RENDERTOFILE, kToolWindow, 0, "Render To File...",
         {IDC_RENDER_OK, 2, S, IDC_RENDER_WIDTH, IDC_RENDER_BROWSE, IDC_RENDER_FILENAME, S, S,
          IDC_RENDER_X1, S, IDC_RENDER_Y1, S, IDC_RENDER_X2, S, IDC_RENDER_Y2, S, S,
          IDC_RENDER_HEIGHT, S, IDC_RENDER_ITERATIONS}},
        {IDD_ABOUT, kToolWindow, 0, "About Zembrix", {1, S, S, S, S, S}},
    };
    // clang-format on
    for (const Dialog& want : dialogs) {
        SCOPED_TRACE(want.caption);
        const auto* dialog = platform::rc::FindDialog(want.id);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->style, want.style);
        EXPECT_EQ(dialog->exStyle, want.exStyle);
        EXPECT_EQ(std::string(dialog->caption), want.caption);
        std::vector<int> controls;
        for (const auto& item : dialog->items)
            controls.push_back(item.id);
        EXPECT_EQ(controls, want.controls);
    }
    // The About box shows the program's bitmap.
    EXPECT_EQ(platform::rc::FindDialog(IDD_ABOUT)->items[2].textResourceId, IDB_ABOUT);
    EXPECT_NE(platform::rc::FindBitmap(IDB_ABOUT), nullptr);
}

TEST(ResourceTables, MainMenuHasFileViewHelpWithRenderToFileGrayed) {
    using Kind = MenuItemTemplate::Kind;
    const std::vector<std::tuple<Kind, std::string, int, std::uint32_t>> expected = {
        {Kind::Popup, "File", 0, 0},
        {Kind::Item, "Save Image...", IDM_FILE_SAVEIMAGE, 0},
        {Kind::Separator, "", 0, 0},
        {Kind::Item, "Render To File...", IDM_FILE_RENDERTOFILE, 0x1},  // MF_GRAYED
        {Kind::Item, "Exit", IDM_FILE_EXIT, 0},
        {Kind::EndPopup, "", 0, 0},
        {Kind::Popup, "View", 0, 0},
        {Kind::Item, "Coordinates Window", IDM_VIEW_COORDINATES, 0},
        {Kind::Item, "Colors Window", IDM_VIEW_COLORS, 0},
        {Kind::Separator, "", 0, 0},
        {Kind::Item, "Refresh", IDM_VIEW_REFRESH, 0},
        {Kind::EndPopup, "", 0, 0},
        {Kind::Popup, "Help", 0, 0},
        {Kind::Item, "About", IDM_HELP_ABOUT, 0},
        {Kind::EndPopup, "", 0, 0},
    };
    const auto* menu = platform::rc::FindMenu(IDR_MAINMENU);
    ASSERT_NE(menu, nullptr);
    std::vector<std::tuple<Kind, std::string, int, std::uint32_t>> items;
    for (const auto& item : menu->items)
        items.emplace_back(item.kind, item.text, item.id, item.flags);
    EXPECT_EQ(items, expected);
}

TEST(ResourceTables, AcceleratorsAreF1AltF4AndF5AsNonInvertingVirtualKeys) {
    const auto* table = platform::rc::FindAccelerators(IDR_ACCELERATORS);
    ASSERT_NE(table, nullptr);
    // FVIRTKEY 0x01 | FNOINVERT 0x02, FALT 0x10; VK_F1 0x70, VK_F4 0x73, VK_F5 0x74.
    const std::vector<std::vector<int>> expected = {
        {0x03, 0x70, IDM_HELP_ABOUT}, {0x13, 0x73, IDM_FILE_EXIT}, {0x03, 0x74, IDM_VIEW_REFRESH}};
    std::vector<std::vector<int>> entries;
    for (const auto& e : table->entries)
        entries.push_back({e.fVirt, e.key, e.cmd});
    EXPECT_EQ(entries, expected);
}

TEST(ResourceTables, LookupsOfAbsentResourcesGiveNull) {
    EXPECT_EQ(platform::rc::FindDialog(IDR_MAINMENU), nullptr);  // a menu id, not a dialog
    EXPECT_EQ(platform::rc::FindDialog(0), nullptr);
    EXPECT_EQ(platform::rc::FindMenu(IDD_ABOUT), nullptr);
    EXPECT_EQ(platform::rc::FindAccelerators(IDR_MAINMENU), nullptr);
    EXPECT_EQ(platform::rc::FindBitmap(-1), nullptr);
}

}  // namespace
