// A reader of compiled resource files (.res, as windres -O res writes them)
// for the tests that compare the .rc reader with the Windows resource
// compiler: the entries, and the dialog, menu, accelerator and version
// resources decoded into plain values. Strings are returned byte per UTF-16
// unit, which is exact for the ASCII texts of the fixtures.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/rc/resource_tables.h"

namespace rc_test {

inline constexpr std::uint16_t kRtBitmap = 2;
inline constexpr std::uint16_t kRtMenu = 4;
inline constexpr std::uint16_t kRtDialog = 5;
inline constexpr std::uint16_t kRtAccelerator = 9;
inline constexpr std::uint16_t kRtVersion = 16;

struct ResEntry {
    std::uint16_t type = 0;  // ordinal types only; named types are skipped
    std::uint16_t id = 0;    // ordinal names only; named resources are skipped
    std::vector<std::uint8_t> data;
};

// Null when the bytes are not a well-formed .res file.
std::optional<std::vector<ResEntry>> ReadResFile(const std::vector<std::uint8_t>& bytes);
const ResEntry* FindEntry(const std::vector<ResEntry>& entries, std::uint16_t type,
                          std::uint16_t id);

struct DecodedControl {
    std::string windowClass;  // "BUTTON", "EDIT", "STATIC", ... for class atoms
    std::string text;
    int textOrdinal = -1;
    std::uint32_t id = 0;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    std::int16_t x = 0, y = 0, cx = 0, cy = 0;
};

struct DecodedDialog {
    bool extended = false;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    std::int16_t x = 0, y = 0, cx = 0, cy = 0;
    std::string caption;
    std::string fontName;
    std::uint16_t fontPointSize = 0;
    std::uint16_t fontWeight = 0;
    std::uint8_t fontItalic = 0;
    std::uint8_t fontCharset = 0;
    std::vector<DecodedControl> controls;
};

struct DecodedMenuItem {
    platform::rc::MenuItemTemplate::Kind kind;
    std::string text;
    int id;
    std::uint32_t flags;  // without MF_POPUP and MF_END
};

struct DecodedVersion {
    std::uint32_t fileVersionMS = 0, fileVersionLS = 0;
    std::uint32_t productVersionMS = 0, productVersionLS = 0;
    std::vector<std::pair<std::string, std::string>> strings;  // every text value
};

std::optional<DecodedDialog> DecodeDialog(const std::vector<std::uint8_t>& data);
std::optional<std::vector<DecodedMenuItem>> DecodeMenu(const std::vector<std::uint8_t>& data);
std::optional<std::vector<platform::rc::AcceleratorEntry>> DecodeAccelerators(
    const std::vector<std::uint8_t>& data);
std::optional<DecodedVersion> DecodeVersion(const std::vector<std::uint8_t>& data);

}  // namespace rc_test
