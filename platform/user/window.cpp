// platform/user/: the window layer, USER32 and the common controls on Qt 6
// Widgets. This file holds windows and their classes; queue.cpp the message
// queue, the loop and painting; dialog.cpp dialogs from the resource
// templates; menu.cpp menus and accelerators; controls.cpp the system
// controls; widgets.cpp the Qt widgets that show them and the input they
// report; desktop.cpp what the window manager is told; app.cpp the start, the
// surface hooks GDI draws through and the common dialogs' bridge;
// bmp_decode.cpp the pictures of SS_BITMAP statics. Left out by the layer as
// a whole: see platform/win32/user.h; by each file: its own header note.
//
// Window classes and windows: registration, creation and destruction in the
// order Windows uses, rectangles, visibility and show states, the user slots,
// text, parent and owner, enabled state, activation, focus, capture, key
// state, system colours and metrics, and DefWindowProcA.
//
// Leaves out: WM_WINDOWPOSCHANGING/CHANGED, WM_NCCALCSIZE, WM_PARENTNOTIFY,
// WM_ACTIVATE and WM_SETFOCUS for changes Qt makes by itself, Z order beyond
// raising, non-client painting other than simple borders, window regions.
#include <strings.h>
#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>

#include "platform/internal/faults.h"
#include "platform/rc/resource_tables.h"
#include "platform/user/internal.h"

