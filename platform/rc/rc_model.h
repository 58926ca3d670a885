// What the .rc reader makes of a resource file: every resource it found, with
// values as a Win32 resource compiler stores them (implied styles applied,
// NOT applied, strings after escapes), before they are written out as tables.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/rc/resource_tables.h"

namespace platform::rc::reader {

struct ControlModel {
    std::string windowClass;  // "BUTTON", "EDIT", "STATIC" for the built-in classes
    std::string text;
    int textResourceId = -1;  // a CONTROL whose text is a number (an SS_BITMAP's bitmap)
    int id = -1;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    std::int16_t x = 0, y = 0, cx = 0, cy = 0;
    int line = 0;
};

struct DialogModel {
    int id = 0;
    bool extended = false;  // DIALOGEX
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    std::int16_t x = 0, y = 0, cx = 0, cy = 0;
    std::string caption;
    std::string fontName;  // empty without FONT
    std::int16_t fontPointSize = 0;
    std::uint16_t fontWeight = 0;  // DIALOGEX only
    bool fontItalic = false;
    std::uint8_t fontCharset = 1;  // DEFAULT_CHARSET unless a DIALOGEX font says otherwise
    std::vector<ControlModel> controls;
    int line = 0;
};

struct MenuItemModel {
    MenuItemTemplate::Kind kind = MenuItemTemplate::Kind::Item;
    std::string text;
    int id = 0;
    std::uint32_t flags = 0;
};

struct MenuModel {
    int id = 0;
    std::vector<MenuItemModel> items;  // popups nest between Popup and EndPopup
    int line = 0;
};

struct AcceleratorTableModel {
    int id = 0;
    std::vector<AcceleratorEntry> entries;
    int line = 0;
};

struct BitmapModel {
    int id = 0;
    std::string path;  // the file as resolved, relative to the .rc file
    std::vector<unsigned char> bytes;
    int line = 0;
};

// An ICON: the .ico file's images, as its directory lists them (a width or
// height of 0 there is 256), each with its bytes: what a resource compiler
// stores as the group and its images. The layer does not use them: the frame's
// class is registered without an icon.
struct IconImageModel {
    int width = 0, height = 0;
    int colorCount = 0, planes = 0, bitCount = 0;
    std::vector<unsigned char> bytes;
};

struct IconModel {
    int id = 0;
    std::string path;
    std::vector<IconImageModel> images;
    int line = 0;
};

// The application manifest (type 24, RT_MANIFEST), stored as the file's
// bytes. The layer does not use it: Qt draws the controls and every text is
// UTF-8 on Linux already.
struct ManifestModel {
    int id = 0;
    std::string path;
    std::vector<unsigned char> bytes;
    int line = 0;
};

struct VersionModel {
    int id = 0;
    std::array<std::uint16_t, 4> fileVersion{};
    std::array<std::uint16_t, 4> productVersion{};
    // Every string VALUE of the StringFileInfo blocks, in order.
    std::vector<std::pair<std::string, std::string>> strings;
    int line = 0;
};

struct ResourceFile {
    std::vector<DialogModel> dialogs;
    std::vector<MenuModel> menus;
    std::vector<AcceleratorTableModel> accelerators;
    std::vector<BitmapModel> bitmaps;
    std::vector<VersionModel> versions;
    std::vector<IconModel> icons;
    std::vector<ManifestModel> manifests;
};

}  // namespace platform::rc::reader
