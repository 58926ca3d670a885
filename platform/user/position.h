// Rectangles, positions and coordinates (position.cpp).
#pragma once

#include <QRect>
#include <QSize>

#include "platform/user/model.h"

namespace platform::user {

// Win32 carries coordinates and sizes in 16-bit message fields.
int Clamp16(int v);
int ClampSize(int v);
QRect ClampRect(int x, int y, int cx, int cy);

QSize ClientSize(const Window& window);
QPoint ClientOriginOnScreen(const Window& window);
void ApplyGeometry(Window& window, const QRect& rect, bool sendSize);
void SyncWidgetGeometry(Window& window);
WPARAM SizeKindOf(const Window& window);
void SendSizeAndMove(HWND h);
// The minimum tracking size the program asks for, applied to the Qt window.
void QueryMinMax(HWND h);
// After a visible top-level moved from `before` (its old outer rectangle).
void SettleMove(HWND h, const QRect& before);

}  // namespace platform::user
