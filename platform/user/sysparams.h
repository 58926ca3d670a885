// System colours and metrics (sysparams.cpp).
#pragma once

#include <QColor>
#include <QSize>

#include "platform/user/model.h"

namespace platform::user {

COLORREF SystemColour(int index);
QColor ToQColor(COLORREF colour);
// The primary screen's size, or 1024 x 768 without one.
QSize ScreenSize();
// WM_DISPLAYCHANGE to every top-level window when a screen changes.
void WatchScreens();

}  // namespace platform::user
