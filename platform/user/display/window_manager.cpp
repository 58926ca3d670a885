// What Windows enforces itself for owned, modal and tool windows, told to
// an X11 window manager through the ICCCM and EWMH hints before a window is
// mapped (window type, decorations and buttons, modal state, out of the
// taskbar); a Qt file or colour box marked the same way over a window of
// ours; a disabled window that the window manager activates or asks to
// close (Windows ignores both; the box over it comes back on top); an owned
// window without a minimise box that the window manager minimised alone;
// and where keys go while a window is disabled under a modal box. Nothing
// here calls a window procedure.
//
// Without an X11 connection (the offscreen platform) or without a window
// manager there is nothing to tell. On Wayland the compositor is told
// nothing beyond what Qt says (the owner as parent), and a disabled window is
// handled as under X11. Leaves out: _NET_WM_USER_TIME, urgency hints, and
// stacking a window manager does not keep by itself.
#include <QApplication>
#include <QWidget>
#include <QWindow>
#include <algorithm>

#include "platform/user/display/display.h"
#include "platform/user/display/xcb.h"
#include "platform/user/focus.h"
#include "platform/user/qt/widgets.h"
#include "platform/user/window.h"

namespace platform::user {
namespace {

Window* ModelOf(QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget || !widget->isWindow() || !IsOurWidget(widget)) {
        return nullptr;
    }
    return Find(HandleOfWidget(widget));
}

// The window that keeps the focus while `disabled` is disabled: the modal
// box of ours it owns, else a visible box of Qt's (a file or colour box)
// whose transient parent it is.
QWidget* BoxOver(const Window& disabled) {
    for (auto& [value, w] : S().table.windows) {
        const DialogState* d = w->Dialog();
        if (d && d->modalOwner == disabled.handle && w->widget && w->widget->isVisible()) {
            return w->widget;
        }
    }
    QWindow* native = disabled.widget ? disabled.widget->windowHandle() : nullptr;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->isVisible() && top->isEnabled() && !IsOurWidget(top) && top->windowHandle() &&
            native && top->windowHandle()->transientParent() == native) {
            return top;
        }
    }
    return nullptr;
}

// A file or colour box of Qt's, about to be mapped over a window of ours
// that its loop disabled: modal to the window manager, out of the taskbar,
// and of the program's class like every other window.
void MarkBox(QObject* object) {
    auto* box = qobject_cast<QWidget*>(object);
    xcb_connection_t* c = Connection();
    if (!c || !box || !box->isWindow() || IsOurWidget(box) || box->windowType() != Qt::Dialog ||
        !box->windowHandle() || !box->windowHandle()->transientParent()) {
        return;
    }
    Window* owner = nullptr;
    for (auto& [value, w] : S().table.windows) {
        if (w->widget && w->widget->windowHandle() == box->windowHandle()->transientParent()) {
            owner = w.get();
        }
    }
    if (!owner) {
        return;
    }
    xcb_window_t native = NativeOf(*box);
    IdentifyWindow(c, native);
    if (owner->style & WS_DISABLED) {
        AddState(c, native, {"_NET_WM_STATE_MODAL", "_NET_WM_STATE_SKIP_TASKBAR"});
    } else {
        AddState(c, native, {"_NET_WM_STATE_SKIP_TASKBAR"});
    }
    xcb_flush(c);
}

// Whether the window manager has iconified the widget's window, or is
// doing so, as the server has it now.
bool Iconic(const QWidget& widget) {
    xcb_connection_t* c = Connection();
    xcb_window_t native = NativeOf(widget);
    if (!c || !native) {
        return false;
    }
    xcb_atom_t state = Atom(c, "WM_STATE");
    std::vector<uint32_t> items = Property32(c, native, state, state);
    if (!items.empty() && items[0] == 3) {  // IconicState
        return true;
    }
    // jwm unmaps the owner first, then iconifies its owned windows, and
    // writes the owner's WM_STATE last: a shown window that is no longer
    // mapped is on its way down.
    XcbReply<xcb_get_window_attributes_reply_t> a(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, native), nullptr));
    return a && a->map_state == XCB_MAP_STATE_UNMAPPED && widget.isVisible();
}

// Runs `act` on window `h` from Qt's loop, after the event now being
// filtered has been handled, if the window still exists then.
template <class Act>
void Later(HWND h, Act act) {
    QMetaObject::invokeMethod(
        qApp,
        [h, act] {
            if (Window* w = Find(h)) {
                act(*w);
            }
        },
        Qt::QueuedConnection);
}

