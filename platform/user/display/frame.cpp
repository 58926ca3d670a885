// The window manager's frame: the extents it gives a window of each kind,
// measured once on a probe that is never mapped, so that a top-level
// window's rectangle is its outer edge as on Windows; the frame it really
// drew at a window's first map, waited for within a bound; and changes it
// makes later (openbox drops the borders of a window it maximises), followed
// in the server's events. On Wayland the frame is the decoration Qt draws.
//
// Leaves out: window managers without _NET_FRAME_EXTENTS (no frame is
// assumed; the caller takes the client geometry Qt reports), and frames that
// differ per window of one kind.
#include <unistd.h>
#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QWidget>
#include <QWindow>
#include <chrono>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>

#include "platform/internal/window_bridge.h"
#include "platform/user/display/display.h"
#include "platform/user/display/xcb.h"
#include "platform/user/qt/widgets.h"

namespace platform::user {
namespace {

// The longest wait for the window manager's answer about a frame.
constexpr std::chrono::milliseconds kExtentsWait(500);

// The window manager's frame extents (left, right, top, bottom) in logical
// pixels, once set; a part of a logical pixel counts as a whole one.
std::optional<QMargins> Extents(xcb_connection_t* c, xcb_window_t w) {
    std::vector<uint32_t> e = Property32(c, w, Atom(c, "_NET_FRAME_EXTENTS"), XCB_ATOM_CARDINAL);
    if (e.size() != 4 || e[0] > 256 || e[1] > 256 || e[2] > 256 || e[3] > 256) {
        return std::nullopt;
    }
    const double ratio = DeviceRatio();
    auto logical = [ratio](uint32_t device) { return static_cast<int>(std::ceil(device / ratio)); };
    return QMargins(logical(e[0]), logical(e[2]), logical(e[1]), logical(e[3]));
}

// Whether an EWMH window manager runs and lists `name` as supported.
bool ManagerSupports(xcb_connection_t* c, const char* name) {
    xcb_window_t root = Root(c);
    if (Property32(c, root, Atom(c, "_NET_SUPPORTING_WM_CHECK"), XCB_ATOM_WINDOW).empty()) {
        return false;
    }
    xcb_atom_t wanted = Atom(c, name);
    for (uint32_t a : Property32(c, root, Atom(c, "_NET_SUPPORTED"), XCB_ATOM_ATOM)) {
        if (a == wanted) {
            return true;
        }
    }
    return false;
}

// Whether it answers a request for the frame extents of a window that is
// not mapped yet.
bool ManagerAnswersExtents(xcb_connection_t* c) {
    return ManagerSupports(c, "_NET_REQUEST_FRAME_EXTENTS");
}

// Asks the window manager for the extents it would give `w` and waits for
// them, within a bound, without processing any event.
std::optional<QMargins> RequestExtents(xcb_connection_t* c, xcb_window_t w) {
    SendToRoot(c, w, Atom(c, "_NET_REQUEST_FRAME_EXTENTS"));
    return PollExtents(c, w, kExtentsWait);
}

// What decides the frame: the hints, and whether the user may resize it
// (some window managers draw resize handles only then).
struct FlagsKey {
    Qt::WindowFlags flags;
    bool fixed = false;
    bool operator<(const FlagsKey& o) const {
        return flags.toInt() != o.flags.toInt() ? flags.toInt() < o.flags.toInt() : fixed < o.fixed;
    }
};

// After the first map the window manager may change its frame (openbox
// drops the borders of a window it maximises): the client area stays, the
// outer rectangle follows. Seen in the server's own events; nothing is
// called.
// A reparenting window manager must tell the client where its window now
// stands on the screen, by a synthetic ConfigureNotify (ICCCM 4.1.5):
// weston's does not after it puts the window into its frame, and Qt keeps
// the position of the last configure, from before the reparent, 6 and 27
// pixels off. Every position mapped to the screen and back (a click on the
// menu bar, a popup's place) would be off by that much. So the window gets
// that ConfigureNotify from the layer, with what the server has; behind a
// window manager that sends its own, it changes nothing.
void SendServerPosition(xcb_connection_t* c, xcb_window_t w) {
    XcbReply<xcb_get_geometry_reply_t> g(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr));
    XcbReply<xcb_translate_coordinates_reply_t> t(xcb_translate_coordinates_reply(
        c, xcb_translate_coordinates(c, w, Root(c), 0, 0), nullptr));
    if (!g || !t) {
        return;
    }
    xcb_configure_notify_event_t notify{};
    notify.response_type = XCB_CONFIGURE_NOTIFY;
    notify.event = w;
    notify.window = w;
    notify.above_sibling = XCB_NONE;
    notify.x = t->dst_x;
    notify.y = t->dst_y;
    notify.width = g->width;
    notify.height = g->height;
    notify.border_width = g->border_width;
    char event[32] = {};  // the size of every event on the wire
    static_assert(sizeof(notify) <= sizeof(event));
    std::memcpy(event, &notify, sizeof(notify));
    xcb_send_event(c, 0, w, XCB_EVENT_MASK_STRUCTURE_NOTIFY, event);
    xcb_flush(c);
}

bool OurTopLevel(xcb_window_t native) {
    for (auto& [value, w] : S().table.windows) {
        if (w->widget && !(w->style & WS_CHILD) && NativeOf(*w->widget) == native) {
            return true;
        }
    }
    return false;
}

class FrameWatcher : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        xcb_connection_t* c = Connection();
        if (!c || type != "xcb_generic_event_t") {
            return false;
        }
        auto* event = static_cast<xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7F) == XCB_REPARENT_NOTIFY) {
            auto* notify = reinterpret_cast<xcb_reparent_notify_event_t*>(event);
            if (notify->event == notify->window && OurTopLevel(notify->window)) {
                SendServerPosition(c, notify->window);
            }
            return false;
        }
        if ((event->response_type & 0x7F) != XCB_PROPERTY_NOTIFY) {
            return false;
        }
        auto* notify = reinterpret_cast<xcb_property_notify_event_t*>(event);
        if (notify->atom != Atom(c, "_NET_FRAME_EXTENTS")) {
            return false;
        }
        for (auto& [value, w] : S().table.windows) {
            if (!w->mappedOnce || !w->widget || (w->style & WS_CHILD) ||
                NativeOf(*w->widget) != notify->window) {
                continue;
            }
            if (std::optional<QMargins> m = Extents(c, notify->window); m && *m != w->frame) {
                w->frame = *m;
                w->frameKnown = true;
                w->rect = WindowGeometryOf(*w->widget);
            }
        }
        return false;
    }
};

