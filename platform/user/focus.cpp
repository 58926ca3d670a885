// Activation, focus and capture: the active window (raised with the windows
// it owns above it), SetFocus with WM_KILLFOCUS and WM_SETFOCUS, and mouse
// capture with WM_CAPTURECHANGED.
//
// Leaves out: WM_ACTIVATE, WM_NCACTIVATE and WM_SETFOCUS for changes Qt or
// the window manager make by themselves, WM_MOUSEACTIVATE, and the
// foreground lock of other processes.
#include <QApplication>
#include <QWidget>

#include "platform/user/focus.h"
#include "platform/user/qt/widgets.h"
#include "platform/user/window.h"

namespace platform::user {

// Owned windows stay above their owner: after the owner is raised, so is each
// visible window it owns (and theirs), since without a window manager nothing
// else keeps a tool window above the frame. `depth` bounds a corrupt chain.
void RaiseOwnedWindows(HWND owner, int depth) {
    if (depth > 16) {
        return;
    }
    for (auto& [value, owned] : S().table.windows) {
        if (owned && owned->owner == owner && owned->handle != owner && owned->widget &&
            owned->widget->isVisible()) {
            owned->widget->raise();
            RaiseOwnedWindows(owned->handle, depth + 1);
        }
    }
}

void ActivateWindow(Window* window) {
    window = TopLevelOf(window);
    if (!window) {
        return;
    }
    State& s = S();
    s.input.active = window->handle;
    if (window->widget && window->widget->isVisible()) {
        window->widget->raise();
        RaiseOwnedWindows(window->handle);
        window->widget->activateWindow();
    }
}

}  // namespace platform::user

namespace pu = platform::user;

HWND WINAPI GetActiveWindow(void) {
    pu::State& s = pu::S();
    pu::Window* w = pu::Find(s.input.active);
    return w && (w->style & WS_VISIBLE) ? w->handle : nullptr;
}

HWND WINAPI SetActiveWindow(HWND h) {
    pu::Window* w = pu::TopLevelOf(pu::Find(h));
    if (!w) {
        return nullptr;
    }
    HWND previous = GetActiveWindow();
    pu::ActivateWindow(w);
    return previous;
}

HWND WINAPI GetForegroundWindow(void) {
    return GetActiveWindow();
}

BOOL WINAPI SetForegroundWindow(HWND h) {
    return SetActiveWindow(h) || pu::Find(h) ? TRUE : FALSE;
}

HWND WINAPI GetFocus(void) {
    QWidget* focus = QApplication::focusWidget();
    if (HWND h = pu::HandleOfWidget(focus)) {
        return h;
    }
    return nullptr;
}

HWND WINAPI SetFocus(HWND h) {
    HWND previous = GetFocus();
    if (!h) {
        if (QWidget* f = QApplication::focusWidget()) {
            f->clearFocus();
        }
        return previous;
    }
    pu::WindowRef w(h);
    if (!w || (w->style & WS_DISABLED)) {
        return nullptr;
    }
    if (previous == h) {
        return previous;
    }
    pu::Window* top = pu::TopLevelOf(w.get());
    if (top && pu::S().input.active != top->handle && (top->style & WS_VISIBLE)) {
        pu::ActivateWindow(top);
    }
    if (w && w->widget) {
        w->widget->setFocus(Qt::OtherFocusReason);
    }
    if (previous && previous != h) {
        pu::CallProc(pu::Find(previous), WM_KILLFOCUS, reinterpret_cast<WPARAM>(h), 0);
    }
    pu::CallProc(pu::Find(h), WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
    return previous;
}

HWND WINAPI GetCapture(void) {
    pu::State& s = pu::S();
    return pu::Find(s.input.capture) ? s.input.capture : nullptr;
}

HWND WINAPI SetCapture(HWND h) {
    pu::State& s = pu::S();
    HWND previous = GetCapture();
    if (!pu::Find(h)) {
        return previous;
    }
    s.input.capture = h;
    if (previous && previous != h) {
        pu::CallProc(pu::Find(previous), WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(h));
    }
    return previous;
}

BOOL WINAPI ReleaseCapture(void) {
    pu::State& s = pu::S();
    HWND previous = GetCapture();
    s.input.capture = nullptr;
    if (previous) {
        pu::CallProc(pu::Find(previous), WM_CAPTURECHANGED, 0, 0);
    }
    return TRUE;
}
