// The program's resources as the window layer receives them: the tables
// generated at build time from resources/zembrix.rc, checked against the
// dialog templates, menu and accelerator table the program is built on
// (rectangles in dialog units, styles as stored, controls in tab order).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/rc/resource_tables.h"
#include "resources/resource.h"

namespace {

using platform::rc::AcceleratorEntry;
using platform::rc::DialogTemplate;
using platform::rc::MenuItemTemplate;

// Values of the Windows headers, written out here so that the test does not
// share the reader's own table of names.
constexpr std::uint32_t kPopup = 0x80000000u;
constexpr std::uint32_t kChild = 0x40000000u;
constexpr std::uint32_t kVisible = 0x10000000u;
constexpr std::uint32_t kCaption = 0x00C00000u;
constexpr std::uint32_t kBorder = 0x00800000u;
constexpr std::uint32_t kSysMenu = 0x00080000u;
constexpr std::uint32_t kGroup = 0x00020000u;
constexpr std::uint32_t kTabStop = 0x00010000u;
constexpr std::uint32_t kSetFont = 0x40u;       // DS_SETFONT
constexpr std::uint32_t kModalFrame = 0x80u;    // DS_MODALFRAME
constexpr std::uint32_t kExToolWindow = 0x80u;  // WS_EX_TOOLWINDOW
constexpr std::uint32_t kExStaticEdge = 0x20000u;
constexpr std::uint32_t kExRight = 0x1000u;
constexpr std::uint32_t kAutoHScroll = 0x80u;  // ES_AUTOHSCROLL
constexpr std::uint32_t kDefPushButton = 0x1u;
constexpr std::uint32_t kOwnerDraw = 0xBu;  // BS_OWNERDRAW
constexpr std::uint32_t kCenter = 0x1u;     // SS_CENTER
constexpr std::uint32_t kRight = 0x2u;      // SS_RIGHT
constexpr std::uint32_t kLeftNoWordWrap = 0xCu;
constexpr std::uint32_t kBitmap = 0xEu;  // SS_BITMAP
constexpr std::uint32_t kSmooth = 0x1u;  // PBS_SMOOTH
constexpr std::uint32_t kGrayed = 0x1u;  // MF_GRAYED
constexpr std::uint8_t kVirtKey = 0x01u;
constexpr std::uint8_t kNoInvert = 0x02u;
constexpr std::uint8_t kAlt = 0x10u;

constexpr std::uint32_t kLabel = kChild | kVisible | kGroup;  // LTEXT: SS_LEFT is 0
constexpr std::uint32_t kEdit = kChild | kVisible | kBorder | kTabStop | kAutoHScroll;
constexpr std::uint32_t kButton = kChild | kVisible | kTabStop;  // BS_PUSHBUTTON is 0
constexpr std::uint32_t kToolWindowStyle = kPopup | kCaption | kSysMenu | kModalFrame | kSetFont;

struct Item {
    std::string windowClass;
    std::string text;
    int id;
    std::uint32_t style;
    std::uint32_t exStyle;
    int x, y, cx, cy;
    int bitmap = -1;
};

void ExpectDialog(int id, std::uint32_t style, std::uint32_t exStyle, int cx, int cy,
                  const std::string& caption, const std::vector<Item>& items) {
    SCOPED_TRACE("dialog " + std::to_string(id));
    const DialogTemplate* dialog = platform::rc::FindDialog(id);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->id, id);
    EXPECT_EQ(dialog->style, style) << std::hex << dialog->style;
    EXPECT_EQ(dialog->exStyle, exStyle) << std::hex << dialog->exStyle;
    EXPECT_EQ(dialog->x, 0);
    EXPECT_EQ(dialog->y, 0);
    EXPECT_EQ(dialog->cx, cx);
    EXPECT_EQ(dialog->cy, cy);
    EXPECT_EQ(std::string(dialog->caption), caption);
    EXPECT_EQ(std::string(dialog->fontName), "MS Sans Serif");
    EXPECT_EQ(dialog->fontPointSize, 8);
    ASSERT_EQ(dialog->items.size(), items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        const auto& got = dialog->items[i];
        const Item& want = items[i];
        SCOPED_TRACE("item " + std::to_string(i) + " \"" + want.text + "\"");
        EXPECT_EQ(std::string(got.windowClass), want.windowClass);
        EXPECT_EQ(std::string(got.text), want.text);
        EXPECT_EQ(got.textResourceId, want.bitmap);
        EXPECT_EQ(got.id, want.id);
        EXPECT_EQ(got.style, want.style) << std::hex << got.style;
        EXPECT_EQ(got.exStyle, want.exStyle) << std::hex << got.exStyle;
        EXPECT_EQ(got.x, want.x);
        EXPECT_EQ(got.y, want.y);
        EXPECT_EQ(got.cx, want.cx);
        EXPECT_EQ(got.cy, want.cy);
    }
}