QMargins FrameFor(const FlagsKey& key, bool* known) {
    static std::map<FlagsKey, QMargins> measured;
    if (known) {
        *known = true;
    }
    xcb_connection_t* c = Connection();
    if (!c) {
        return QMargins();
    }
    if (!ManagerAnswersExtents(c)) {
        return QMargins();  // bare, for now: asked again for the next window
    }
    auto it = measured.find(key);
    if (it != measured.end()) {
        return it->second;
    }
    // A window with these hints that is never mapped: the window manager
    // tells the frame it would give it.
    QWidget probe;
    probe.setWindowFlags(key.flags);
    if (key.fixed) {
        probe.setFixedSize(100, 100);
    }
    probe.winId();
    std::optional<QMargins> m = RequestExtents(c, NativeOf(probe));
    if (!m) {
        if (known) {
            *known = false;
        }
        return QMargins();
    }
    measured.emplace(key, *m);
    return *m;
}

}  // namespace

std::optional<QMargins> PollExtents(xcb_connection_t* c, xcb_window_t w,
                                    std::chrono::milliseconds bound) {
    auto deadline = std::chrono::steady_clock::now() + bound;
    do {
        if (std::optional<QMargins> m = Extents(c, w)) {
            return m;
        }
        usleep(2000);
    } while (std::chrono::steady_clock::now() < deadline);
    return std::nullopt;
}

void WatchFrames() {
    static FrameWatcher watcher;
    qApp->installNativeEventFilter(&watcher);
}

QMargins ExpectedFrame(DWORD style, DWORD exStyle, bool owned, bool* known) {
    return FrameFor(FlagsKey{TopLevelFlags(style, exStyle, owned), !(style & WS_THICKFRAME)},
                    known);
}

std::optional<QMargins> MappedFrame(const Window& w) {
    if (Wayland()) {
        // The title bar and borders Qt draws itself around the window (the
        // compositor draws none), known once the window is shown.
        QWindow* handle = w.widget ? w.widget->windowHandle() : nullptr;
        return handle ? handle->frameMargins() : QMargins();
    }
    xcb_connection_t* c = Connection();
    xcb_window_t native = w.widget ? NativeOf(*w.widget) : 0;
    if (!c || !native) {
        return QMargins();
    }
    if (Property32(c, Root(c), Atom(c, "_NET_SUPPORTING_WM_CHECK"), XCB_ATOM_WINDOW).empty()) {
        return QMargins();
    }
    if (!ManagerSupports(c, "_NET_FRAME_EXTENTS")) {
        // It never tells (weston's X11 window manager): waiting for it
        // would hold every window shown, the progress window of each
        // computation too, for the whole bound.
        return std::nullopt;
    }
    return PollExtents(c, native, kExtentsWait);
}

}  // namespace platform::user

QSize platform::OuterSizeOf(const QWidget& widget) {
    bool fixed = widget.minimumSize() == widget.maximumSize();
    return widget.size().grownBy(
        user::FrameFor(user::FlagsKey{widget.windowFlags(), fixed}, nullptr));
}