// Some window managers offer every window a minimise button (openbox keeps
// it whatever the hints say). An owned window without WS_MINIMIZEBOX cannot
// be minimised on Windows by itself: it is shown again at once, unless its
// owner went with it (then it comes back with the owner).
bool KeepRestored(QObject* object) {
    Window* w = ModelOf(object);
    if (!w || !w->owner || (w->style & WS_MINIMIZEBOX) || !w->widget ||
        !(w->widget->windowState() & Qt::WindowMinimized)) {
        return false;
    }
    Later(w->handle, [](Window& again) {
        Window* owner = Find(again.owner);
        if (!again.widget || !owner || !owner->widget ||
            (owner->widget->windowState() & Qt::WindowMinimized) ||
            owner->showState == ShowState::Minimized || Iconic(*owner->widget)) {
            return;
        }
        again.widget->setWindowState(again.widget->windowState() & ~Qt::WindowMinimized);
    });
    return true;  // the program hears nothing of it
}

// A window manager may activate or close a window the program disabled
// (under a modal box): Windows ignores both. The box is brought back on top
// with the focus; the close request is dropped.
class DesktopFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* object, QEvent* e) override {
        if (e->type() == QEvent::Show) {
            MarkBox(object);
            return false;
        }
        if (e->type() == QEvent::WindowStateChange) {
            return KeepRestored(object);
        }
        if (e->type() != QEvent::Close && e->type() != QEvent::WindowActivate) {
            return false;
        }
        Window* w = ModelOf(object);
        if (!w || !(w->style & WS_DISABLED)) {
            return false;
        }
        if (e->type() == QEvent::Close) {
            e->ignore();
            return true;
        }
        Later(w->handle, [](Window& disabled) {
            QWidget* box = (disabled.style & WS_DISABLED) ? BoxOver(disabled) : nullptr;
            if (!box) {
                return;
            }
            if (Window* ours = Find(HandleOfWidget(box))) {
                ActivateWindow(ours);
            } else {
                box->raise();
                box->activateWindow();
            }
        });
        return false;
    }
};

}  // namespace

Qt::WindowFlags TopLevelFlags(DWORD style, DWORD exStyle, bool owned) {
    // An owned window is a dialog to the window manager, which then keeps it
    // above its owner (Qt gives a plain window no transient-for).
    Qt::WindowFlags flags = (exStyle & WS_EX_TOOLWINDOW) ? Qt::Tool
                            : owned                      ? Qt::Dialog
                                                         : Qt::Window;
    if ((style & WS_CAPTION) != WS_CAPTION) {
        return flags | Qt::FramelessWindowHint;
    }
    // Qt applies the button hints only when asked to customise.
    flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (style & WS_SYSMENU) {
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    }
    if (style & WS_MINIMIZEBOX) {
        flags |= Qt::WindowMinimizeButtonHint;
    }
    if (style & WS_MAXIMIZEBOX) {
        flags |= Qt::WindowMaximizeButtonHint;
    }
    return flags;
}

void PrepareTopLevel(Window& w, QWidget& widget) {
    if (!Desktop() && !Wayland()) {
        return;
    }
    InstallDesktopFilter();
    xcb_connection_t* c = Connection();
    xcb_window_t native = NativeOf(widget);
    if (!c || !native) {
        return;
    }
    IdentifyWindow(c, native);
    // Windows shows neither owned windows nor tool windows in the taskbar.
    if (w.owner || (w.exStyle & WS_EX_TOOLWINDOW)) {
        AddState(c, native, {"_NET_WM_STATE_SKIP_TASKBAR"});
    }
    xcb_flush(c);
}

void MarkModal(Window& w) {
    xcb_connection_t* c = Connection();
    xcb_window_t native = w.widget ? NativeOf(*w.widget) : 0;
    if (!c || !native || w.widget->isVisible()) {
        return;
    }
    AddState(c, native, {"_NET_WM_STATE_MODAL"});
    xcb_flush(c);
}

HWND KeyTarget(HWND h, int depth) {
    Window* top = TopLevelOf(Find(h));
    if (!top || !(top->style & WS_DISABLED) || depth > 8) {
        return h;
    }
    for (auto& [value, w] : S().table.windows) {
        const DialogState* d = w->Dialog();
        if (d && d->modalOwner == top->handle && w->widget && w->widget->isVisible()) {
            HWND focus = HandleOfWidget(w->widget->focusWidget());
            return KeyTarget(focus && IsDescendant(w->handle, focus) ? focus : w->handle,
                             depth + 1);
        }
    }
    return h;
}

bool Wayland() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void InstallDesktopFilter() {
    static DesktopFilter* filter = nullptr;
    if (!filter && qApp) {
        // Owned by the application object, which is never destroyed.
        filter = std::make_unique<DesktopFilter>(qApp).release();
        qApp->installEventFilter(filter);
        WatchFrames();
    }
}

}  // namespace platform::user
