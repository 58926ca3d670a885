// Showing and the first map: ShowWindow and its show states, owned windows
// hidden and shown with their owner, the wait for a newly shown window's
// first exposure (bounded, no window procedure runs), the frame the window
// manager really drew at the first map, and the map deferred for a dialog
// created visible until the program has placed it.
//
// Leaves out: ShowWindowAsync, ShowOwnedPopups, AnimateWindow, and
// SW_SHOWDEFAULT's start-up information (it shows normally).
#include <QCoreApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <chrono>

#include "platform/user/display/display.h"
#include "platform/user/focus.h"
#include "platform/user/nonclient.h"
#include "platform/user/paint.h"
#include "platform/user/position.h"
#include "platform/user/qt/widgets.h"
#include "platform/user/show.h"
#include "platform/user/window.h"

namespace platform::user {
namespace {

// New frame extents for a window: its outer rectangle stays.
void Reframe(Window& w, const QMargins& frame) {
    HWND h = w.handle;
    QSize before = ClientRectInWindow(w).size();
    w.frame = frame;
    w.frameKnown = true;
    SyncWidgetGeometry(w);
    if (ClientRectInWindow(w).size() != before) {
        ResizeSurface(w);
        InvalidateRect(h, nullptr, TRUE);
        SendSizeAndMove(h);
    }
}

void WaitUntilShown(HWND h) {
    WindowRef w(h);
    if (!w || !w->widget) {
        return;
    }
    // Pumps without user input and without calling any window procedure:
    // what Qt reports meanwhile is only queued. Bounded by about 2 s.
    w->waitingForShow = true;
    DisplayWait wait;
    QTimer tick;
    tick.start(10);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(2000);
    while (std::chrono::steady_clock::now() < deadline) {
        if (!w || !w->widget) {
            return;
        }
        QWindow* handle = w->widget->windowHandle();
        if (handle && handle->isExposed()) {
            break;
        }
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                        QEventLoop::WaitForMoreEvents);
    }
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (!w) {
        return;
    }
    w->waitingForShow = false;
    if (IsTopLevel(*w) && w->widget) {
        // The frame the window manager really drew. At the first map the
        // window keeps the outer rectangle the program gave it and the client
        // area changes; later (a maximised window may lose its borders) the
        // client area stays and the outer rectangle follows.
        std::optional<QMargins> m = MappedFrame(*w);
        if (!w) {
            return;
        }
        bool first = !w->mappedOnce;
        w->mappedOnce = true;
        if (m && (!w->frameKnown || *m != w->frame)) {
            if (first && w->showState == ShowState::Normal) {
                Reframe(*w, *m);
                SettleMove(h, QRect());  // returns with the window where the model has it
                return;
            }
            w->frame = *m;
            w->frameKnown = true;
        }
    }
    if (w->widget && w->showState == ShowState::Normal) {
        QRect g = WindowGeometryOf(*w->widget);
        if (g.size() != w->rect.size()) {
            ApplyGeometry(*w, g, true);
        } else {
            w->rect.moveTopLeft(g.topLeft());
        }
    }
}

}  // namespace

// Owned windows are hidden while their owner is minimised and come back
// with it, as Windows hides owned pop-ups, whoever minimised it (the program
// or the window manager). A window manager may iconify them with their
// owner before they are hidden, and Qt keeps that state: shown iconic, one
// would stay down, and openbox would iconify its owner again with it. So
// each comes back in its own state less the minimised one.
void ShowOwnedWithOwner(HWND owner, bool show) {
    for (auto& [value, w] : S().table.windows) {
        if (w->owner != owner || !w->widget) {
            continue;
        }
        if (!show && (w->style & WS_VISIBLE)) {
            w->style &= ~WS_VISIBLE;
            w->hiddenWithOwner = true;
            w->widget->hide();
        } else if (show && w->hiddenWithOwner) {
            w->hiddenWithOwner = false;
            w->style |= WS_VISIBLE;
            w->widget->setWindowState(w->widget->windowState() & ~Qt::WindowMinimized);
            w->widget->show();
        }
    }
}

