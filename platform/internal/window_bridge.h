// What the window layer tells the other areas of the platform about its
// windows. Implemented by the window layer (platform/user); used by the common
// dialogs, which run Qt's own modal dialogs over one of our windows.
#pragma once

#include "platform/win32/types.h"

class QWidget;
class QSize;

namespace platform {

// The Qt widget that shows `window`, or null for a null or destroyed handle.
QWidget* WidgetOfWindow(HWND window);

// Brackets a modal box that is not one of our own windows (a QFileDialog, a
// QColorDialog): the owner's top-level window is disabled for its duration, as
// Win32 disables the owner of a modal box, the mouse capture is released (the
// capturing window gets WM_CAPTURECHANGED), and keys typed into the box go to
// the box, not through the program's message loop. Other windows of the
// program stay usable. Nesting is allowed.
void BeginForeignModal(HWND owner);
void EndForeignModal(HWND owner);

// The outer size of a top-level widget once mapped: its size with the frame
// the window manager gives a window of its kind (none when there is none).
QSize OuterSizeOf(const QWidget& widget);

}  // namespace platform
