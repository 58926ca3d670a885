// The message queue and loop (SendMessageA, PostMessageA, GetMessageA,
// PeekMessageA, TranslateMessage, DispatchMessageA, PostQuitMessage), update
// regions and painting (InvalidateRect, BeginPaint, GetDC and their pairs),
// the end of resize bursts, and the pumping a foreign modal box needs.
//
// One queue holds posted messages and input in arrival order; Windows keeps
// input apart, which differs only for programs that post while input waits.
// Update regions are clipped to their bounding rectangle when painted.
// Leaves out: timers, sent messages between threads, WM_NCPAINT.
#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <new>

#include "platform/internal/surface.h"
#include "platform/user/internal.h"
#include "platform/win32/gdi.h"

namespace platform::user {
namespace {

constexpr int kBurstQuietMs = 250;  // a border drag ends after this much quiet
constexpr int kMaxSurfaceSide = 4096;

bool Matches(const MSG& m, HWND filter, UINT low, UINT high) {
    if (filter && m.hwnd != filter && !IsDescendant(filter, m.hwnd)) {
        return false;
    }
    if (low == 0 && high == 0) {
        return true;
    }
    return m.message >= low && m.message <= high;
}

void UpdateKeyState(const QueuedMessage& e) {
    State& s = S();
    auto set = [&s](int vk, bool down) {
        BYTE& b = s.keyState[static_cast<std::size_t>(vk)];
        if (down && !(b & 0x80)) {
            b ^= 1;  // toggle state flips on each press
        }
        b = static_cast<BYTE>(down ? (b | 0x80) : (b & ~0x80));
    };
    bool shift = e.modifiers.testFlag(Qt::ShiftModifier);
    bool control = e.modifiers.testFlag(Qt::ControlModifier);
    bool alt = e.modifiers.testFlag(Qt::AltModifier);
    UINT m = e.msg.message;
    if (e.hasKey) {
        int vk = static_cast<int>(e.msg.wParam & 0xFF);
        bool down = m == WM_KEYDOWN || m == WM_SYSKEYDOWN;
        // Qt reports a modifier key's own press without its flag and its
        // release with it; the message itself says which way it went.
        if (vk == VK_SHIFT) {
            shift = down;
        } else if (vk == VK_CONTROL) {
            control = down;
        } else if (vk == VK_MENU) {
            alt = down;
        } else if (vk) {
            set(vk, down);
        }
    } else {
        set(VK_LBUTTON, e.buttons.testFlag(Qt::LeftButton));
        set(VK_RBUTTON, e.buttons.testFlag(Qt::RightButton));
        set(VK_MBUTTON, e.buttons.testFlag(Qt::MiddleButton));
    }
    set(VK_SHIFT, shift);
    set(VK_LSHIFT, shift);
    set(VK_CONTROL, control);
    set(VK_LCONTROL, control);
    set(VK_MENU, alt);
    set(VK_LMENU, alt);
}

void HandOut(QueuedMessage& e, MSG* out) {
    State& s = S();
    if (e.applyState) {
        if (Window* w = Find(e.msg.hwnd)) {
            w->showState = e.state;
        }
    }
    if (e.applyGeometry) {
        if (Window* w = Find(e.msg.hwnd)) {
            if (w->showState != ShowState::Minimized) {
                QRect g = (e.useWidgetGeometry && w->widget) ? WindowGeometryOf(*w->widget) : e.geometry;
                ApplyGeometry(*w, g, false);
            }
            if ((w = Find(e.msg.hwnd)) != nullptr) {
                RECT rc;
                GetClientRect(w->handle, &rc);
                e.msg.wParam = SizeKindOf(*w);
                e.msg.lParam =
                    w->showState == ShowState::Minimized ? 0 : MAKELPARAM(rc.right, rc.bottom);
            }
        }
    }
    if (e.hasSizing) {
        s.sizingRect = e.sizing;
        e.msg.lParam = reinterpret_cast<LPARAM>(&s.sizingRect);
    }
    if (e.input) {
        UpdateKeyState(e);
        // A mouse button between Alt's press and release makes the release
        // no tap: Alt+click gestures do not open the menu bar.
        if ((e.msg.message >= WM_LBUTTONDOWN && e.msg.message <= WM_MBUTTONDBLCLK) ||
            (e.msg.message >= WM_NCLBUTTONDOWN && e.msg.message <= WM_NCMBUTTONDBLCLK)) {
            s.altAlone = false;
        }
        if (e.hasKey) {
            // Keys typed during a computation go where the focus is now.
            if (HWND focus = GetFocus()) {
                e.msg.hwnd = focus;
            }
            e.msg.hwnd = KeyTarget(e.msg.hwnd);
            s.keyRecords[e.msg.time] = e.key;
            while (s.keyRecords.size() > 256) {
                s.keyRecords.erase(s.keyRecords.begin());
            }
        }
    }
    *out = e.msg;
}

bool TakeQueued(MSG* out, HWND filter, UINT low, UINT high, bool remove) {
    State& s = S();
    for (auto it = s.queue.begin(); it != s.queue.end(); ++it) {
        if (it->msg.hwnd && !Find(it->msg.hwnd)) {
            continue;
        }
        if (!Matches(it->msg, filter, low, high)) {
            continue;
        }
        QueuedMessage e = *it;
        if (remove) {
            s.queue.erase(it);
            HandOut(e, out);
        } else {
            *out = e.msg;
        }
        return true;
    }
    return false;
}

bool TakeQuit(MSG* out, HWND filter, UINT low, UINT high, bool remove) {
    State& s = S();
    if (!s.quitPending || filter ||
        (!(low == 0 && high == 0) && (WM_QUIT < low || WM_QUIT > high))) {
        return false;
    }
    *out = MSG{};
    out->message = WM_QUIT;
    out->wParam = static_cast<WPARAM>(s.quitCode);
    out->time = NextMessageTime();
    if (remove) {
        s.quitPending = false;
    }
    return true;
}

bool TakePaint(MSG* out, HWND filter, UINT low, UINT high) {
    State& s = S();
    if (!(low == 0 && high == 0) && (WM_PAINT < low || WM_PAINT > high)) {
        return false;
    }
    for (auto& [value, w] : s.windows) {
        if (w->ncDestroyed || w->update.isEmpty() || !IsWindowVisible(w->handle)) {
            continue;
        }
        if (filter && w->handle != filter && !IsDescendant(filter, w->handle)) {
            continue;
        }
        *out = MSG{};
        out->hwnd = w->handle;
        out->message = WM_PAINT;
        out->time = NextMessageTime();
        return true;
    }
    return false;
}

void Pump(bool wait) {
    QCoreApplication::processEvents(wait ? QEventLoop::WaitForMoreEvents : QEventLoop::AllEvents);
}

bool NextMessage(MSG* out, HWND filter, UINT low, UINT high, bool remove, bool pump) {
    if (TakeQueued(out, filter, low, high, remove)) {
        return true;
    }
    if (pump) {
        // Input Qt holds comes before paints, as Windows orders them.
        Pump(false);
        if (TakeQueued(out, filter, low, high, remove)) {
            return true;
        }
    }
    if (TakeQuit(out, filter, low, high, remove)) {
        return true;
    }
    return TakePaint(out, filter, low, high);
}

void Drain() {
    State& s = S();
    s.drainScheduled = false;
    if (s.foreignModalDepth == 0) {
        return;
    }
    if (s.waitDepth > 0) {
        // Not from inside the layer's own pumping: try again shortly.
        s.drainScheduled = true;
        QTimer::singleShot(10, qApp, [] { Drain(); });
        return;
    }
    // The foreign box's own loop stands in for the program's: our windows
    // keep working while it is up, as under a Win32 modal box.
    for (int i = 0; i < 1000; ++i) {
        MSG m;
        if (!TakeQueued(&m, nullptr, 0, 0, true) && !TakePaint(&m, nullptr, 0, 0)) {
            return;
        }
        TranslateMessage(&m);
        DispatchMessageA(&m);
        if (s.foreignModalDepth == 0) {
            return;
        }
    }
    ScheduleForeignDrain();
}

void FillSurface(Window& w, const QRect& r, COLORREF colour) {
    QRect clip = r & QRect(QPoint(0, 0), w.surface.size());
    if (clip.isEmpty() || w.surface.isNull()) {
        return;
    }
    std::uint32_t pixel = (static_cast<std::uint32_t>(GetRValue(colour)) << 16) |
                          (static_cast<std::uint32_t>(GetGValue(colour)) << 8) | GetBValue(colour);
    for (int y = clip.top(); y <= clip.bottom(); ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(w.surface.scanLine(y));
        std::fill(row + clip.left(), row + clip.right() + 1, pixel);
    }
    if (w.widget) {
        w.widget->update(clip.translated(ClientRectInWindow(w).topLeft()));
    }
}

}  // namespace

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

void Enqueue(QueuedMessage entry, bool front) {
    State& s = S();
    if (!entry.msg.time) {
        entry.msg.time = NextMessageTime();
    }
    // Asking X for the pointer costs a round trip: mouse input brings its
    // position, everything else takes the last one known.
    if (entry.hasPosition) {
        s.lastPointer = entry.position;
    }
    entry.msg.pt = POINT{s.lastPointer.x(), s.lastPointer.y()};
    if (front) {
        s.queue.push_front(std::move(entry));
    } else {
        s.queue.push_back(std::move(entry));
    }
    ScheduleForeignDrain();
}

void PostInput(QueuedMessage entry) {
    EndSizeBurst();
    entry.input = true;
    Enqueue(std::move(entry));
}

void ScheduleForeignDrain() {
    State& s = S();
    if (s.foreignModalDepth > 0 && !s.drainScheduled) {
        s.drainScheduled = true;
        QTimer::singleShot(0, qApp, [] { Drain(); });
    }
}

void ExtendSizeBurst(Window& w) {
    State& s = S();
    if (!s.burstTimer) {
        s.burstTimer = std::make_unique<QTimer>();
        s.burstTimer->setSingleShot(true);
        QObject::connect(s.burstTimer.get(), &QTimer::timeout, [] { EndSizeBurst(); });
    }
    if (s.burstWindow && s.burstWindow != w.handle) {
        EndSizeBurst();
    }
    s.burstWindow = w.handle;
    s.burstTimer->start(kBurstQuietMs);
}

void EndSizeBurst() {
    State& s = S();
    if (s.burstTimer) {
        s.burstTimer->stop();
    }
    Window* w = Find(s.burstWindow);
    s.burstWindow = nullptr;
    if (w && w->inSizeBurst) {
        w->inSizeBurst = false;
        QueuedMessage e;
        e.msg.hwnd = w->handle;
        e.msg.message = WM_EXITSIZEMOVE;
        Enqueue(e);
    }
}

bool HasSurface(const Window& w) {
    if (!w.windowClass) {
        return false;
    }
    switch (w.windowClass->kind) {
        case ClassKind::Custom:
        case ClassKind::Dialog:
            return true;
        case ClassKind::Button:
            return (w.style & BS_TYPEMASK) == BS_OWNERDRAW;
        default:
            return false;
    }
}

COLORREF BackgroundColour(const Window& w) {
    if (!w.windowClass) {
        return 0;
    }
    if (w.windowClass->kind != ClassKind::Custom) {
        return SystemColour(COLOR_BTNFACE);
    }
    auto value = reinterpret_cast<ULONG_PTR>(w.windowClass->background);
    return value >= 1 && value <= 31 ? SystemColour(static_cast<int>(value) - 1) : 0;
}

void ResizeSurface(Window& w) {
    // The backing store covers at most 4096 x 4096 pixels of the client
    // area (64 MiB); drawing beyond it is clipped away.
    QSize size = ClientRectInWindow(w).size().boundedTo(QSize(kMaxSurfaceSide, kMaxSurfaceSide));
    if (!HasSurface(w) || size.isEmpty()) {
        w.surface = QImage();
        return;
    }
    if (w.surface.size() == size) {
        return;
    }
    QImage fresh(size, QImage::Format_RGB32);
    if (fresh.isNull()) {
        w.surface = QImage();  // out of memory: the window shows nothing
        return;
    }
    COLORREF bg = BackgroundColour(w);
    fresh.fill(static_cast<uint>((GetRValue(bg) << 16) | (GetGValue(bg) << 8) | GetBValue(bg)));
    if (!w.surface.isNull()) {
        int rows = std::min(size.height(), w.surface.height());
        int bytes = std::min(size.width(), w.surface.width()) * 4;
        for (int y = 0; y < rows; ++y) {
            std::memcpy(fresh.scanLine(y), w.surface.constScanLine(y),
                        static_cast<std::size_t>(bytes));
        }
    }
    w.surface = std::move(fresh);
}

bool EraseBackground(Window& w, HDC dc) {
    HBRUSH brush = w.windowClass ? w.windowClass->background : nullptr;
    if (w.windowClass && w.windowClass->kind != ClassKind::Custom) {
        brush = reinterpret_cast<HBRUSH>(static_cast<ULONG_PTR>(COLOR_BTNFACE + 1));
    }
    if (!brush) {
        return false;
    }
    QRect client(QPoint(0, 0), ClientRectInWindow(w).size());
    QRect r = w.paintRect.isNull() ? client : (w.paintRect & client);
    auto value = reinterpret_cast<ULONG_PTR>(brush);
    if (value >= 1 && value <= 31) {
        FillSurface(w, r, SystemColour(static_cast<int>(value) - 1));
        return true;
    }
    if (!dc) {
        return false;
    }
    // A null pen makes Rectangle fill exactly [left, right) x [top, bottom)
    // when given one more pixel on each far side.
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    Rectangle(dc, r.left(), r.top(), r.right() + 2, r.bottom() + 2);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    return true;
}

void InvalidateWindowTree(Window* w, bool erase) {
    if (!w) {
        return;
    }
    HWND h = w->handle;
    InvalidateRect(h, nullptr, erase ? TRUE : FALSE);
    if ((w = Find(h)) == nullptr) {
        return;
    }
    std::vector<HWND> children = w->children;
    for (HWND c : children) {
        InvalidateWindowTree(Find(c), erase);
    }
}

}  // namespace platform::user