TEST(ResourceTables, CoordinatesDialogIsAHiddenToolWindowWithFiveFieldsAndUpdate) {
    ExpectDialog(IDD_COORDINATES, kToolWindowStyle, kExToolWindow, 246, 66, "Coordinates",
                 {
                     {"STATIC", "X1", IDC_STATIC, kLabel, 0, 13, 10, 10, 8},
                     {"EDIT", "", IDC_COORD_X1, kEdit, 0, 25, 7, 98, 14},
                     {"STATIC", "Y1", IDC_STATIC, kLabel, 0, 130, 10, 10, 8},
                     {"EDIT", "", IDC_COORD_Y1, kEdit, 0, 141, 7, 98, 14},
                     {"STATIC", "X2", IDC_STATIC, kLabel, 0, 12, 25, 10, 8},
                     {"EDIT", "", IDC_COORD_X2, kEdit, 0, 25, 24, 98, 14},
                     {"STATIC", "Y2", IDC_STATIC, kLabel, 0, 129, 26, 10, 8},
                     {"EDIT", "", IDC_COORD_Y2, kEdit, 0, 141, 24, 98, 14},
                     {"STATIC", "Iterations", IDC_STATIC, kLabel, 0, 11, 48, 30, 8},
                     {"EDIT", "", IDC_COORD_ITERATIONS, kEdit, 0, 49, 45, 74, 14},
                     {"BUTTON", "Update", IDC_COORD_UPDATE, kButton, 0, 163, 45, 50, 14},
                 });
}

TEST(ResourceTables, ColorsDialogHasThreeOwnerDrawnSwatchesInTabOrder) {
    const std::uint32_t swatch = kChild | kVisible | kTabStop | kOwnerDraw;
    ExpectDialog(IDD_COLORS, kToolWindowStyle, kExToolWindow, 100, 68, "Colors",
                 {
                     {"BUTTON", "", IDC_COLOR_GRADIENT_START, swatch, 0, 46, 27, 47, 14},
                     {"BUTTON", "", IDC_COLOR_GRADIENT_END, swatch, 0, 46, 47, 47, 14},
                     {"STATIC", "Color #1", IDC_STATIC, kLabel, 0, 7, 30, 28, 8},
                     {"STATIC", "Color #2", IDC_STATIC, kLabel, 0, 7, 50, 28, 8},
                     {"BUTTON", "", IDC_COLOR_SET, swatch, 0, 46, 7, 47, 14},
                     {"STATIC", "Set Color", IDC_STATIC, kLabel, 0, 7, 10, 30, 8},
                 });
}

TEST(ResourceTables, ProgressDialogIsAVisibleCaptionlessPopupWithLabelBarAndPercentage) {
    ExpectDialog(IDD_PROGRESS, kPopup | kVisible | kBorder | kSetFont, kExStaticEdge, 171, 44, "",
                 {
                     {"STATIC", "text", IDC_PROGRESS_LABEL, kLabel | kCenter, 0, 7, 7, 157, 10},
                     {"msctls_progress32", "Progress1", IDC_PROGRESS_BAR,
                      kChild | kVisible | kSmooth, 0, 7, 23, 133, 14},
                     {"STATIC", "Pct", IDC_PROGRESS_PERCENT, kLabel | kRight, 0, 144, 25, 20, 10},
                 });
}

TEST(ResourceTables, RenderToFileDialogHasItsTwentyControlsInTabOrder) {
    ExpectDialog(IDD_RENDERTOFILE, kToolWindowStyle, 0, 208, 142, "Render To File...",
                 {
                     {"BUTTON", "Ok", IDC_RENDER_OK, kButton | kDefPushButton, 0, 112, 120, 50, 14},
                     {"BUTTON", "Cancel", 2, kButton, 0, 46, 120, 50, 14},
                     {"STATIC", "by", IDC_STATIC, kLabel, 0, 62, 71, 8, 8},
                     {"EDIT", "", IDC_RENDER_WIDTH, kEdit, 0, 7, 67, 52, 14},
                     {"BUTTON", "...", IDC_RENDER_BROWSE, kButton, 0, 187, 99, 14, 14},
                     {"EDIT", "", IDC_RENDER_FILENAME, kEdit, 0, 7, 99, 177, 14},
                     {"STATIC", "Filename:", IDC_STATIC, kLabel, 0, 7, 88, 31, 8},
                     {"STATIC", "X1", IDC_STATIC, kLabel, 0, 7, 19, 10, 12},
                     {"EDIT", "", IDC_RENDER_X1, kEdit, 0, 20, 17, 78, 14},
                     {"STATIC", "Y1", IDC_STATIC, kLabel, 0, 110, 21, 10, 12},
                     {"EDIT", "", IDC_RENDER_Y1, kEdit, 0, 123, 17, 78, 14},
                     {"STATIC", "X2", IDC_STATIC, kLabel, 0, 7, 38, 10, 12},
                     {"EDIT", "", IDC_RENDER_X2, kEdit, 0, 20, 35, 78, 14},
                     {"STATIC", "Y2", IDC_STATIC, kLabel, 0, 110, 39, 10, 12},
                     {"EDIT", "", IDC_RENDER_Y2, kEdit, 0, 123, 35, 78, 14},
                     {"STATIC", "Dimensions:", IDC_STATIC, kLabel, 0, 7, 7, 39, 8},
                     {"STATIC", "Resolution:", IDC_STATIC, kLabel, 0, 7, 57, 36, 8},
                     {"EDIT", "", IDC_RENDER_HEIGHT, kEdit, 0, 73, 67, 52, 14},
                     {"STATIC", "Iterations:", IDC_STATIC, kLabel, 0, 130, 70, 32, 8},
                     {"EDIT", "", IDC_RENDER_ITERATIONS, kEdit, 0, 161, 67, 40, 14},
                 });
}

