// The message queue and the loop: SendMessageA, PostMessageA, GetMessageA,
// PeekMessageA, WaitMessage, TranslateMessage, DispatchMessageA and
// PostQuitMessage; WM_PAINT for a window whose update region is not empty
// after the queued messages, as Windows orders them; the end of a border
// drag's size burst (WM_EXITSIZEMOVE); and the pumping a foreign modal box
// (a file or colour box of Qt's) needs to keep our windows working.
//
// One queue holds posted messages and input in arrival order; Windows keeps
// input apart, which differs only for programs that post while input waits.
// Leaves out: timers, sent messages between threads, message filters and
// hooks, GetQueueStatus, MsgWaitForMultipleObjects.
#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <new>

#include "platform/internal/window_bridge.h"
#include "platform/user/display/display.h"
#include "platform/user/focus.h"
#include "platform/user/input.h"
#include "platform/user/paint.h"
#include "platform/user/position.h"
#include "platform/user/qt/widgets.h"
#include "platform/user/queue.h"
#include "platform/user/show.h"
#include "platform/user/window.h"

namespace platform::user {
namespace {

constexpr int kBurstQuietMs = 250;  // a border drag ends after this much quiet

bool Matches(const MSG& m, HWND filter, UINT low, UINT high) {
    if (filter && m.hwnd != filter && !IsDescendant(filter, m.hwnd)) {
        return false;
    }
    if (low == 0 && high == 0) {
        return true;
    }
    return m.message >= low && m.message <= high;
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
                QRect g =
                    (e.useWidgetGeometry && w->widget) ? WindowGeometryOf(*w->widget) : e.geometry;
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
        s.messages.sizingRect = e.sizing;
        e.msg.lParam = reinterpret_cast<LPARAM>(&s.messages.sizingRect);
    }
    if (e.input) {
        UpdateKeyState(e);
        // A mouse button between Alt's press and release makes the release
        // no tap: Alt+click gestures do not open the menu bar.
        if ((e.msg.message >= WM_LBUTTONDOWN && e.msg.message <= WM_MBUTTONDBLCLK) ||
            (e.msg.message >= WM_NCLBUTTONDOWN && e.msg.message <= WM_NCMBUTTONDBLCLK)) {
            s.input.altAlone = false;
        }
        if (e.hasKey) {
            // Keys typed during a computation go where the focus is now.
            if (HWND focus = GetFocus()) {
                e.msg.hwnd = focus;
            }
            e.msg.hwnd = KeyTarget(e.msg.hwnd);
            s.input.keyRecords[e.msg.time] = e.key;
            while (s.input.keyRecords.size() > 256) {
                s.input.keyRecords.erase(s.input.keyRecords.begin());
            }
        }
    }
    *out = e.msg;
}

bool TakeQueued(MSG* out, HWND filter, UINT low, UINT high, bool remove) {
    State& s = S();
    for (auto it = s.messages.queue.begin(); it != s.messages.queue.end(); ++it) {
        if (it->msg.hwnd && !Find(it->msg.hwnd)) {
            continue;
        }
        if (!Matches(it->msg, filter, low, high)) {
            continue;
        }
        QueuedMessage e = *it;
        if (remove) {
            s.messages.queue.erase(it);
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
    if (!s.messages.quitPending || filter ||
        (!(low == 0 && high == 0) && (WM_QUIT < low || WM_QUIT > high))) {
        return false;
    }
    *out = MSG{};
    out->message = WM_QUIT;
    out->wParam = static_cast<WPARAM>(s.messages.quitCode);
    out->time = NextMessageTime();
    if (remove) {
        s.messages.quitPending = false;
    }
    return true;
}

bool TakePaint(MSG* out, HWND filter, UINT low, UINT high) {
    State& s = S();
    if (!(low == 0 && high == 0) && (WM_PAINT < low || WM_PAINT > high)) {
        return false;
    }
    for (auto& [value, w] : s.table.windows) {
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
    s.messages.drainScheduled = false;
    if (s.messages.foreignModalDepth == 0) {
        return;
    }
    if (s.maps.waitDepth > 0) {
        // Not from inside the layer's own pumping: try again shortly.
        s.messages.drainScheduled = true;
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
        if (s.messages.foreignModalDepth == 0) {
            return;
        }
    }
    ScheduleForeignDrain();
}

}  // namespace

DWORD NextMessageTime() {
    // Strictly increasing, so the time names one message (TranslateMessage
    // finds a key's characters by it); close to milliseconds since start.
    static const auto start = std::chrono::steady_clock::now();
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                  std::chrono::steady_clock::now() - start)
                  .count();
    DWORD now = static_cast<DWORD>(ms);
    State& s = S();
    s.messages.lastTime = now > s.messages.lastTime ? now : s.messages.lastTime + 1;
    return s.messages.lastTime;
}

void Enqueue(QueuedMessage entry, bool front) {
    State& s = S();
    if (!entry.msg.time) {
        entry.msg.time = NextMessageTime();
    }
    // Asking X for the pointer costs a round trip: mouse input brings its
    // position, everything else takes the last one known.
    if (entry.hasPosition) {
        s.messages.lastPointer = entry.position;
    }
    entry.msg.pt = POINT{s.messages.lastPointer.x(), s.messages.lastPointer.y()};
    if (front) {
        s.messages.queue.push_front(std::move(entry));
    } else {
        s.messages.queue.push_back(std::move(entry));
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
    if (s.messages.foreignModalDepth > 0 && !s.messages.drainScheduled) {
        s.messages.drainScheduled = true;
        QTimer::singleShot(0, qApp, [] { Drain(); });
    }
}

void ExtendSizeBurst(Window& w) {
    State& s = S();
    if (!s.messages.burstTimer) {
        s.messages.burstTimer = std::make_unique<QTimer>();
        s.messages.burstTimer->setSingleShot(true);
        QObject::connect(s.messages.burstTimer.get(), &QTimer::timeout, [] { EndSizeBurst(); });
    }
    if (s.messages.burstWindow && s.messages.burstWindow != w.handle) {
        EndSizeBurst();
    }
    s.messages.burstWindow = w.handle;
    s.messages.burstTimer->start(kBurstQuietMs);
}

void EndSizeBurst() {
    State& s = S();
    if (s.messages.burstTimer) {
        s.messages.burstTimer->stop();
    }
    Window* w = Find(s.messages.burstWindow);
    s.messages.burstWindow = nullptr;
    if (w && w->inSizeBurst) {
        w->inSizeBurst = false;
        QueuedMessage e;
        e.msg.hwnd = w->handle;
        e.msg.message = WM_EXITSIZEMOVE;
        Enqueue(e);
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
    s.messages.quitPending = true;
    s.messages.quitCode = code;
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND filter, UINT low, UINT high) {
    pu::State& s = pu::S();
    pu::FlushPendingMaps();
    if (!msg || (filter && !pu::Find(filter))) {
        return -1;
    }
    ++s.messages.loopDepth;
    for (;;) {
        if (pu::NextMessage(msg, filter, low, high, true, true)) {
            break;
        }
        if (filter && !pu::Find(filter)) {
            --s.messages.loopDepth;
            return -1;
        }
        pu::Pump(true);
    }
    --s.messages.loopDepth;
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND filter, UINT low, UINT high, UINT flags) {
    pu::State& s = pu::S();
    pu::FlushPendingMaps();
    if (!msg) {
        return FALSE;
    }
    ++s.messages.loopDepth;
    BOOL found =
        pu::NextMessage(msg, filter, low, high, (flags & PM_REMOVE) != 0, true) ? TRUE : FALSE;
    --s.messages.loopDepth;
    return found;
}

BOOL WINAPI WaitMessage(void) {
    pu::State& s = pu::S();
    if (s.messages.queue.empty() && !s.messages.quitPending) {
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
    auto it = s.input.keyRecords.find(msg->time);
    if (it == s.input.keyRecords.end() || it->second.text.isEmpty()) {
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
    auto it = s.input.keyRecords.find(msg->time);
    bool keyMessage = msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST;
    pu::KeyRecord saved = s.input.dispatchKey;
    bool savedHas = s.input.hasDispatchKey;
    s.input.hasDispatchKey = keyMessage && it != s.input.keyRecords.end();
    if (s.input.hasDispatchKey) {
        s.input.dispatchKey = it->second;
    }
    LRESULT result = pu::CallProc(w, msg->message, msg->wParam, msg->lParam);
    s.input.dispatchKey = saved;
    s.input.hasDispatchKey = savedHas;
    return result;
}

namespace platform {

void BeginForeignModal(HWND owner) {
    user::State& s = user::S();
    ++s.messages.foreignModalDepth;
    ReleaseCapture();
    user::Window* top = user::TopLevelOf(user::Find(owner));
    if (top && ++top->foreignModalDepth == 1) {
        // Disabled here only if it was enabled: whoever disabled it before
        // enables it again.
        top->foreignDisabled = !(top->style & WS_DISABLED);
        if (top->foreignDisabled) {
            EnableWindow(top->handle, FALSE);
        }
    }
    user::ScheduleForeignDrain();
}

void EndForeignModal(HWND owner) {
    user::State& s = user::S();
    if (s.messages.foreignModalDepth > 0) {
        --s.messages.foreignModalDepth;
    }
    user::Window* top = user::TopLevelOf(user::Find(owner));
    if (top && top->foreignModalDepth > 0 && --top->foreignModalDepth == 0 &&
        top->foreignDisabled) {
        top->foreignDisabled = false;
        EnableWindow(top->handle, TRUE);
        user::ActivateWindow(top);
    }
}

}  // namespace platform