BOOL MapTopLevel(HWND h, int cmd, BOOL wasVisible, bool newlyShown) {
    WindowRef w(h);
    if (!w) {
        return wasVisible;
    }
    if (w->mapPending) {
        w->mapPending = false;
        --S().maps.pendingMaps;
        newlyShown = true;
    }
    ShowState previous = w->showState;
    switch (cmd) {
        case SW_MINIMIZE:
        case SW_SHOWMINIMIZED:
        case SW_SHOWMINNOACTIVE:
            w->showState = ShowState::Minimized;
            ShowOwnedWithOwner(h, false);
            if (w->widget) {
                w->widget->showMinimized();
            }
            if (previous != ShowState::Minimized) {
                SendSizeAndMove(h);
            }
            return wasVisible;
        case SW_MAXIMIZE:
            w->showState = ShowState::Maximized;
            if (w->widget) {
                w->widget->showMaximized();
            }
            break;
        case SW_RESTORE:
        case SW_SHOWNORMAL:
            w->showState = ShowState::Normal;
            if (w->widget) {
                w->widget->showNormal();
            }
            break;
        default:
            if (w->widget) {
                w->widget->show();
            }
            break;
    }
    if (previous == ShowState::Minimized) {
        ShowOwnedWithOwner(h, true);
    }
    if (newlyShown && w) {
        InvalidateWindowTree(w.get(), true);
    }
    if (w && cmd != SW_SHOWNA && cmd != SW_SHOWNOACTIVATE) {
        ActivateWindow(w.get());
    }
    if (newlyShown || previous != ShowState::Normal || cmd == SW_MAXIMIZE) {
        WaitUntilShown(h);
    }
    if (w && w->showState != previous && w->widget) {
        ApplyGeometry(*w, WindowGeometryOf(*w->widget), false);
        SendSizeAndMove(h);
    }
    return wasVisible;
}

void FlushPendingMaps() {
    State& s = S();
    if (s.maps.pendingMaps <= 0 || s.maps.deferMap || s.maps.waitDepth > 0) {
        return;
    }
    std::vector<HWND> pending;
    for (auto& [value, w] : s.table.windows) {
        if (w->mapPending) {
            pending.push_back(w->handle);
        }
    }
    for (HWND h : pending) {
        Window* w = Find(h);
        if (w && w->mapPending) {
            MapTopLevel(h, SW_SHOWNORMAL, TRUE, true);
        }
    }
}

}  // namespace platform::user

namespace pu = platform::user;

BOOL WINAPI IsWindowVisible(HWND h) {
    pu::Window* w = pu::Find(h);
    if (!w) {
        return FALSE;
    }
    for (; w; w = (w->style & WS_CHILD) ? pu::Find(w->parent) : nullptr) {
        if (!(w->style & WS_VISIBLE)) {
            return FALSE;
        }
    }
    return TRUE;
}

BOOL WINAPI ShowWindow(HWND h, int cmd) {
    pu::WindowRef w(h);
    if (!w) {
        return FALSE;
    }
    bool top = !(w->style & WS_CHILD);
    BOOL wasVisible = (w->style & WS_VISIBLE) ? TRUE : FALSE;
    if (cmd == SW_HIDE) {
        if (!wasVisible) {
            return FALSE;
        }
        pu::CallProc(w.get(), WM_SHOWWINDOW, FALSE, 0);
        if (!w) {
            return TRUE;
        }
        w->style &= ~WS_VISIBLE;
        w->hiddenWithOwner = false;
        if (w->mapPending) {
            w->mapPending = false;
            --pu::S().maps.pendingMaps;
        }
        if (w->widget) {
            w->widget->hide();
        }
        pu::State& s = pu::S();
        if (s.input.capture && pu::IsDescendant(h, s.input.capture)) {
            ReleaseCapture();
        }
        if (top && s.input.active == h) {
            s.input.active = nullptr;
            if (pu::Window* o = pu::Find(w->owner)) {
                pu::ActivateWindow(o);
            }
        }
        return TRUE;
    }
    bool newlyShown = !wasVisible;
    if (newlyShown) {
        pu::CallProc(w.get(), WM_SHOWWINDOW, TRUE, 0);
        if (!w) {
            return FALSE;
        }
        w->style |= WS_VISIBLE;
    }
    if (!top) {
        if (w->widget) {
            w->widget->show();
        }
        if (newlyShown) {
            pu::InvalidateWindowTree(w.get(), true);
        }
        return wasVisible;
    }
    if (newlyShown && pu::S().maps.deferMap) {
        // Mapped where the program puts it next, not at its template position.
        w->mapPending = true;
        ++pu::S().maps.pendingMaps;
        pu::InvalidateWindowTree(w.get(), true);
        return wasVisible;
    }
    return pu::MapTopLevel(h, cmd, wasVisible, newlyShown);
}

BOOL WINAPI IsIconic(HWND h) {
    pu::Window* w = pu::Find(h);
    return w && w->showState == pu::ShowState::Minimized ? TRUE : FALSE;
}

BOOL WINAPI IsZoomed(HWND h) {
    pu::Window* w = pu::Find(h);
    return w && w->showState == pu::ShowState::Maximized ? TRUE : FALSE;
}