TEST(ResourceTables, AboutDialogNamesTheBitmapAndRightAlignsTheProgramName) {
    const auto* about = platform::rc::FindDialog(IDD_ABOUT);
    ASSERT_NE(about, nullptr);
    ASSERT_EQ(about->items.size(), 6u);
    // The two credit lines are the implementer's texts: take them as they are.
    const std::string author = about->items[4].text;
    const std::string web = about->items[5].text;
    EXPECT_FALSE(author.empty());
    EXPECT_FALSE(web.empty());
    ExpectDialog(
        IDD_ABOUT, kToolWindowStyle, 0, 213, 94, "About Zembrix",
        {
            {"BUTTON", "OK", 1, kButton | kDefPushButton, 0, 124, 69, 50, 14},
            {"STATIC", "Zembrix", IDC_STATIC, kLabel | kLeftNoWordWrap, kExRight, 124, 7, 49, 8},
            {"STATIC", "", IDC_STATIC, kChild | kVisible | kBitmap, 0, 7, 7, 85, 79, IDB_ABOUT},
            {"STATIC", "by", IDC_STATIC, kLabel, 0, 145, 20, 8, 8},
            {"STATIC", author, IDC_STATIC, kLabel, 0, 128, 33, 42, 8},
            {"STATIC", web, IDC_STATIC, kLabel, 0, 104, 52, 90, 8},
        });
}

TEST(ResourceTables, MainMenuHasFileViewHelpWithRenderToFileGrayed) {
    using Kind = MenuItemTemplate::Kind;
    struct Entry {
        Kind kind;
        std::string text;
        int id;
        std::uint32_t flags;
    };
    const std::vector<Entry> expected = {
        {Kind::Popup, "File", 0, 0},
        {Kind::Item, "Save Image...", IDM_FILE_SAVEIMAGE, 0},
        {Kind::Separator, "", 0, 0},
        {Kind::Item, "Render To File...", IDM_FILE_RENDERTOFILE, kGrayed},
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
    ASSERT_EQ(menu->items.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("menu item " + std::to_string(i));
        EXPECT_EQ(menu->items[i].kind, expected[i].kind);
        EXPECT_EQ(std::string(menu->items[i].text), expected[i].text);
        EXPECT_EQ(menu->items[i].id, expected[i].id);
        EXPECT_EQ(menu->items[i].flags, expected[i].flags);
    }
}

TEST(ResourceTables, AcceleratorsAreF1AltF4AndF5AsNonInvertingVirtualKeys) {
    const auto* table = platform::rc::FindAccelerators(IDR_ACCELERATORS);
    ASSERT_NE(table, nullptr);
    const std::vector<AcceleratorEntry> expected = {
        {kVirtKey | kNoInvert, 0x70, IDM_HELP_ABOUT},        // F1
        {kVirtKey | kNoInvert | kAlt, 0x73, IDM_FILE_EXIT},  // Alt+F4
        {kVirtKey | kNoInvert, 0x74, IDM_VIEW_REFRESH},      // F5
    };
    ASSERT_EQ(table->entries.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(table->entries[i].fVirt, expected[i].fVirt) << i;
        EXPECT_EQ(table->entries[i].key, expected[i].key) << i;
        EXPECT_EQ(table->entries[i].cmd, expected[i].cmd) << i;
    }
}

TEST(ResourceTables, LookupsOfAbsentResourcesGiveNull) {
    EXPECT_EQ(platform::rc::FindDialog(IDR_MAINMENU), nullptr);  // a menu id, not a dialog
    EXPECT_EQ(platform::rc::FindDialog(0), nullptr);
    EXPECT_EQ(platform::rc::FindMenu(IDD_ABOUT), nullptr);
    EXPECT_EQ(platform::rc::FindAccelerators(IDR_MAINMENU), nullptr);
    EXPECT_EQ(platform::rc::FindBitmap(-1), nullptr);
}

}  // namespace