namespace platform::user {
namespace {

constexpr int kMaxCoordinate = 32767;  // Win32 carries sizes in 16-bit message fields
constexpr int kMinCoordinate = -32768;

int Clamp16(int v) {
    return std::clamp(v, kMinCoordinate, kMaxCoordinate);
}
int ClampSize(int v) {
    return std::clamp(v, 0, kMaxCoordinate);
}

QRect ClampRect(int x, int y, int cx, int cy) {
    return QRect(Clamp16(x), Clamp16(y), ClampSize(cx), ClampSize(cy));
}

void DeleteWidget(QWidget* widget) {
    std::unique_ptr<QWidget> owned(widget);
}

WindowClass* FindClassImpl(LPCSTR name) {
    State& s = S();
    if (!name) {
        return nullptr;
    }
    for (auto& c : s.classes) {
        if (IS_INTRESOURCE(name) ? c->atom == static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(name))
                                 : strcasecmp(c->name.c_str(), name) == 0) {
            return c.get();
        }
    }
    return nullptr;
}

bool IsTopLevel(const Window& w) {
    return !(w.style & WS_CHILD);
}

bool Decorated(const Window& w) {
    return IsTopLevel(w) && (w.style & WS_CAPTION) == WS_CAPTION;
}

int BorderInset(const Window& w) {
    if (Decorated(w)) {
        return 0;  // the window manager draws the frame outside the Qt geometry
    }
    int inset = 0;
    if (w.style & WS_BORDER) {
        inset += 1;
    }
    if (w.exStyle & WS_EX_CLIENTEDGE) {
        inset += 2;
    }
    if (w.exStyle & WS_EX_STATICEDGE) {
        inset += 1;
    }
    return inset;
}

QSize ClientSize(const Window& w) {
    return ClientRectInWindow(w).size();
}

void SendSizeAndMove(HWND h) {
    Window* w = Find(h);
    if (!w) {
        return;
    }
    QSize c = ClientSize(*w);
    LPARAM size = w->showState == ShowState::Minimized ? 0 : MAKELPARAM(c.width(), c.height());
    CallProc(w, WM_SIZE, SizeKindOf(*w), size);
    if ((w = Find(h)) != nullptr) {
        QPoint origin = IsTopLevel(*w) ? ClientOriginOnScreen(*w)
                                       : w->rect.topLeft() + ClientRectInWindow(*w).topLeft();
        CallProc(w, WM_MOVE, 0, MAKELPARAM(origin.x(), origin.y()));
    }
}

// The minimum tracking size the program asks for, applied to the Qt window.
void QueryMinMax(HWND h) {
    Window* w = Find(h);
    if (!w || !IsTopLevel(*w)) {
        return;
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    QSize sz = screen ? screen->size() : QSize(1024, 768);
    MINMAXINFO info{};
    info.ptMaxSize = {sz.width(), sz.height()};
    info.ptMaxPosition = {0, 0};
    info.ptMinTrackSize = {GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)};
    info.ptMaxTrackSize = {kMaxCoordinate, kMaxCoordinate};
    CallProc(w, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    if ((w = Find(h)) != nullptr && w->widget && (w->style & WS_THICKFRAME)) {
        w->widget->setMinimumSize(
            ClampSize(info.ptMinTrackSize.x - w->frame.left() - w->frame.right()),
            ClampSize(info.ptMinTrackSize.y - w->frame.top() - w->frame.bottom()));
    }
}

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
    Window* w = Find(h);
    if (!w || !w->widget) {
        return;
    }
    // Pumps without user input and without calling any window procedure:
    // what Qt reports meanwhile is only queued. Bounded by about 2 s.
    w->waitingForShow = true;
    State& s = S();
    ++s.waitDepth;
    struct Leave {
        State& s;
        ~Leave() { --s.waitDepth; }
    } leave{s};
    QTimer tick;
    tick.start(10);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(2000);
    while (std::chrono::steady_clock::now() < deadline) {
        w = Find(h);
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
    if ((w = Find(h)) == nullptr) {
        return;
    }
    w->waitingForShow = false;
    if (IsTopLevel(*w) && w->widget) {
        // The frame the window manager really drew. At the first map the
        // window keeps the outer rectangle the program gave it and the client
        // area changes; later (a maximised window may lose its borders) the
        // client area stays and the outer rectangle follows.
        std::optional<QMargins> m = MappedFrame(*w);
        if ((w = Find(h)) == nullptr) {
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

void SendDestroy(HWND h) {
    Window* w = Find(h);
    if (!w) {
        return;
    }
    w->destroying = true;
    if (S().capture == h) {
        ReleaseCapture();
    }
    CallProc(w, WM_DESTROY, 0, 0);
    if ((w = Find(h)) == nullptr) {
        return;
    }
    std::vector<HWND> children = w->children;
    for (HWND c : children) {
        SendDestroy(c);
    }
}

void RemoveFromModel(HWND h) {
    State& s = S();
    Window* w = Find(h);
    if (!w) {
        return;
    }
    std::vector<HWND> children = w->children;
    for (HWND c : children) {
        RemoveFromModel(c);
    }
    if ((w = Find(h)) == nullptr) {
        return;
    }
    CallProc(w, WM_NCDESTROY, 0, 0);
    if ((w = Find(h)) == nullptr) {
        return;
    }
    w->ncDestroyed = true;
    if (Window* parent = Find(w->parent)) {
        auto& list = parent->children;
        list.erase(std::remove(list.begin(), list.end(), h), list.end());
    }
    if (w->windowClass) {
        --w->windowClass->windowCount;
    }
    if (w->menu && IsTopLevel(*w)) {
        DestroyMenu(w->menu);
    }
    if (s.capture == h) {
        s.capture = nullptr;
    }
    if (s.burstWindow == h) {
        s.burstWindow = nullptr;
    }
    std::erase_if(s.queue, [h](const QueuedMessage& m) { return m.msg.hwnd == h; });
    s.windows.erase(reinterpret_cast<std::uintptr_t>(h));
}

}  // namespace

HWND Handle(std::uintptr_t value) {
    return reinterpret_cast<HWND>(value);
}

WindowClass* FindClass(LPCSTR name) {
    return FindClassImpl(name);
}

Window* Find(HWND handle) {
    if (!handle) {
        return nullptr;
    }
    State& s = S();
    auto it = s.windows.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == s.windows.end() || it->second->ncDestroyed) {
        return nullptr;
    }
    return it->second.get();
}

Window* TopLevelOf(Window* window) {
    while (window && (window->style & WS_CHILD)) {
        window = Find(window->parent);
    }
    return window;
}

bool IsDescendant(HWND ancestor, HWND window) {
    for (Window* w = Find(window); w; w = (w->style & WS_CHILD) ? Find(w->parent) : nullptr) {
        if (w->handle == ancestor) {
            return true;
        }
    }
    return false;
}

// In the widget's coordinates: the window manager's frame is outside it.
QRect ClientRectInWindow(const Window& w) {
    int inset = BorderInset(w);
    int top = inset + (IsTopLevel(w) && w.menu ? MenuBarHeight(w) : 0);
    const QMargins& f = w.frame;
    int width = std::max(0, w.rect.width() - f.left() - f.right() - 2 * inset);
    int height = std::max(0, w.rect.height() - f.top() - f.bottom() - top - inset);
    return QRect(inset, top, width, height);
}

QPoint ClientOriginOnScreen(const Window& w) {
    QPoint origin = w.rect.topLeft() + QPoint(w.frame.left(), w.frame.top()) +
                    ClientRectInWindow(w).topLeft();
    if (!IsTopLevel(w)) {
        if (Window* parent = Find(w.parent)) {
            origin += ClientOriginOnScreen(*parent);
        }
    }
    return origin;
}

LRESULT CallProc(Window* window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!window || window->ncDestroyed || !window->proc) {
        return 0;
    }
    return window->proc(window->handle, message, wParam, lParam);
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
        Window* again = Find(h);
        if (again) {
            QPoint origin = IsTopLevel(*again)
                                ? ClientOriginOnScreen(*again)
                                : again->rect.topLeft() + ClientRectInWindow(*again).topLeft();
            CallProc(again, WM_MOVE, 0, MAKELPARAM(origin.x(), origin.y()));
        }
    }
}

// Owned windows stay above their owner: after the owner is raised, so is each
// visible window it owns (and theirs), since without a window manager nothing
// else keeps a tool window above the frame. `depth` bounds a corrupt chain.
void RaiseOwnedWindows(HWND owner, int depth = 0) {
    if (depth > 16) {
        return;
    }
    for (auto& [value, owned] : S().windows) {
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
    s.active = window->handle;
    if (window->widget && window->widget->isVisible()) {
        window->widget->raise();
        RaiseOwnedWindows(window->handle);
        window->widget->activateWindow();
    }
}

}  // namespace platform::user

using platform::user::ActivateWindow;
using platform::user::ApplyGeometry;
using platform::user::CallProc;
using platform::user::Clamp16;
using platform::user::ClampSize;
using platform::user::ClassKind;
using platform::user::ClientOriginOnScreen;
using platform::user::ClientRectInWindow;
using platform::user::ClientSize;
using platform::user::CreateWindowInternal;
using platform::user::DeleteWidget;
using platform::user::EraseBackground;
using platform::user::Find;
using platform::user::FindClass;
using platform::user::HandleOfWidget;
using platform::user::InvalidateWindowTree;
using platform::user::IsDescendant;
using platform::user::IsTopLevel;
using platform::user::OpenMenuBar;
using platform::user::OpenMenuBarByKey;
using platform::user::QStringFromAnsi;
using platform::user::QueryMinMax;
using platform::user::RemoveFromModel;
using platform::user::S;
using platform::user::SendDestroy;
using platform::user::SendSizeAndMove;
using platform::user::ShowState;
using platform::user::SizeKindOf;
using platform::user::State;
using platform::user::SystemColour;
using platform::user::TopLevelOf;
using platform::user::WaitUntilShown;
using platform::user::Window;
using platform::user::WindowClass;

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* wc) {
    // Out of memory gives the failure result Win32 gives, not an exception.
    try {
        State& s = S();
        if (!wc || wc->cbSize != sizeof(WNDCLASSEXA) || !wc->lpfnWndProc || !wc->lpszClassName ||
            IS_INTRESOURCE(wc->lpszClassName) || !*wc->lpszClassName ||
            FindClass(wc->lpszClassName) ||
            platform::ShouldInjectFault(platform::FaultSite::ClassRegister)) {
            return 0;
        }
        auto c = std::make_unique<WindowClass>();
        c->name = wc->lpszClassName;
        c->atom = s.nextAtom++;
        c->style = wc->style;
        c->proc = wc->lpfnWndProc;
        c->instance = wc->hInstance;
        c->cursor = wc->hCursor;
        c->background = wc->hbrBackground;
        c->windowExtra = std::clamp(wc->cbWndExtra, 0, 40);
        if (wc->lpszMenuName) {
            if (IS_INTRESOURCE(wc->lpszMenuName)) {
                c->menuId = static_cast<int>(reinterpret_cast<ULONG_PTR>(wc->lpszMenuName));
            } else {
                c->menuName = wc->lpszMenuName;
            }
        }
        ATOM atom = c->atom;
        s.classes.push_back(std::move(c));
        return atom;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

BOOL WINAPI UnregisterClassA(LPCSTR name, HINSTANCE) {
    State& s = S();
    WindowClass* c = FindClass(name);
    if (!c || c->kind != ClassKind::Custom || c->windowCount > 0) {
        return FALSE;
    }
    std::erase_if(s.classes, [c](const std::unique_ptr<WindowClass>& p) { return p.get() == c; });
    return TRUE;
}

namespace platform::user {

void RegisterBuiltInClass(const char* name, ClassKind kind, WNDPROC proc, UINT style,
                          HBRUSH background, int extra) {
    State& s = S();
    if (FindClass(name)) {
        return;
    }
    auto c = std::make_unique<WindowClass>();
    c->name = name;
    c->atom = kind == ClassKind::Dialog ? 0x8002 : s.nextAtom++;
    c->kind = kind;
    c->proc = proc;
    c->style = style;
    c->background = background;
    c->windowExtra = extra;
    s.classes.push_back(std::move(c));
}

HWND CreateWindowInternal(DWORD exStyle, WindowClass* cls, LPCSTR name, DWORD style, int x, int y,
                          int cx, int cy, HWND parentHandle, HMENU menu, HINSTANCE instance,
                          LPVOID param) {
    State& s = S();
    Window* parent = nullptr;
    Window* owner = nullptr;
    if (style & WS_CHILD) {
        parent = Find(parentHandle);
        if (!parent) {
            return nullptr;
        }
    } else if (parentHandle && parentHandle != HWND_MESSAGE) {
        owner = TopLevelOf(Find(parentHandle));
        if (!owner) {
            return nullptr;
        }
    }
    bool popupOrChild = style & (WS_POPUP | WS_CHILD);
    if (x == CW_USEDEFAULT) {
        x = 0;
        y = 0;  // a pop-up at the screen's top-left corner; overlapped windows too
    }
    if (cx == CW_USEDEFAULT) {
        if (popupOrChild) {
            cx = 0;
            cy = 0;
        } else {
            QScreen* screen = QGuiApplication::primaryScreen();
            QSize sz = screen ? screen->size() : QSize(1024, 768);
            cx = sz.width() * 3 / 4;
            cy = sz.height() * 3 / 4;
        }
    }

    auto owned = std::make_unique<Window>();
    Window& w = *owned;
    w.handle = Handle(s.nextHandle);
    s.nextHandle += 4;
    w.windowClass = cls;
    w.proc = cls->proc;
    w.style = style & ~WS_VISIBLE;
    w.exStyle = exStyle;
    w.parent = parent ? parent->handle : nullptr;
    w.owner = owner ? owner->handle : nullptr;
    w.instance = instance;
    w.extra.assign(static_cast<std::size_t>(cls->windowExtra), 0);
    w.rect = ClampRect(x, y, cx, cy);
    if (!(style & WS_CHILD)) {
        w.frame = ExpectedFrame(style, exStyle, owner != nullptr, &w.frameKnown);
    }
    w.isDialog = cls->kind == ClassKind::Dialog;
    if (style & WS_CHILD) {
        w.id = reinterpret_cast<LONG_PTR>(menu);
    } else if (menu) {
        w.menu = menu;
    } else if (cls->menuId >= 0) {
        w.menu = LoadMenuA(cls->instance, MAKEINTRESOURCEA(cls->menuId));
    } else if (!cls->menuName.empty()) {
        w.menu = LoadMenuA(cls->instance, cls->menuName.c_str());
    }
    HWND h = w.handle;
    s.windows.emplace(reinterpret_cast<std::uintptr_t>(h), std::move(owned));
    ++cls->windowCount;
    if (parent) {
        parent->children.push_back(h);
    }
    Window* pw = parent ? Find(parent->handle) : nullptr;
    w.widget = CreateWidgetFor(w, pw ? pw->widget.data() : nullptr);
    if (w.menu && !(style & WS_CHILD)) {
        RebuildMenuBar(w);
    }
    SyncWidgetGeometry(w);
    ResizeSurface(w);

    if ((style & WS_THICKFRAME) || !(style & (WS_POPUP | WS_CHILD))) {
        QueryMinMax(h);
    }
    CREATESTRUCTA cs{};
    cs.lpCreateParams = param;
    cs.hInstance = instance;
    cs.hMenu = menu;
    cs.hwndParent = parentHandle;
    cs.cy = w.rect.height();
    cs.cx = w.rect.width();
    cs.y = w.rect.y();
    cs.x = w.rect.x();
    cs.style = static_cast<LONG>(style);
    cs.lpszName = name;
    cs.lpszClass = cls->name.c_str();
    cs.dwExStyle = exStyle;
    if (!CallProc(Find(h), WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
        DestroyWindow(h);
        return nullptr;
    }
    if (!Find(h) || CallProc(Find(h), WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(h);
        return nullptr;
    }
    if (!Find(h)) {
        return nullptr;
    }
    SendSizeAndMove(h);
    if (Find(h) && (style & WS_VISIBLE)) {
        ShowWindow(h, SW_SHOW);
    }
    return Find(h) ? h : nullptr;
}

}  // namespace platform::user

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR name, DWORD style, int x, int y,
                            int cx, int cy, HWND parent, HMENU menu, HINSTANCE instance,
                            LPVOID param) {
    // Out of memory gives the failure result Win32 gives, not an exception.
    try {
        WindowClass* cls = FindClass(className);
        if (!cls || cls->kind == ClassKind::Dialog ||
            platform::ShouldInjectFault(platform::FaultSite::WindowCreate)) {
            return nullptr;
        }
        return CreateWindowInternal(exStyle, cls, name, style, x, y, cx, cy, parent, menu, instance,
                                    param);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

BOOL WINAPI DestroyWindow(HWND h) {
    State& s = S();
    Window* w = Find(h);
    if (!w || w->destroying) {
        return FALSE;
    }
    if (w->widget && IsTopLevel(*w)) {
        w->widget->hide();
    }
    // Owned windows go first, as Windows destroys them.
    std::vector<HWND> owned;
    for (auto& [value, other] : s.windows) {
        if (other->owner == h && !other->destroying && !other->ncDestroyed) {
            owned.push_back(other->handle);
        }
    }
    for (HWND o : owned) {
        DestroyWindow(o);
    }
    if ((w = Find(h)) == nullptr) {
        return TRUE;
    }
    bool wasActive = s.active == h;
    HWND owner = w->owner;
    QPointer<QWidget> widget = w->widget;
    SendDestroy(h);
    RemoveFromModel(h);
    if (widget) {
        DeleteWidget(widget.data());
    }
    if (wasActive || !Find(s.active)) {
        s.active = nullptr;
        if (Window* o = Find(owner)) {
            ActivateWindow(o);
        }
    }
    return TRUE;
}

BOOL WINAPI IsWindow(HWND h) {
    return Find(h) ? TRUE : FALSE;
}

BOOL WINAPI IsWindowVisible(HWND h) {
    Window* w = Find(h);
    if (!w) {
        return FALSE;
    }
    for (; w; w = (w->style & WS_CHILD) ? Find(w->parent) : nullptr) {
        if (!(w->style & WS_VISIBLE)) {
            return FALSE;
        }
    }
    return TRUE;
}

BOOL WINAPI IsWindowEnabled(HWND h) {
    Window* w = Find(h);
    return w && !(w->style & WS_DISABLED) ? TRUE : FALSE;
}

BOOL WINAPI EnableWindow(HWND h, BOOL enable) {
    Window* w = Find(h);
    if (!w) {
        return FALSE;
    }
    BOOL wasDisabled = (w->style & WS_DISABLED) ? TRUE : FALSE;
    if (enable ? !wasDisabled : wasDisabled) {
        return wasDisabled;
    }
    if (enable) {
        w->style &= ~WS_DISABLED;
    } else {
        w->style |= WS_DISABLED;
        if (S().capture && IsDescendant(h, S().capture)) {
            ReleaseCapture();
        }
    }
    if ((w = Find(h)) != nullptr && w->widget) {
        w->widget->setEnabled(enable != FALSE);
    }
    CallProc(Find(h), WM_ENABLE, enable ? TRUE : FALSE, 0);
    return wasDisabled;
}

BOOL WINAPI ShowWindow(HWND h, int cmd) {
    Window* w = Find(h);
    if (!w) {
        return FALSE;
    }
    bool top = !(w->style & WS_CHILD);
    BOOL wasVisible = (w->style & WS_VISIBLE) ? TRUE : FALSE;
    if (cmd == SW_HIDE) {
        if (!wasVisible) {
            return FALSE;
        }
        CallProc(w, WM_SHOWWINDOW, FALSE, 0);
        if ((w = Find(h)) == nullptr) {
            return TRUE;
        }
        w->style &= ~WS_VISIBLE;
        w->hiddenWithOwner = false;
        if (w->mapPending) {
            w->mapPending = false;
            --S().pendingMaps;
        }
        if (w->widget) {
            w->widget->hide();
        }
        State& s = S();
        if (s.capture && IsDescendant(h, s.capture)) {
            ReleaseCapture();
        }
        if (top && s.active == h) {
            s.active = nullptr;
            if (Window* o = Find(w->owner)) {
                ActivateWindow(o);
            }
        }
        return TRUE;
    }
    bool newlyShown = !wasVisible;
    if (newlyShown) {
        CallProc(w, WM_SHOWWINDOW, TRUE, 0);
        if ((w = Find(h)) == nullptr) {
            return FALSE;
        }
        w->style |= WS_VISIBLE;
    }
    if (!top) {
        if (w->widget) {
            w->widget->show();
        }
        if (newlyShown) {
            InvalidateWindowTree(w, true);
        }
        return wasVisible;
    }
    if (newlyShown && S().deferMap) {
        // Mapped where the program puts it next, not at its template position.
        w->mapPending = true;
        ++S().pendingMaps;
        InvalidateWindowTree(w, true);
        return wasVisible;
    }
    return platform::user::MapTopLevel(h, cmd, wasVisible, newlyShown);
}

namespace platform::user {

// Owned windows are hidden while their owner is minimised and come back
// with it, as Windows hides owned pop-ups, whoever minimised it (the program
// or the window manager). A window manager may iconify them with their
// owner before they are hidden, and Qt keeps that state: shown iconic, one
// would stay down, and openbox would iconify its owner again with it. So
// each comes back in its own state less the minimised one.
void ShowOwnedWithOwner(HWND owner, bool show) {
    for (auto& [value, w] : S().windows) {
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
    Window* w = Find(h);
    if (!w) {
        return wasVisible;
    }
    if (w->mapPending) {
        w->mapPending = false;
        --S().pendingMaps;
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
    if (newlyShown && (w = Find(h)) != nullptr) {
        InvalidateWindowTree(w, true);
    }
    if ((w = Find(h)) != nullptr && cmd != SW_SHOWNA && cmd != SW_SHOWNOACTIVATE) {
        ActivateWindow(w);
    }
    if (newlyShown || previous != ShowState::Normal || cmd == SW_MAXIMIZE) {
        WaitUntilShown(h);
    }
    if ((w = Find(h)) != nullptr && w->showState != previous && w->widget) {
        ApplyGeometry(*w, WindowGeometryOf(*w->widget), false);
        SendSizeAndMove(h);
    }
    return wasVisible;
}

// While the program holds the thread (a computation between two of its
// calls to the layer, outside any loop), what other windows uncover of ours
// is painted from the backing surfaces when the program next calls in, at
// most every 50 ms. Qt's events are only queued meanwhile: no window
// procedure runs.
void PaintWhileBusy() {
    State& s = S();
    if (s.loopDepth > 0 || s.waitDepth > 0 || !Desktop()) {
        return;
    }
    static std::chrono::steady_clock::time_point last;
    auto now = std::chrono::steady_clock::now();
    if (now - last < std::chrono::milliseconds(50)) {
        return;
    }
    last = now;
    ++s.waitDepth;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    --s.waitDepth;
}

void FlushPendingMaps() {
    State& s = S();
    if (s.pendingMaps <= 0 || s.deferMap || s.waitDepth > 0) {
        return;
    }
    std::vector<HWND> pending;
    for (auto& [value, w] : s.windows) {
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

// After a visible top-level moved: the parts of other windows it uncovered
// are painted from their backing surfaces before the call returns, as the
// program may hold the thread for a long computation now. Bounded; no
// window procedure runs.
void SettleMove(HWND h, const QRect& before) {
    Window* w = Find(h);
    if (!w || !w->widget || !Desktop()) {
        return;
    }
    State& s = S();
    ++s.waitDepth;
    struct Leave {
        State& s;
        ~Leave() { --s.waitDepth; }
    } leave{s};
    // The window manager moves its frame in its own time: wait (bounded)
    // until the server has the window where it was asked to be. The
    // exposures of what it uncovered come before that answer.
    QPoint want = w->rect.topLeft() + QPoint(w->frame.left(), w->frame.top());
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    do {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
        w = Find(h);
        if (!w || !w->widget || ServerPosition(*w->widget).value_or(want) == want) {
            break;
        }
    } while (std::chrono::steady_clock::now() < deadline);
    // The server has the window there now: what it uncovered of our other
    // windows is drawn again from their surfaces at once (their exposures
    // would come in Qt's own time).
    w = Find(h);
    QRegion uncovered = QRegion(before) - QRegion(w ? w->rect : QRect());
    for (auto& [value, other] : s.windows) {
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

BOOL WINAPI UpdateWindow(HWND h) {
    platform::user::FlushPendingMaps();
    Window* w = Find(h);
    if (!w) {
        return FALSE;
    }
    if (!w->update.isEmpty() && IsWindowVisible(h)) {
        CallProc(w, WM_PAINT, 0, 0);
    }
    return TRUE;
}

BOOL WINAPI IsIconic(HWND h) {
    Window* w = Find(h);
    return w && w->showState == ShowState::Minimized ? TRUE : FALSE;
}

BOOL WINAPI IsZoomed(HWND h) {
    Window* w = Find(h);
    return w && w->showState == ShowState::Maximized ? TRUE : FALSE;
}

BOOL WINAPI GetClientRect(HWND h, LPRECT rect) {
    Window* w = Find(h);
    if (!w || !rect) {
        return FALSE;
    }
    QSize c = ClientSize(*w);
    *rect = RECT{0, 0, c.width(), c.height()};
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND h, LPRECT rect) {
    Window* w = Find(h);
    if (!w || !rect) {
        return FALSE;
    }
    QPoint origin = w->rect.topLeft();
    if (w->style & WS_CHILD) {
        if (Window* parent = Find(w->parent)) {
            origin += ClientOriginOnScreen(*parent);
        }
    }
    *rect =
        RECT{origin.x(), origin.y(), origin.x() + w->rect.width(), origin.y() + w->rect.height()};
    return TRUE;
}

BOOL WINAPI SetWindowPos(HWND h, HWND after, int x, int y, int cx, int cy, UINT flags) {
    Window* w = Find(h);
    if (!w) {
        return FALSE;
    }
    QRect r = w->rect;
    const QRect before = w->rect;
    if (!(flags & SWP_NOMOVE)) {
        r.moveTopLeft(QPoint(Clamp16(x), Clamp16(y)));
    }
    if (!(flags & SWP_NOSIZE)) {
        r.setSize(QSize(ClampSize(cx), ClampSize(cy)));
    }
    if (r != w->rect) {
        ApplyGeometry(*w, r, true);
    }
    if ((w = Find(h)) == nullptr) {
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
            if ((w = Find(h)) == nullptr) {
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
    Window* w = Find(h);
    if (!w || !pt) {
        return FALSE;
    }
    QPoint o = ClientOriginOnScreen(*w);
    pt->x += o.x();
    pt->y += o.y();
    return TRUE;
}

BOOL WINAPI ScreenToClient(HWND h, LPPOINT pt) {
    Window* w = Find(h);
    if (!w || !pt) {
        return FALSE;
    }
    QPoint o = ClientOriginOnScreen(*w);
    pt->x -= o.x();
    pt->y -= o.y();
    return TRUE;
}

HWND WINAPI GetParent(HWND h) {
    Window* w = Find(h);
    if (!w) {
        return nullptr;
    }
    if (w->style & WS_CHILD) {
        return w->parent;
    }
    return (w->style & WS_POPUP) ? w->owner : nullptr;
}

HWND WINAPI GetAncestor(HWND h, UINT flags) {
    Window* w = Find(h);
    if (!w) {
        return nullptr;
    }
    switch (flags) {
        case GA_PARENT:
            return (w->style & WS_CHILD) ? w->parent : nullptr;
        case GA_ROOT:
            return TopLevelOf(w)->handle;
        case GA_ROOTOWNER: {
            Window* root = TopLevelOf(w);
            while (Window* o = Find(root->owner)) {
                root = o;
            }
            return root->handle;
        }
        default:
            return nullptr;
    }
}

HWND WINAPI GetWindow(HWND h, UINT cmd) {
    Window* w = Find(h);
    if (!w) {
        return nullptr;
    }
    if (cmd == GW_OWNER) {
        return w->owner;
    }
    if (cmd == GW_CHILD) {
        return w->children.empty() ? nullptr : w->children.front();
    }
    Window* parent = Find(w->parent);
    if (!parent) {
        return nullptr;
    }
    const auto& list = parent->children;
    auto it = std::find(list.begin(), list.end(), h);
    switch (cmd) {
        case GW_HWNDFIRST:
            return list.front();
        case GW_HWNDLAST:
            return list.back();
        case GW_HWNDNEXT:
            return (it != list.end() && it + 1 != list.end()) ? *(it + 1) : nullptr;
        case GW_HWNDPREV:
            return (it != list.begin() && it != list.end()) ? *(it - 1) : nullptr;
        default:
            return nullptr;
    }
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND h, int index) {
    Window* w = Find(h);
    if (!w) {
        return 0;
    }
    switch (index) {
        case GWL_STYLE:
            return static_cast<LONG_PTR>(w->style);
        case GWL_EXSTYLE:
            return static_cast<LONG_PTR>(w->exStyle);
        case GWLP_ID:
            return w->id;
        case GWLP_WNDPROC:
            return reinterpret_cast<LONG_PTR>(w->proc);
        case GWLP_HINSTANCE:
            return reinterpret_cast<LONG_PTR>(w->instance);
        case GWLP_HWNDPARENT:
            return reinterpret_cast<LONG_PTR>((w->style & WS_CHILD) ? w->parent : w->owner);
        case GWLP_USERDATA:
            return w->userData;
        default:
            break;
    }
    if (index < 0 || static_cast<std::size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) {
        return 0;
    }
    LONG_PTR value = 0;
    std::memcpy(&value, w->extra.data() + index, sizeof value);
    return value;
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND h, int index, LONG_PTR value) {
    Window* w = Find(h);
    if (!w) {
        return 0;
    }
    LONG_PTR old = GetWindowLongPtrA(h, index);
    switch (index) {
        case GWL_STYLE: {
            DWORD keep = WS_VISIBLE | WS_CHILD;  // changed through ShowWindow and SetParent only
            w->style = (static_cast<DWORD>(value) & ~keep) | (w->style & keep);
            UpdateWidgetFromModel(*w);
            return old;
        }
        case GWL_EXSTYLE:
            w->exStyle = static_cast<DWORD>(value);
            UpdateWidgetFromModel(*w);
            return old;
        case GWLP_ID:
            w->id = value;
            return old;
        case GWLP_WNDPROC:
            if (!value) {
                return 0;
            }
            w->proc = reinterpret_cast<WNDPROC>(value);
            return old;
        case GWLP_HINSTANCE:
            w->instance = reinterpret_cast<HINSTANCE>(value);
            return old;
        case GWLP_HWNDPARENT:
            return 0;
        case GWLP_USERDATA:
            w->userData = value;
            return old;
        default:
            break;
    }
    if (index < 0 || static_cast<std::size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) {
        return 0;
    }
    std::memcpy(w->extra.data() + index, &value, sizeof value);
    return old;
}

LONG WINAPI GetWindowLongA(HWND h, int index) {
    return static_cast<LONG>(GetWindowLongPtrA(h, index));
}

LONG WINAPI SetWindowLongA(HWND h, int index, LONG value) {
    return static_cast<LONG>(SetWindowLongPtrA(h, index, value));
}

BOOL WINAPI SetWindowTextA(HWND h, LPCSTR text) {
    if (!Find(h)) {
        return FALSE;
    }
    return SendMessageA(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

int WINAPI GetWindowTextA(HWND h, LPSTR buffer, int size) {
    if (!buffer || size <= 0) {
        return 0;
    }
    buffer[0] = '\0';
    if (!Find(h)) {
        return 0;
    }
    return static_cast<int>(
        SendMessageA(h, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(buffer)));
}

int WINAPI GetWindowTextLengthA(HWND h) {
    return static_cast<int>(SendMessageA(h, WM_GETTEXTLENGTH, 0, 0));
}

int WINAPI GetDlgCtrlID(HWND h) {
    Window* w = Find(h);
    return w && (w->style & WS_CHILD) ? static_cast<int>(w->id) : 0;
}

HWND WINAPI GetActiveWindow(void) {
    State& s = S();
    Window* w = Find(s.active);
    return w && (w->style & WS_VISIBLE) ? w->handle : nullptr;
}

HWND WINAPI SetActiveWindow(HWND h) {
    Window* w = TopLevelOf(Find(h));
    if (!w) {
        return nullptr;
    }
    HWND previous = GetActiveWindow();
    ActivateWindow(w);
    return previous;
}

HWND WINAPI GetForegroundWindow(void) {
    return GetActiveWindow();
}

BOOL WINAPI SetForegroundWindow(HWND h) {
    return SetActiveWindow(h) || Find(h) ? TRUE : FALSE;
}

HWND WINAPI GetFocus(void) {
    QWidget* focus = QApplication::focusWidget();
    if (HWND h = HandleOfWidget(focus)) {
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
    Window* w = Find(h);
    if (!w || (w->style & WS_DISABLED)) {
        return nullptr;
    }
    if (previous == h) {
        return previous;
    }
    Window* top = TopLevelOf(w);
    if (top && S().active != top->handle && (top->style & WS_VISIBLE)) {
        ActivateWindow(top);
    }
    if ((w = Find(h)) != nullptr && w->widget) {
        w->widget->setFocus(Qt::OtherFocusReason);
        if (top) {
            top->lastFocus = h;
        }
    }
    if (previous && previous != h) {
        CallProc(Find(previous), WM_KILLFOCUS, reinterpret_cast<WPARAM>(h), 0);
    }
    CallProc(Find(h), WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
    return previous;
}

HWND WINAPI GetCapture(void) {
    State& s = S();
    return Find(s.capture) ? s.capture : nullptr;
}

HWND WINAPI SetCapture(HWND h) {
    State& s = S();
    HWND previous = GetCapture();
    if (!Find(h)) {
        return previous;
    }
    s.capture = h;
    if (previous && previous != h) {
        CallProc(Find(previous), WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(h));
    }
    return previous;
}

BOOL WINAPI ReleaseCapture(void) {
    State& s = S();
    HWND previous = GetCapture();
    s.capture = nullptr;
    if (previous) {
        CallProc(Find(previous), WM_CAPTURECHANGED, 0, 0);
    }
    return TRUE;
}

SHORT WINAPI GetKeyState(int key) {
    State& s = S();
    BYTE b = s.keyState[static_cast<std::size_t>(key) & 0xFF];
    std::uint16_t result = static_cast<std::uint16_t>(((b & 0x80) ? 0xFF80 : 0) | (b & 1));
    return static_cast<SHORT>(result);
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
    if (instance || !IS_INTRESOURCE(name)) {
        return nullptr;
    }
    auto id = reinterpret_cast<ULONG_PTR>(name);
    if (id < 32512 || id > 32515) {
        return nullptr;
    }
    // A stand-in handle that names the system cursor.
    return reinterpret_cast<HCURSOR>(static_cast<ULONG_PTR>(0x7F000000u + id));
}

HCURSOR WINAPI SetCursor(HCURSOR cursor) {
    return cursor;
}

namespace platform::user {

COLORREF SystemColour(int index) {
    // The default Windows 10 colours, as 0xRRGGBB; converted below.
    static constexpr std::uint32_t rgb[] = {
        0xC8C8C8, 0x000000, 0x99B4D1, 0xBFCDDB, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000,
        0x000000, 0x000000, 0xB4B4B4, 0xF4F7FC, 0xABABAB, 0x0078D7, 0xFFFFFF, 0xF0F0F0,
        0xA0A0A0, 0x6D6D6D, 0x000000, 0x000000, 0xFFFFFF, 0x696969, 0xE3E3E3, 0x000000,
        0xFFFFE1, 0x000000, 0x0066CC, 0xB9D1EA, 0xD7E4F2, 0x3399FF, 0xF0F0F0};
    if (index < 0 || index >= static_cast<int>(std::size(rgb))) {
        return 0;
    }
    std::uint32_t v = rgb[index];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

QColor ToQColor(COLORREF c) {
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

}  // namespace platform::user

DWORD WINAPI GetSysColor(int index) {
    return SystemColour(index);
}

int WINAPI GetSystemMetrics(int index) {
    QScreen* screen = QGuiApplication::primaryScreen();
    QSize sz = screen ? screen->size() : QSize(1024, 768);
    switch (index) {
        case SM_CXSCREEN:
            return sz.width();
        case SM_CYSCREEN:
            return sz.height();
        case SM_CYCAPTION:
            return 23;
        case SM_CXBORDER:
        case SM_CYBORDER:
            return 1;
        case SM_CXDLGFRAME:
        case SM_CYDLGFRAME:
            return 3;
        case SM_CYMENU:
            return 20;
        case SM_CXFRAME:
        case SM_CYFRAME:
            return 4;
        case SM_CXMINTRACK:
            return 136;
        case SM_CYMINTRACK:
            return 39;
        case SM_CXEDGE:
        case SM_CYEDGE:
            return 2;
        default:
            return 0;
    }
}

LRESULT WINAPI CallWindowProcA(WNDPROC proc, HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(h, message, wParam, lParam) : 0;
}

LRESULT WINAPI DefWindowProcA(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* w = Find(h);
    if (!w) {
        return 0;
    }
    switch (message) {
        case WM_NCCREATE: {
            auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
            if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName)) {
                DefWindowProcA(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(cs->lpszName));
            }
            return TRUE;
        }
        case WM_CLOSE:
            DestroyWindow(h);
            return 0;
        case WM_SYSCOMMAND:
            switch (wParam & 0xFFF0) {
                case SC_CLOSE:
                    SendMessageA(h, WM_CLOSE, 0, 0);
                    return 0;
                case SC_MINIMIZE:
                    ShowWindow(h, SW_MINIMIZE);
                    return 0;
                case SC_MAXIMIZE:
                    ShowWindow(h, SW_MAXIMIZE);
                    return 0;
                case SC_RESTORE:
                    ShowWindow(h, SW_RESTORE);
                    return 0;
                case SC_KEYMENU:
                    if (!(w->style & WS_CHILD) && w->menu) {
                        OpenMenuBarByKey(*w, static_cast<char>(lParam & 0xFF));
                    }
                    return 0;
                default:
                    return 0;
            }
        case WM_KEYDOWN:
            S().altAlone = false;
            return 0;
        case WM_SYSKEYDOWN: {
            Window* top = TopLevelOf(w);
            S().altAlone = wParam == VK_MENU;
            if (top && wParam == VK_F4 && (lParam & (1 << 29))) {
                SendMessageA(top->handle, WM_SYSCOMMAND, SC_CLOSE, 0);
            } else if (top && wParam == VK_F10) {
                SendMessageA(top->handle, WM_SYSCOMMAND, SC_KEYMENU, 0);
            }
            return 0;
        }
        case WM_SYSKEYUP:
            if (wParam == VK_MENU && S().altAlone) {
                S().altAlone = false;
                if (Window* top = TopLevelOf(w)) {
                    SendMessageA(top->handle, WM_SYSCOMMAND, SC_KEYMENU, 0);
                }
            }
            return 0;
        case WM_SYSCHAR:
            if (Window* top = TopLevelOf(w); top && wParam != ' ') {
                SendMessageA(top->handle, WM_SYSCOMMAND, SC_KEYMENU, static_cast<LPARAM>(wParam));
            }
            return 0;
        case WM_NCLBUTTONDOWN:
            if (wParam == HTMENU && !(w->style & WS_CHILD) && w->menu) {
                OpenMenuBar(*w, QPoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)));
            }
            return 0;
        case WM_NCLBUTTONDBLCLK:
            if (wParam == HTCAPTION && (w->style & WS_MAXIMIZEBOX)) {
                SendMessageA(h, WM_SYSCOMMAND, IsZoomed(h) ? SC_RESTORE : SC_MAXIMIZE, lParam);
            }
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            BeginPaint(h, &ps);
            EndPaint(h, &ps);
            return 0;
        }
        case WM_SETTEXT: {
            auto* text = reinterpret_cast<LPCSTR>(lParam);
            w->text = text ? text : "";
            if (!(w->style & WS_CHILD) && w->widget) {
                w->widget->setWindowTitle(QStringFromAnsi(w->text));
            }
            return TRUE;
        }
        case WM_GETTEXT: {
            auto* buffer = reinterpret_cast<LPSTR>(lParam);
            if (!buffer || wParam == 0) {
                return 0;
            }
            std::size_t n = std::min(w->text.size(), static_cast<std::size_t>(wParam) - 1);
            std::memcpy(buffer, w->text.data(), n);
            buffer[n] = '\0';
            return static_cast<LRESULT>(n);
        }
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(w->text.size());
        default:
            return 0;
    }
}
