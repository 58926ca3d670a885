// Test doubles of the window layer's bridge (platform/internal/window_bridge.h):
// one fake owner window, shown by an optional widget, whose disabling by a
// modal box is counted; BeginForeignModal disables that widget's window as
// the window layer does.
#pragma once

#include "platform/win32/types.h"

class QWidget;

namespace zembrix::test {

struct BridgeRecord {
    HWND widgetWindow = nullptr;  // the window WidgetOfWindow knows
    QWidget* widget = nullptr;
    int modalDepth = 0;  // Begin minus End calls so far
};

BridgeRecord& Bridge();

}  // namespace zembrix::test
