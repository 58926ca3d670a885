// What the display system is told and asked (display/): X11 through xcb, and
// Qt's Wayland platform where there is no X server.
#pragma once

#include <QMargins>
#include <QPoint>
#include <optional>

#include "platform/user/model.h"

namespace platform::user {

// An X11 connection (xcb); Wayland(): Qt's Wayland platform, where there
// is a compositor but no X11 to tell or ask anything.
bool Desktop();
bool Wayland();
// Sets QT_QPA_PLATFORM before Qt starts (identity.cpp).
void ChooseDisplaySystem();
// The desktop entry's id and icon, set before the first window.
void IdentifyApplication();

// The window manager (window_manager.cpp).
Qt::WindowFlags TopLevelFlags(DWORD style, DWORD exStyle, bool owned);
void PrepareTopLevel(Window& window, QWidget& widget);
void MarkModal(Window& window);
void InstallDesktopFilter();
// Where a key for `h` goes: to `h`, unless the program disabled its window
// under a modal box of ours; then to the box (its focused control), as on
// Windows, where a disabled window never has the keyboard. A window manager
// or compositor may give it the keyboard all the same, and on Wayland no
// client can take it back.
HWND KeyTarget(HWND h, int depth = 0);

// Frames (frame.cpp).
// The frame the window manager gives a window of these styles (measured on
// an unmapped probe, once per kind); `known` is false when it did not answer.
QMargins ExpectedFrame(DWORD style, DWORD exStyle, bool owned, bool* known);
// The frame of a mapped window, waited for within a bound; nullopt when the
// window manager never set it.
std::optional<QMargins> MappedFrame(const Window& window);

// The server (xcb.cpp).
void SyncWithServer();
// Where the server has the widget's top-left corner now (a round trip).
std::optional<QPoint> ServerPosition(const QWidget& widget);

}  // namespace platform::user
