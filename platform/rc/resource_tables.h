// The program's resources (resources/zembrix.rc) as tables. On Linux a reader
// run at build time turns the .rc file into a generated source defining these
// tables, so a malformed resource file is a build error, never a run-time one.
// Values are exactly what a Win32 resource compiler would put in the binary:
// styles include the bits the resource statements imply (WS_CHILD | WS_VISIBLE
// for controls, WS_TABSTOP for push buttons and edits, ...), and coordinates
// are dialog units.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace platform::rc {

struct DialogItemTemplate {
    const char* windowClass;  // "BUTTON", "EDIT", "STATIC", "msctls_progress32", ...
    const char* text;         // the control's text; "" when none
    int textResourceId;       // the bitmap id of an SS_BITMAP static, else -1
    int id;                   // control id (-1 for IDC_STATIC)
    std::uint32_t style;
    std::uint32_t exStyle;
    std::int16_t x, y, cx, cy;  // dialog units
};

struct DialogTemplate {
    int id;
    std::uint32_t style;
    std::uint32_t exStyle;
    std::int16_t x, y, cx, cy;  // dialog units
    const char* caption;
    const char* fontName;  // "" when the template names no font
    std::int16_t fontPointSize;
    std::span<const DialogItemTemplate> items;  // in template order, which is the tab order
};

struct MenuItemTemplate {
    enum class Kind : std::uint8_t { Item, Separator, Popup, EndPopup };
    Kind kind;
    const char* text;     // "&Refresh\tF5" as written in the .rc
    int id;               // command id of an Item, 0 otherwise
    std::uint32_t flags;  // MF_GRAYED, MF_CHECKED, ... as written
};

struct MenuTemplate {
    int id;
    std::span<const MenuItemTemplate> items;  // popups nest between Popup and EndPopup
};

struct AcceleratorEntry {
    std::uint8_t fVirt;  // FVIRTKEY, FSHIFT, FCONTROL, FALT, FNOINVERT as in ACCEL
    std::uint16_t key;
    std::uint16_t cmd;
};

struct AcceleratorTemplate {
    int id;
    std::span<const AcceleratorEntry> entries;
};

struct BitmapResource {
    int id;
    std::span<const unsigned char> fileBytes;  // the whole .bmp file, embedded
};

// Null when the resource file has no such resource.
const DialogTemplate* FindDialog(int id);
const MenuTemplate* FindMenu(int id);
const AcceleratorTemplate* FindAccelerators(int id);
const BitmapResource* FindBitmap(int id);

}  // namespace platform::rc
