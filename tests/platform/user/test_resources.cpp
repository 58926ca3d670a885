// The resource tables the window-layer tests use: templates of the shapes the
// program's resources have (tool windows, the progress popup, modal dialogs,
// owner-drawn buttons, a bitmap static), the frame menu and its accelerators,
// and a small RLE8 bitmap. Styles are as a resource compiler sets them.
#include <array>

#include "platform/rc/resource_tables.h"
#include "platform/win32.h"
#include "tests/platform/user/test_resources.h"

namespace platform::rc {
namespace {

constexpr std::uint32_t kChild = WS_CHILD | WS_VISIBLE;
constexpr std::uint32_t kEdit = kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
constexpr std::uint32_t kButton = kChild | WS_TABSTOP | BS_PUSHBUTTON;
constexpr std::uint32_t kDefault = kChild | WS_TABSTOP | BS_DEFPUSHBUTTON;
constexpr std::uint32_t kOwnerDraw = kChild | WS_TABSTOP | BS_OWNERDRAW;
constexpr std::uint32_t kText = kChild | WS_GROUP | SS_LEFT;
constexpr std::uint32_t kTool = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;

const DialogItemTemplate coordinates[] = {
    {"STATIC", "X1", -1, -1, kText, 0, 13, 10, 10, 8},
    {"EDIT", "", -1, 1031, kEdit, 0, 25, 7, 98, 14},
    {"STATIC", "Y1", -1, -1, kText, 0, 130, 10, 10, 8},
    {"EDIT", "", -1, 1032, kEdit, 0, 141, 7, 98, 14},
    {"STATIC", "X2", -1, -1, kText, 0, 12, 25, 10, 8},
    {"EDIT", "", -1, 1033, kEdit, 0, 25, 24, 98, 14},
    {"STATIC", "Y2", -1, -1, kText, 0, 129, 26, 10, 8},
    {"EDIT", "", -1, 1034, kEdit, 0, 141, 24, 98, 14},
    {"STATIC", "Iterations", -1, -1, kText, 0, 11, 48, 30, 8},
    {"EDIT", "", -1, 1035, kEdit, 0, 49, 45, 74, 14},
    {"BUTTON", "Update", -1, 1036, kButton, 0, 163, 45, 50, 14},
};

const DialogItemTemplate colors[] = {
    {"BUTTON", "", -1, 1037, kOwnerDraw, 0, 46, 27, 47, 14},
    {"BUTTON", "", -1, 1038, kOwnerDraw, 0, 46, 47, 47, 14},
    {"STATIC", "Color #1", -1, -1, kText, 0, 7, 30, 28, 8},
    {"STATIC", "Color #2", -1, -1, kText, 0, 7, 50, 28, 8},
    {"BUTTON", "", -1, 1039, kOwnerDraw, 0, 46, 7, 47, 14},
    {"STATIC", "Set Color", -1, -1, kText, 0, 7, 10, 30, 8},
};

const DialogItemTemplate progress[] = {
    {"STATIC", "text", -1, 1029, kChild | WS_GROUP | SS_CENTER, 0, 7, 7, 157, 10},
    {"msctls_progress32", "Progress1", -1, 1028, kChild | PBS_SMOOTH, 0, 7, 23, 133, 14},
    {"STATIC", "Pct", -1, 1030, kChild | WS_GROUP | SS_RIGHT, 0, 144, 25, 20, 10},
};

const DialogItemTemplate about[] = {
    {"BUTTON", "OK", -1, IDOK, kDefault, 0, 124, 69, 50, 14},
    {"STATIC", "Zembrix", -1, -1, kChild | SS_LEFTNOWORDWRAP, WS_EX_RIGHT, 124, 7, 49, 8},
    {"STATIC", "", kTestBitmap, -1, kChild | SS_BITMAP, 0, 7, 7, 85, 79},
    {"STATIC", "by", -1, -1, kText, 0, 145, 20, 8, 8},
};

// A modal dialog: an edit, a default button that is not IDOK, Cancel.
const DialogItemTemplate form[] = {
    {"EDIT", "", -1, kFormEdit, kEdit, 0, 7, 7, 100, 14},
    {"BUTTON", "Apply", -1, kFormApply, kDefault, 0, 7, 30, 50, 14},
    {"BUTTON", "Cancel", -1, IDCANCEL, kButton, 0, 60, 30, 50, 14},
    {"STATIC", "Disabled", -1, -1, kText | WS_TABSTOP | WS_DISABLED, 0, 7, 50, 50, 8},
};

// No default button: Enter gives IDOK.
const DialogItemTemplate plain[] = {
    {"EDIT", "", -1, kPlainEdit, kEdit, 0, 7, 7, 100, 14},
    {"BUTTON", "Go", -1, kPlainGo, kButton, 0, 7, 30, 50, 14},
};

const DialogItemTemplate broken[] = {
    {"NoSuchClass", "", -1, 5, kChild, 0, 0, 0, 10, 10},
};

const DialogTemplate dialogs[] = {
    {107, kTool, WS_EX_TOOLWINDOW, 0, 0, 246, 66, "Coordinates", "MS Sans Serif", 8, coordinates},
    {108, kTool, WS_EX_TOOLWINDOW, 0, 0, 100, 68, "Colors", "MS Sans Serif", 8, colors},
    {106, WS_POPUP | WS_VISIBLE | WS_BORDER | DS_SETFONT, WS_EX_STATICEDGE, 0, 0, 171, 44, "",
     "MS Sans Serif", 8, progress},
    {104, kTool, 0, 0, 0, 213, 94, "About Zembrix", "MS Sans Serif", 8, about},
    {kFormDialog, kTool, 0, 10, 10, 120, 60, "Form", "MS Sans Serif", 8, form},
    {kPlainDialog, kTool | WS_VISIBLE, 0, 0, 0, 120, 50, "Plain", "MS Sans Serif", 8, plain},
    {kBrokenDialog, kTool, 0, 0, 0, 50, 50, "Broken", "MS Sans Serif", 8, broken},
};

const MenuItemTemplate frameMenu[] = {
    {MenuItemTemplate::Kind::Popup, "&File", 0, 0},
    {MenuItemTemplate::Kind::Item, "Save Image...", 40003, 0},
    {MenuItemTemplate::Kind::Separator, "", 0, 0},
    {MenuItemTemplate::Kind::Item, "Render To File...", 40002, MF_GRAYED},
    {MenuItemTemplate::Kind::Item, "Exit", 40001, 0},
    {MenuItemTemplate::Kind::EndPopup, "", 0, 0},
    {MenuItemTemplate::Kind::Popup, "&View", 0, 0},
    {MenuItemTemplate::Kind::Item, "Coordinates Window", 40006, 0},
    {MenuItemTemplate::Kind::Item, "Colors Window", 40007, 0},
    {MenuItemTemplate::Kind::Separator, "", 0, 0},
    {MenuItemTemplate::Kind::Item, "&Refresh\tF5", 40008, 0},
    {MenuItemTemplate::Kind::EndPopup, "", 0, 0},
    {MenuItemTemplate::Kind::Popup, "&Help", 0, 0},
    {MenuItemTemplate::Kind::Item, "About", 40009, 0},
    {MenuItemTemplate::Kind::EndPopup, "", 0, 0},
};

const MenuTemplate menus[] = {{103, frameMenu}};

const AcceleratorEntry frameKeys[] = {
    {FVIRTKEY | FNOINVERT, VK_F1, 40009},
    {FVIRTKEY | FNOINVERT | FALT, VK_F4, 40001},
    {FVIRTKEY | FNOINVERT, VK_F5, 40008},
};

const AcceleratorTemplate accelerators[] = {{105, frameKeys}};

const unsigned char bitmapBytes[] = {
#include "tests/platform/user/bitmap_bytes.inc"
};

const BitmapResource bitmaps[] = {{kTestBitmap, bitmapBytes}};

template <class T, std::size_t N>
const T* ById(const T (&table)[N], int id) {
    for (const T& t : table) {
        if (t.id == id) {
            return &t;
        }
    }
    return nullptr;
}

}  // namespace

const DialogTemplate* FindDialog(int id) {
    return ById(dialogs, id);
}
const MenuTemplate* FindMenu(int id) {
    return ById(menus, id);
}
const AcceleratorTemplate* FindAccelerators(int id) {
    return ById(accelerators, id);
}
const BitmapResource* FindBitmap(int id) {
    return ById(bitmaps, id);
}

}  // namespace platform::rc