namespace pu = platform::user;

LRESULT WINAPI SendMessageA(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
    pu::FlushPendingMaps();
    pu::PaintWhileBusy();
    pu::Window* w = pu::Find(h);
    if (!w) {
        return 0;
    }
    return pu::CallProc(w, message, wParam, lParam);
}

BOOL WINAPI PostMessageA(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
    // Out of memory gives the failure result Win32 gives, not an exception.
    try {
        if (h && !pu::Find(h)) {
            return FALSE;
        }
        pu::QueuedMessage e;
        e.msg.hwnd = h;
        e.msg.message = message;
        e.msg.wParam = wParam;
        e.msg.lParam = lParam;
        pu::Enqueue(e);
        return TRUE;
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
}

void WINAPI PostQuitMessage(int code) {
    pu::State& s = pu::S();
    s.quitPending = true;
    s.quitCode = code;
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND filter, UINT low, UINT high) {
    pu::State& s = pu::S();
    pu::FlushPendingMaps();
    if (!msg || (filter && !pu::Find(filter))) {
        return -1;
    }
    ++s.loopDepth;
    for (;;) {
        if (pu::NextMessage(msg, filter, low, high, true, true)) {
            break;
        }
        if (filter && !pu::Find(filter)) {
            --s.loopDepth;
            return -1;
        }
        pu::Pump(true);
    }
    --s.loopDepth;
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND filter, UINT low, UINT high, UINT flags) {
    pu::State& s = pu::S();
    pu::FlushPendingMaps();
    if (!msg) {
        return FALSE;
    }
    ++s.loopDepth;
    BOOL found =
        pu::NextMessage(msg, filter, low, high, (flags & PM_REMOVE) != 0, true) ? TRUE : FALSE;
    --s.loopDepth;
    return found;
}

BOOL WINAPI WaitMessage(void) {
    pu::State& s = pu::S();
    if (s.queue.empty() && !s.quitPending) {
        pu::Pump(true);
    }
    return TRUE;
}

BOOL WINAPI TranslateMessage(const MSG* msg) {
    if (!msg) {
        return FALSE;
    }
    UINT m = msg->message;
    if (m != WM_KEYDOWN && m != WM_SYSKEYDOWN) {
        return (m == WM_KEYUP || m == WM_SYSKEYUP) ? TRUE : FALSE;
    }
    pu::State& s = pu::S();
    auto it = s.keyRecords.find(msg->time);
    if (it == s.keyRecords.end() || it->second.text.isEmpty()) {
        return TRUE;
    }
    // The characters go to the front: they come before keys typed later.
    std::string chars = pu::AnsiFromQString(it->second.text);
    for (auto c = chars.rbegin(); c != chars.rend(); ++c) {
        pu::QueuedMessage e;
        e.msg.hwnd = msg->hwnd;
        e.msg.message = m == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
        e.msg.wParam = static_cast<unsigned char>(*c);
        e.msg.lParam = msg->lParam;
        pu::Enqueue(e, true);
    }
    return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    if (!msg || !msg->hwnd) {
        return 0;
    }
    pu::State& s = pu::S();
    pu::Window* w = pu::Find(msg->hwnd);
    if (!w) {
        return 0;
    }
    auto it = s.keyRecords.find(msg->time);
    bool keyMessage = msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST;
    pu::KeyRecord saved = s.dispatchKey;
    bool savedHas = s.hasDispatchKey;
    s.hasDispatchKey = keyMessage && it != s.keyRecords.end();
    if (s.hasDispatchKey) {
        s.dispatchKey = it->second;
    }
    LRESULT result = pu::CallProc(w, msg->message, msg->wParam, msg->lParam);
    s.dispatchKey = saved;
    s.hasDispatchKey = savedHas;
    return result;
}

BOOL WINAPI InvalidateRect(HWND h, const RECT* rect, BOOL erase) {
    // Out of memory gives the failure result Win32 gives, not an exception.
    try {
        pu::State& s = pu::S();
        if (!h) {
            std::vector<HWND> all;
            for (auto& [value, w] : s.windows) {
                all.push_back(w->handle);
            }
            for (HWND each : all) {
                InvalidateRect(each, nullptr, erase);
            }
            return TRUE;
        }
        pu::Window* w = pu::Find(h);
        if (!w) {
            return FALSE;
        }
        if (!pu::HasSurface(*w)) {
            if (w->widget) {
                w->widget->update();
            }
            return TRUE;
        }
        QRect client(QPoint(0, 0), pu::ClientRectInWindow(*w).size());
        QRect r = client;
        if (rect) {
            if (rect->right <= rect->left || rect->bottom <= rect->top) {
                return TRUE;
            }
            r = QRect(QPoint(rect->left, rect->top), QPoint(rect->right - 1, rect->bottom - 1)) &
                client;
        }
        if (r.isEmpty()) {
            return TRUE;
        }
        w->update += r;
        if (erase) {
            w->erase = true;
        }
        pu::ScheduleForeignDrain();
        return TRUE;
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
}

BOOL WINAPI ValidateRect(HWND h, const RECT* rect) {
    pu::Window* w = pu::Find(h);
    if (!w) {
        return FALSE;
    }
    if (!rect) {
        w->update = QRegion();
    } else if (rect->right > rect->left && rect->bottom > rect->top) {
        w->update -=
            QRect(QPoint(rect->left, rect->top), QPoint(rect->right - 1, rect->bottom - 1));
    }
    if (w->update.isEmpty()) {
        w->erase = false;
    }
    return TRUE;
}

BOOL WINAPI GetUpdateRect(HWND h, LPRECT rect, BOOL) {
    pu::Window* w = pu::Find(h);
    if (!w) {
        return FALSE;
    }
    QRect b = w->update.boundingRect();
    if (rect) {
        *rect = w->update.isEmpty() ? RECT{0, 0, 0, 0}
                                    : RECT{b.left(), b.top(), b.right() + 1, b.bottom() + 1};
    }
    return w->update.isEmpty() ? FALSE : TRUE;
}

HDC WINAPI BeginPaint(HWND h, LPPAINTSTRUCT ps) {
    pu::Window* w = pu::Find(h);
    if (!w || !ps) {
        return nullptr;
    }
    *ps = PAINTSTRUCT{};
    QRect client(QPoint(0, 0), pu::ClientRectInWindow(*w).size());
    QRect bound = w->update.boundingRect() & client;
    bool needErase = w->erase;
    w->update = QRegion();
    w->erase = false;
    RECT rc = bound.isEmpty()
                  ? RECT{0, 0, 0, 0}
                  : RECT{bound.left(), bound.top(), bound.right() + 1, bound.bottom() + 1};
    w->paintRect = bound.isEmpty() ? QRect(0, 0, 0, 0) : bound;
    HDC dc = platform::CreateWindowDC(h, &rc);
    ps->hdc = dc;
    ps->rcPaint = rc;
    if (needErase) {
        LRESULT erased = SendMessageA(h, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        ps->fErase = erased ? FALSE : TRUE;
    }
    return dc;
}

BOOL WINAPI EndPaint(HWND h, const PAINTSTRUCT* ps) {
    if (ps && ps->hdc) {
        platform::DeleteWindowDC(ps->hdc);
    }
    if (pu::Window* w = pu::Find(h)) {
        w->paintRect = QRect();
    }
    return TRUE;
}

HDC WINAPI GetDC(HWND h) {
    if (!pu::Find(h)) {
        return nullptr;
    }
    return platform::CreateWindowDC(h, nullptr);
}

int WINAPI ReleaseDC(HWND h, HDC dc) {
    if (!dc || platform::WindowFromWindowDC(dc) != h) {
        return 0;
    }
    platform::DeleteWindowDC(dc);
    return 1;
}
