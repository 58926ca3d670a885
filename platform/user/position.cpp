// Rectangles, positions and coordinates: a window's rectangle in the model
// and on its widget, the client area inside it, WM_SIZE, WM_MOVE and
// WM_GETMINMAXINFO, SetWindowPos, MoveWindow, GetWindowRect, GetClientRect
// and the conversions between client and screen coordinates. A top-level
// window's rectangle is its outer edge, the window manager's frame included.
//
// Leaves out: WM_WINDOWPOSCHANGING/CHANGED, WM_NCCALCSIZE, MapWindowPoints,
// AdjustWindowRect, window placement (Get/SetWindowPlacement), and Z order
// beyond raising.
#include <QCoreApplication>
#include <QRegion>
#include <QWidget>
#include <algorithm>
#include <chrono>

#include "platform/user/display/display.h"
#include "platform/user/focus.h"
#include "platform/user/nonclient.h"
#include "platform/user/paint.h"
#include "platform/user/position.h"
#include "platform/user/qt/widgets.h"
#include "platform/user/show.h"
#include "platform/user/sysparams.h"
#include "platform/user/window.h"

namespace platform::user {
namespace {

constexpr int kMaxCoordinate = 32767;  // Win32 carries sizes in 16-bit message fields
constexpr int kMinCoordinate = -32768;

// WM_MOVE carries the client area's origin: on the screen for a top-level
// window, in the parent's client area for a child.
void SendMove(HWND h) {
    if (Window* w = Find(h)) {
        QPoint origin = IsTopLevel(*w) ? ClientOriginOnScreen(*w)
                                       : w->rect.topLeft() + ClientRectInWindow(*w).topLeft();
        CallProc(w, WM_MOVE, 0, MAKELPARAM(origin.x(), origin.y()));
    }
}

}  // namespace

int Clamp16(int v) {
    return std::clamp(v, kMinCoordinate, kMaxCoordinate);
}
int ClampSize(int v) {
    return std::clamp(v, 0, kMaxCoordinate);
}

QRect ClampRect(int x, int y, int cx, int cy) {
    return QRect(Clamp16(x), Clamp16(y), ClampSize(cx), ClampSize(cy));
}

QSize ClientSize(const Window& w) {
    return ClientRectInWindow(w).size();
}

WPARAM SizeKindOf(const Window& w) {
    switch (w.showState) {
        case ShowState::Minimized:
            return SIZE_MINIMIZED;
        case ShowState::Maximized:
            return SIZE_MAXIMIZED;
        default:
            return SIZE_RESTORED;
    }
}

void SendSizeAndMove(HWND h) {
    Window* w = Find(h);
    if (!w) {
        return;
    }
    QSize c = ClientSize(*w);
    LPARAM size = w->showState == ShowState::Minimized ? 0 : MAKELPARAM(c.width(), c.height());
    CallProc(w, WM_SIZE, SizeKindOf(*w), size);
    SendMove(h);
}

void QueryMinMax(HWND h) {
    WindowRef w(h);
    if (!w || !IsTopLevel(*w)) {
        return;
    }
    QSize sz = ScreenSize();
    MINMAXINFO info{};
    info.ptMaxSize = {sz.width(), sz.height()};
    info.ptMaxPosition = {0, 0};
    info.ptMinTrackSize = {GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)};
    info.ptMaxTrackSize = {kMaxCoordinate, kMaxCoordinate};
    CallProc(w.get(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    if (w && w->widget && (w->style & WS_THICKFRAME)) {
        w->widget->setMinimumSize(
            ClampSize(info.ptMinTrackSize.x - w->frame.left() - w->frame.right()),
            ClampSize(info.ptMinTrackSize.y - w->frame.top() - w->frame.bottom()));
    }
}

QPoint ClientOriginOnScreen(const Window& w) {
    QPoint origin =
        w.rect.topLeft() + QPoint(w.frame.left(), w.frame.top()) + ClientRectInWindow(w).topLeft();
    if (!IsTopLevel(w)) {
        if (Window* parent = Find(w.parent)) {
            origin += ClientOriginOnScreen(*parent);
        }
    }
    return origin;
}

void SyncWidgetGeometry(Window& w) {
    if (!w.widget) {
        return;
    }
    if (IsTopLevel(w)) {
        // A window's position on Win32 is that of its outer edge, caption
        // included. With the frame known the widget is placed inside it;
        // without, move() places the window manager's frame at the outer
        // edge, so the title bar of a window opened at (0, 0) is on the
        // screen. Without WS_THICKFRAME the user cannot resize it.
        // A maximised or minimised window's geometry is the window
        // manager's: pushing the model's back could undo a move it is making.
        QRect inner = w.rect.marginsRemoved(w.frame);
        bool managed = w.widget->windowState() &
                       (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen);
        if (!managed) {
            if (!(w.style & WS_THICKFRAME)) {
                w.widget->setFixedSize(inner.size());
            }
            if (w.frameKnown) {
                w.widget->setGeometry(inner);
            } else {
                w.widget->resize(inner.size());
                w.widget->move(w.rect.topLeft());
            }
        }
    } else if (Window* parent = Find(w.parent)) {
        w.widget->setGeometry(w.rect.translated(ClientRectInWindow(*parent).topLeft()));
    }
    UpdateWidgetFromModel(w);
}

void ApplyGeometry(Window& w, const QRect& requested, bool sendSize) {
    HWND h = w.handle;
    QRect r = ClampRect(requested.x(), requested.y(), requested.width(), requested.height());
    QRect old = w.rect;
    QSize oldClient = ClientSize(w);
    w.rect = r;
    SyncWidgetGeometry(w);
    QSize client = ClientSize(w);
    if (client != oldClient) {
        ResizeSurface(w);
        UINT cs = w.windowClass ? w.windowClass->style : 0;
        if (cs & (CS_HREDRAW | CS_VREDRAW)) {
            InvalidateRect(h, nullptr, TRUE);
        } else {
            QRegion fresh =
                QRegion(QRect(QPoint(0, 0), client)) - QRegion(QRect(QPoint(0, 0), oldClient));
            for (const QRect& part : fresh) {
                RECT rc{part.left(), part.top(), part.right() + 1, part.bottom() + 1};
                InvalidateRect(h, &rc, TRUE);
            }
        }
        // Children keep their client positions; a child's own widget
        // position depends on this window's non-client area only.
        for (HWND c : w.children) {
            if (Window* child = Find(c)) {
                SyncWidgetGeometry(*child);
            }
        }
    }
    if (!sendSize) {
        return;
    }
    if (client != oldClient || r.size() != old.size()) {
        SendSizeAndMove(h);
    } else if (r.topLeft() != old.topLeft()) {
        SendMove(h);
    }
}

// After a visible top-level moved: the parts of other windows it uncovered
// are painted from their backing surfaces before the call returns, as the
// program may hold the thread for a long computation now. Bounded; no
// window procedure runs.
void SettleMove(HWND h, const QRect& before) {
    WindowRef w(h);
    if (!w || !w->widget || !Desktop()) {
        return;
    }
    DisplayWait wait;
    // The window manager moves its frame in its own time: wait (bounded)
    // until the server has the window where it was asked to be. The
    // exposures of what it uncovered come before that answer.
    QPoint want = w->rect.topLeft() + QPoint(w->frame.left(), w->frame.top());
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    do {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
        if (!w || !w->widget || ServerPosition(*w->widget).value_or(want) == want) {
            break;
        }
    } while (std::chrono::steady_clock::now() < deadline);
    // The server has the window there now: what it uncovered of our other
    // windows is drawn again from their surfaces at once (their exposures
    // would come in Qt's own time).
    QRegion uncovered = QRegion(before) - QRegion(w ? w->rect : QRect());
    for (auto& [value, other] : S().table.windows) {
        if (other->handle == h || !IsTopLevel(*other) || !other->widget ||
            !other->widget->isVisible()) {
            continue;
        }
        QRect inner = other->rect.marginsRemoved(other->frame);
        QRegion part = uncovered & inner;
        if (!part.isEmpty()) {
            other->widget->repaint(part.translated(-inner.topLeft()));
        }
    }
    SyncWithServer();
}

}  // namespace platform::user

namespace pu = platform::user;

BOOL WINAPI GetClientRect(HWND h, LPRECT rect) {
    pu::Window* w = pu::Find(h);
    if (!w || !rect) {
        return FALSE;
    }
    QSize c = pu::ClientSize(*w);
    *rect = RECT{0, 0, c.width(), c.height()};
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND h, LPRECT rect) {
    pu::Window* w = pu::Find(h);
    if (!w || !rect) {
        return FALSE;
    }
    QPoint origin = w->rect.topLeft();
    if (w->style & WS_CHILD) {
        if (pu::Window* parent = pu::Find(w->parent)) {
            origin += pu::ClientOriginOnScreen(*parent);
        }
    }
    *rect =
        RECT{origin.x(), origin.y(), origin.x() + w->rect.width(), origin.y() + w->rect.height()};
    return TRUE;
}

BOOL WINAPI SetWindowPos(HWND h, HWND after, int x, int y, int cx, int cy, UINT flags) {
    pu::WindowRef w(h);
    if (!w) {
        return FALSE;
    }
    QRect r = w->rect;
    const QRect before = w->rect;
    if (!(flags & SWP_NOMOVE)) {
        r.moveTopLeft(QPoint(pu::Clamp16(x), pu::Clamp16(y)));
    }
    if (!(flags & SWP_NOSIZE)) {
        r.setSize(QSize(pu::ClampSize(cx), pu::ClampSize(cy)));
    }
    if (r != w->rect) {
        pu::ApplyGeometry(*w, r, true);
    }
    if (!w) {
        return TRUE;
    }
    if (!(flags & SWP_NOZORDER) && (after == HWND_TOP || after == HWND_TOPMOST) && w->widget) {
        w->widget->raise();
        platform::user::RaiseOwnedWindows(h);
    }
    if (!(w->style & WS_CHILD) && w->widget && w->widget->isVisible()) {
        // Painted at once: a window moved while a computation holds the
        // thread would otherwise wait for its expose.
        w->widget->repaint();
        if (r.topLeft() != before.topLeft()) {
            platform::user::SettleMove(h, before);
            if (!w) {
                return TRUE;
            }
        }
    }
    platform::user::FlushPendingMaps();
    if (flags & SWP_SHOWWINDOW) {
        ShowWindow(h, (flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
    } else if (flags & SWP_HIDEWINDOW) {
        ShowWindow(h, SW_HIDE);
    }
    return TRUE;
}

BOOL WINAPI MoveWindow(HWND h, int x, int y, int cx, int cy, BOOL) {
    return SetWindowPos(h, nullptr, x, y, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL WINAPI ClientToScreen(HWND h, LPPOINT pt) {
    pu::Window* w = pu::Find(h);
    if (!w || !pt) {
        return FALSE;
    }
    QPoint o = pu::ClientOriginOnScreen(*w);
    pt->x += o.x();
    pt->y += o.y();
    return TRUE;
}

BOOL WINAPI ScreenToClient(HWND h, LPPOINT pt) {
    pu::Window* w = pu::Find(h);
    if (!w || !pt) {
        return FALSE;
    }
    QPoint o = pu::ClientOriginOnScreen(*w);
    pt->x -= o.x();
    pt->y -= o.y();
    return TRUE;
}
