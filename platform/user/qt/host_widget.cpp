// The widget of a window that paints itself (a frame, a dialog, a custom
// child): its non-client edges and client surface, and what Qt reports on it
// turned into queued messages: mouse input in client coordinates (to the
// capture when there is one), a close request as SC_CLOSE, a maximise or
// restore as WM_SYSCOMMAND before its WM_SIZE, and each step of a border
// drag as WM_SIZING (at the first), WM_SIZE, then WM_EXITSIZEMOVE once the
// burst ends. Nothing here calls a window procedure.
//
// Leaves out: the caption double-click (the window manager keeps it),
// WM_NCHITTEST, mouse wheel and X buttons, WM_MOUSELEAVE.
#include <QCloseEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>

#include "platform/user/nonclient.h"
#include "platform/user/qt/widget_kit.h"
#include "platform/user/qt/widgets.h"
#include "platform/user/queue.h"
#include "platform/user/show.h"
#include "platform/user/sysparams.h"

namespace platform::user {
namespace {

WPARAM MouseKeys(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
    WPARAM keys = 0;
    if (buttons & Qt::LeftButton) {
        keys |= MK_LBUTTON;
    }
    if (buttons & Qt::RightButton) {
        keys |= MK_RBUTTON;
    }
    if (buttons & Qt::MiddleButton) {
        keys |= MK_MBUTTON;
    }
    if (modifiers & Qt::ShiftModifier) {
        keys |= MK_SHIFT;
    }
    if (modifiers & Qt::ControlModifier) {
        keys |= MK_CONTROL;
    }
    return keys;
}

ShowState StateOf(Qt::WindowStates states) {
    if (states & Qt::WindowMinimized) {
        return ShowState::Minimized;
    }
    if (states & Qt::WindowMaximized) {
        return ShowState::Maximized;
    }
    return ShowState::Normal;
}

bool SizePending(HWND h) {
    for (const QueuedMessage& e : S().messages.queue) {
        if (e.msg.hwnd == h && e.msg.message == WM_SIZE && e.applyGeometry) {
            return true;
        }
    }
    return false;
}

void EnqueueSize(HWND h, bool widgetGeometry, const QRect& geometry) {
    QueuedMessage e;
    e.msg.hwnd = h;
    e.msg.message = WM_SIZE;
    e.applyGeometry = true;
    e.useWidgetGeometry = widgetGeometry;
    e.geometry = geometry;
    Enqueue(e);
}

void EnqueueSysCommand(HWND h, WPARAM command, bool applyState, ShowState state) {
    QueuedMessage e;
    e.msg.hwnd = h;
    e.msg.message = WM_SYSCOMMAND;
    e.msg.wParam = command;
    e.applyState = applyState;
    e.state = state;
    Enqueue(e);
}

class HostWidget : public QWidget {
public:
    HostWidget(HWND h, QWidget* parent) : QWidget(parent), handle_(h) {
        Mark(this, h);
        setMouseTracking(true);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    QMenuBar* menuBar = nullptr;

protected:
    void paintEvent(QPaintEvent* e) override {
        Window* w = Find(handle_);
        if (!w) {
            return;
        }
        QPainter p(this);
        QRect client = ClientRectInWindow(*w);
        DrawNonClient(p, *w, rect(), client);
        if (!w->surface.isNull()) {
            QRect target = e->rect() & client;
            DrawSurface(p, target, w->surface, target.translated(-client.topLeft()));
        } else {
            p.fillRect(e->rect() & client, ToQColor(SystemColour(COLOR_BTNFACE)));
        }
    }

    void mousePressEvent(QMouseEvent* e) override { Post(e, Down(e->button())); }
    void mouseReleaseEvent(QMouseEvent* e) override { Post(e, Down(e->button()) + 1); }
    void mouseDoubleClickEvent(QMouseEvent* e) override {
        Window* w = Find(handle_);
        bool doubleClicks = w && w->windowClass && (w->windowClass->style & CS_DBLCLKS);
        Post(e, Down(e->button()) + (doubleClicks ? 2 : 0));
    }
    void mouseMoveEvent(QMouseEvent* e) override { Post(e, WM_MOUSEMOVE); }

    void resizeEvent(QResizeEvent* e) override {
        QWidget::resizeEvent(e);
        if (menuBar) {
            menuBar->setGeometry(0, 0, width(), menuBar->sizeHint().height());
        }
        WindowRef w(handle_);
        if (!w || (w->style & WS_CHILD) || !e->spontaneous() || w->waitingForShow) {
            return;
        }
        SyncState();
        if (!w || WindowGeometryOf(*this).size() == w->rect.size()) {
            return;
        }
        if (w->stateSizePending) {
            SendPendingStateSize();
            return;
        }
        if (w->reportedState != ShowState::Normal || w->showState != w->reportedState) {
            if (!SizePending(handle_)) {
                EnqueueSize(handle_, true, QRect());
            }
            return;
        }
        // A finished resize from the window manager: one step of a border
        // drag. Windows announces the drag, then each size.
        if (!w->inSizeBurst) {
            w->inSizeBurst = true;
            QueuedMessage enter;
            enter.msg.hwnd = handle_;
            enter.msg.message = WM_ENTERSIZEMOVE;
            Enqueue(enter);
            QueuedMessage sizing;
            sizing.msg.hwnd = handle_;
            sizing.msg.message = WM_SIZING;
            sizing.msg.wParam = WMSZ_BOTTOMRIGHT;
            sizing.hasSizing = true;
            QRect g = WindowGeometryOf(*this);
            sizing.sizing = RECT{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
            Enqueue(sizing);
        }
        EnqueueSize(handle_, false, WindowGeometryOf(*this));
        ExtendSizeBurst(*w);
    }

    void moveEvent(QMoveEvent* e) override {
        QWidget::moveEvent(e);
        Window* w = Find(handle_);
        if (w && !(w->style & WS_CHILD) && e->spontaneous()) {
            // The outer edge, as move() takes it.
            w->rect.moveTopLeft(WindowGeometryOf(*this).topLeft());
        }
    }

    void changeEvent(QEvent* e) override {
        QWidget::changeEvent(e);
        if (e->type() == QEvent::WindowStateChange) {
            SyncState();
        } else if (e->type() == QEvent::ActivationChange && isActiveWindow()) {
            S().input.active = handle_;
        }
    }

    void closeEvent(QCloseEvent* e) override {
        e->ignore();
        if (Find(handle_)) {
            EndSizeBurst();
            EnqueueSysCommand(handle_, SC_CLOSE, false, ShowState::Normal);
        }
    }

private:
    static UINT Down(Qt::MouseButton b) {
        switch (b) {
            case Qt::RightButton:
                return WM_RBUTTONDOWN;
            case Qt::MiddleButton:
                return WM_MBUTTONDOWN;
            default:
                return WM_LBUTTONDOWN;
        }
    }

    void SyncState() {
        Window* w = Find(handle_);
        if (!w || (w->style & WS_CHILD)) {
            return;
        }
        // The window's own state is current before the widget hears of it,
        // so a resize that belongs to a maximise is seen as one.
        ShowState now = StateOf(windowHandle() ? windowHandle()->windowStates() : windowState());
        ShowState before = w->reportedState;
        if (now == before) {
            return;
        }
        w->reportedState = now;
        if (now == w->showState) {
            return;  // the program asked for it through ShowWindow
        }
        EndSizeBurst();
        WPARAM command = now == ShowState::Minimized   ? SC_MINIMIZE
                         : now == ShowState::Maximized ? SC_MAXIMIZE
                                                       : SC_RESTORE;
        EnqueueSysCommand(handle_, command, true, now);
        if (now == ShowState::Minimized) {
            EnqueueSize(handle_, true, QRect());
            ShowOwnedWithOwner(handle_, false);
        } else {
            if (before == ShowState::Minimized) {
                ShowOwnedWithOwner(handle_, true);
            }
            if (before == ShowState::Minimized ||
                WindowGeometryOf(*this).size() != w->rect.size()) {
                EnqueueSize(handle_, true, QRect());
            } else {
                // The new state came before its new size: a WM_SIZE now would
                // carry the old size, and the resize after it would look like
                // a plain one, which computes nothing.
                w->stateSizePending = true;
                QTimer::singleShot(kStateSizeWaitMs, this, [this] { SendPendingStateSize(); });
            }
        }
    }

    static constexpr int kStateSizeWaitMs = 500;

    void SendPendingStateSize() {
        Window* w = Find(handle_);
        if (w && w->stateSizePending) {
            w->stateSizePending = false;
            EnqueueSize(handle_, true, QRect());
        }
    }

    void Post(QMouseEvent* e, UINT message) {
        State& s = S();
        Window* w = Find(handle_);
        if (!w) {
            return;
        }
        bool captured = Find(s.input.capture) != nullptr;
        HWND target = captured ? s.input.capture : handle_;
        Window* t = Find(target);
        if (!t || !t->widget) {
            return;
        }
        QPoint local = t->widget->mapFromGlobal(e->globalPosition().toPoint()) -
                       ClientRectInWindow(*t).topLeft();
        if (!captured &&
            !ClientRectInWindow(*t).contains(local + ClientRectInWindow(*t).topLeft())) {
            return;  // the non-client area: borders take no input here
        }
        QueuedMessage m;
        m.msg.hwnd = target;
        m.msg.message = message;
        m.msg.wParam = MouseKeys(e->buttons(), e->modifiers());
        m.msg.lParam = MAKELPARAM(static_cast<short>(std::clamp(local.x(), -32768, 32767)),
                                  static_cast<short>(std::clamp(local.y(), -32768, 32767)));
        m.modifiers = e->modifiers();
        m.buttons = e->buttons();
        m.hasPosition = true;
        m.position = e->globalPosition().toPoint();
        PostInput(m);
    }

    HWND handle_;
};

HostWidget* HostOf(const Window& w) {
    return dynamic_cast<HostWidget*>(w.widget.data());
}

}  // namespace

QWidget* MakeHostWidget(HWND h, QWidget* parent) {
    return MakeOwned<HostWidget>(h, parent);
}

bool IsHost(const Window& w) {
    return HostOf(w) != nullptr;
}

QMenuBar* MenuBarOf(const Window& w) {
    HostWidget* host = HostOf(w);
    return host ? host->menuBar : nullptr;
}

void AttachMenuBar(Window& w, QMenuBar* bar) {
    if (HostWidget* host = HostOf(w)) {
        host->menuBar = bar;
    }
}

}  // namespace platform::user
