// Test doubles of the window bridge; see bridge_doubles.h.
#include "tests/platform/comdlg/bridge_doubles.h"

#include <QWidget>

#include "platform/internal/window_bridge.h"

namespace zembrix::test {

BridgeRecord& Bridge() {
    static BridgeRecord record;
    return record;
}

}  // namespace zembrix::test

namespace platform {

QWidget* WidgetOfWindow(HWND window) {
    auto& bridge = zembrix::test::Bridge();
    return window != nullptr && window == bridge.widgetWindow ? bridge.widget : nullptr;
}

void BeginForeignModal(HWND owner) {
    auto& bridge = zembrix::test::Bridge();
    ++bridge.modalDepth;
    if (QWidget* widget = WidgetOfWindow(owner))
        widget->window()->setEnabled(false);
}

void EndForeignModal(HWND owner) {
    auto& bridge = zembrix::test::Bridge();
    --bridge.modalDepth;
    if (QWidget* widget = WidgetOfWindow(owner))
        widget->window()->setEnabled(true);
}

// No window manager's frame here.
QSize OuterSizeOf(const QWidget& widget) {
    return widget.size();
}

}  // namespace platform
