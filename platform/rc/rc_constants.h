// The Win32 names a resource file may use without their headers: window,
// dialog and control styles, extended styles, dialog result ids, virtual keys,
// the version resource's constants and the manifest's type and id, with the
// values of the Windows SDK headers (as a resource compiler sees them). The reader skips #include
// <windows.h>, so it looks these up itself.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace platform::rc::reader {

struct NamedConstant {
    std::string_view name;
    std::uint32_t value;
};

std::optional<std::uint32_t> LookupWin32Constant(std::string_view name);

// The whole table, for tests that check it against the real headers.
std::span<const NamedConstant> Win32Constants();

// Styles and flags the reader itself applies.
namespace win32 {
inline constexpr std::uint32_t WS_POPUP = 0x80000000u;
inline constexpr std::uint32_t WS_CHILD = 0x40000000u;
inline constexpr std::uint32_t WS_VISIBLE = 0x10000000u;
inline constexpr std::uint32_t WS_CAPTION = 0x00C00000u;
inline constexpr std::uint32_t WS_BORDER = 0x00800000u;
inline constexpr std::uint32_t WS_SYSMENU = 0x00080000u;
inline constexpr std::uint32_t WS_GROUP = 0x00020000u;
inline constexpr std::uint32_t WS_TABSTOP = 0x00010000u;
inline constexpr std::uint32_t DS_SETFONT = 0x40u;
inline constexpr std::uint32_t SS_LEFT = 0x0u;
inline constexpr std::uint32_t SS_CENTER = 0x1u;
inline constexpr std::uint32_t SS_RIGHT = 0x2u;
inline constexpr std::uint32_t SS_BITMAP = 0xEu;
inline constexpr std::uint32_t SS_TYPEMASK = 0x1Fu;
inline constexpr std::uint32_t ES_LEFT = 0x0u;
inline constexpr std::uint32_t BS_PUSHBUTTON = 0x0u;
inline constexpr std::uint32_t BS_DEFPUSHBUTTON = 0x1u;
inline constexpr std::uint32_t BS_GROUPBOX = 0x7u;
// Menu item flags as MENUITEMTEMPLATE stores them.
inline constexpr std::uint32_t MF_GRAYED = 0x0001u;
inline constexpr std::uint32_t MF_DISABLED = 0x0002u;
inline constexpr std::uint32_t MF_CHECKED = 0x0008u;
inline constexpr std::uint32_t MF_MENUBARBREAK = 0x0020u;
inline constexpr std::uint32_t MF_MENUBREAK = 0x0040u;
inline constexpr std::uint32_t MF_HELP = 0x4000u;
// ACCEL.fVirt bits.
inline constexpr std::uint8_t FVIRTKEY = 0x01u;
inline constexpr std::uint8_t FNOINVERT = 0x02u;
inline constexpr std::uint8_t FSHIFT = 0x04u;
inline constexpr std::uint8_t FCONTROL = 0x08u;
inline constexpr std::uint8_t FALT = 0x10u;
}  // namespace win32

}  // namespace platform::rc::reader
