// The window tree and its lifetime: handles, creation and destruction in the
// order Windows uses (WM_NCCREATE, WM_CREATE, WM_SIZE and WM_MOVE; owned
// windows first, then WM_DESTROY down the tree and WM_NCDESTROY up it),
// parent, owner and siblings, the window longs and user slots, the id, the
// enabled state, and the window text.
//
// Leaves out: SetParent, WM_PARENTNOTIFY, EnumWindows, FindWindow, window
// properties (SetProp), and Z order beyond the creation order of children.
#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/internal/faults.h"
#include "platform/user/class.h"
#include "platform/user/display/display.h"
#include "platform/user/focus.h"
#include "platform/user/paint.h"
#include "platform/user/position.h"
#include "platform/user/qt/widgets.h"
#include "platform/user/sysparams.h"
#include "platform/user/window.h"

namespace platform::user {
namespace {

void DeleteWidget(QWidget* widget) {
    std::unique_ptr<QWidget> owned(widget);
}

void SendDestroy(HWND h) {
    WindowRef w(h);
    if (!w) {
        return;
    }
    w->destroying = true;
    if (S().input.capture == h) {
        ReleaseCapture();
    }
    CallProc(w.get(), WM_DESTROY, 0, 0);
    if (!w) {
        return;
    }
    std::vector<HWND> children = w->children;
    for (HWND c : children) {
        SendDestroy(c);
    }
}

void RemoveFromModel(HWND h) {
    State& s = S();
    WindowRef w(h);
    if (!w) {
        return;
    }
    std::vector<HWND> children = w->children;
    for (HWND c : children) {
        RemoveFromModel(c);
    }
    if (!w) {
        return;
    }
    CallProc(w.get(), WM_NCDESTROY, 0, 0);
    // Found no more from here on: the rest works on the window itself.
    Window* gone = w.get();
    if (!gone) {
        return;
    }
    gone->ncDestroyed = true;
    if (Window* parent = Find(gone->parent)) {
        auto& list = parent->children;
        list.erase(std::remove(list.begin(), list.end(), h), list.end());
    }
    if (gone->windowClass) {
        --gone->windowClass->windowCount;
    }
    if (gone->menu && IsTopLevel(*gone)) {
        DestroyMenu(gone->menu);
    }
    if (s.input.capture == h) {
        s.input.capture = nullptr;
    }
    if (s.messages.burstWindow == h) {
        s.messages.burstWindow = nullptr;
    }
    std::erase_if(s.messages.queue, [h](const QueuedMessage& m) { return m.msg.hwnd == h; });
    s.table.windows.erase(reinterpret_cast<std::uintptr_t>(h));
}

}  // namespace

HWND Handle(std::uintptr_t value) {
    return reinterpret_cast<HWND>(value);
}

Window* Find(HWND handle) {
    if (!handle) {
        return nullptr;
    }
    State& s = S();
    auto it = s.table.windows.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == s.table.windows.end() || it->second->ncDestroyed) {
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

LRESULT CallProc(Window* window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!window || window->ncDestroyed || !window->proc) {
        return 0;
    }
    return window->proc(window->handle, message, wParam, lParam);
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
            QSize sz = ScreenSize();
            cx = sz.width() * 3 / 4;
            cy = sz.height() * 3 / 4;
        }
    }

    auto owned = std::make_unique<Window>();
    Window& w = *owned;
    w.handle = Handle(s.table.nextHandle);
    s.table.nextHandle += 4;
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
    if (cls->kind == ClassKind::Dialog) {
        w.kindState.emplace<DialogState>();
    } else if (cls->kind == ClassKind::Progress) {
        w.kindState.emplace<ProgressState>();
    }
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
    s.table.windows.emplace(reinterpret_cast<std::uintptr_t>(h), std::move(owned));
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

int ResourceId(LPCSTR name) {
    if (!name) {
        return -1;
    }
    if (IS_INTRESOURCE(name)) {
        return static_cast<int>(reinterpret_cast<ULONG_PTR>(name));
    }
    return name[0] == '#' ? std::atoi(name + 1) : -1;
}

LRESULT CopyTextOut(const std::string& text, WPARAM size, LPARAM buffer) {
    auto* out = reinterpret_cast<LPSTR>(buffer);
    if (!out || size == 0) {
        return 0;
    }
    std::size_t n = std::min(text.size(), static_cast<std::size_t>(size) - 1);
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
    return static_cast<LRESULT>(n);
}

std::string AnsiFromQString(const QString& text) {
    QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QString QStringFromAnsi(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace platform::user

namespace pu = platform::user;

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR name, DWORD style, int x, int y,
                            int cx, int cy, HWND parent, HMENU menu, HINSTANCE instance,
                            LPVOID param) {
    // Out of memory gives the failure result Win32 gives, not an exception.
    try {
        pu::WindowClass* cls = pu::FindClass(className);
        if (!cls || cls->kind == pu::ClassKind::Dialog ||
            platform::ShouldInjectFault(platform::FaultSite::WindowCreate)) {
            return nullptr;
        }
        return pu::CreateWindowInternal(exStyle, cls, name, style, x, y, cx, cy, parent, menu,
                                        instance, param);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

BOOL WINAPI DestroyWindow(HWND h) {
    pu::State& s = pu::S();
    pu::WindowRef w(h);
    if (!w || w->destroying) {
        return FALSE;
    }
    if (w->widget && pu::IsTopLevel(*w)) {
        w->widget->hide();
    }
    // Owned windows go first, as Windows destroys them.
    std::vector<HWND> owned;
    for (auto& [value, other] : s.table.windows) {
        if (other->owner == h && !other->destroying && !other->ncDestroyed) {
            owned.push_back(other->handle);
        }
    }
    for (HWND o : owned) {
        DestroyWindow(o);
    }
    if (!w) {
        return TRUE;
    }
    bool wasActive = s.input.active == h;
    HWND owner = w->owner;
    QPointer<QWidget> widget = w->widget;
    pu::SendDestroy(h);
    pu::RemoveFromModel(h);
    if (widget) {
        pu::DeleteWidget(widget.data());
    }
    if (wasActive || !pu::Find(s.input.active)) {
        s.input.active = nullptr;
        if (pu::Window* o = pu::Find(owner)) {
            pu::ActivateWindow(o);
        }
    }
    return TRUE;
}

BOOL WINAPI IsWindow(HWND h) {
    return pu::Find(h) ? TRUE : FALSE;
}

BOOL WINAPI IsWindowEnabled(HWND h) {
    pu::Window* w = pu::Find(h);
    return w && !(w->style & WS_DISABLED) ? TRUE : FALSE;
}

BOOL WINAPI EnableWindow(HWND h, BOOL enable) {
    pu::WindowRef w(h);
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
        if (pu::S().input.capture && pu::IsDescendant(h, pu::S().input.capture)) {
            ReleaseCapture();
        }
    }
    if (w && w->widget) {
        w->widget->setEnabled(enable != FALSE);
    }
    pu::CallProc(pu::Find(h), WM_ENABLE, enable ? TRUE : FALSE, 0);
    return wasDisabled;
}

HWND WINAPI GetParent(HWND h) {
    pu::Window* w = pu::Find(h);
    if (!w) {
        return nullptr;
    }
    if (w->style & WS_CHILD) {
        return w->parent;
    }
    return (w->style & WS_POPUP) ? w->owner : nullptr;
}

HWND WINAPI GetAncestor(HWND h, UINT flags) {
    pu::Window* w = pu::Find(h);
    if (!w) {
        return nullptr;
    }
    switch (flags) {
        case GA_PARENT:
            return (w->style & WS_CHILD) ? w->parent : nullptr;
        case GA_ROOT:
            return pu::TopLevelOf(w)->handle;
        case GA_ROOTOWNER: {
            pu::Window* root = pu::TopLevelOf(w);
            while (pu::Window* o = pu::Find(root->owner)) {
                root = o;
            }
            return root->handle;
        }
        default:
            return nullptr;
    }
}

HWND WINAPI GetWindow(HWND h, UINT cmd) {
    pu::Window* w = pu::Find(h);
    if (!w) {
        return nullptr;
    }
    if (cmd == GW_OWNER) {
        return w->owner;
    }
    if (cmd == GW_CHILD) {
        return w->children.empty() ? nullptr : w->children.front();
    }
    pu::Window* parent = pu::Find(w->parent);
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
    pu::Window* w = pu::Find(h);
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
    pu::Window* w = pu::Find(h);
    if (!w) {
        return 0;
    }
    LONG_PTR old = GetWindowLongPtrA(h, index);
    switch (index) {
        case GWL_STYLE: {
            DWORD keep = WS_VISIBLE | WS_CHILD;  // changed through ShowWindow and SetParent only
            w->style = (static_cast<DWORD>(value) & ~keep) | (w->style & keep);
            pu::UpdateWidgetFromModel(*w);
            return old;
        }
        case GWL_EXSTYLE:
            w->exStyle = static_cast<DWORD>(value);
            pu::UpdateWidgetFromModel(*w);
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
    if (!pu::Find(h)) {
        return FALSE;
    }
    return SendMessageA(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

int WINAPI GetWindowTextA(HWND h, LPSTR buffer, int size) {
    if (!buffer || size <= 0) {
        return 0;
    }
    buffer[0] = '\0';
    if (!pu::Find(h)) {
        return 0;
    }
    return static_cast<int>(
        SendMessageA(h, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(buffer)));
}

int WINAPI GetWindowTextLengthA(HWND h) {
    return static_cast<int>(SendMessageA(h, WM_GETTEXTLENGTH, 0, 0));
}

int WINAPI GetDlgCtrlID(HWND h) {
    pu::Window* w = pu::Find(h);
    return w && (w->style & WS_CHILD) ? static_cast<int>(w->id) : 0;
}
