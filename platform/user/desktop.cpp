// The window manager: what Windows enforces itself for owned, modal and tool
// windows, told to an X11 window manager through the ICCCM and EWMH hints
// before a window is mapped; the frame it draws, measured, so that a
// top-level window's rectangle is its outer edge as on Windows; a disabled
// window that the window manager activates or asks to close; and the
// program's identity (icon, class, desktop entry).
//
// Nothing here calls a window procedure. Without an X11 connection (the
// offscreen platform) or without a window manager there is no frame and
// nothing to tell. On Wayland the compositor is told nothing beyond what Qt
// says (the owner as parent, the app id); the frame is the decoration Qt
// draws, and a disabled window is handled as under X11.
//
// Leaves out: frame extents that change after the first map (a window
// manager that drops the borders of a maximised window); the caller takes
// the client geometry Qt reports then.
#include <QtGui/qguiapplication_platform.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QScreen>
#include <QStandardPaths>
#include <QWindow>
#include <chrono>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <string>

#include "platform/internal/window_bridge.h"
#include "platform/user/internal.h"

namespace platform::user {
namespace {

// Names the installed desktop entry uses: its file (org.zembrix.Zembrix.desktop)
// and StartupWMClass=zembrix.
constexpr char kDesktopId[] = "org.zembrix.Zembrix";
constexpr char kWmClass[] = "zembrix\0Zembrix";  // instance, class: both terminated

// The longest wait for the window manager's answer about a frame, ms.
constexpr int kExtentsWaitMs = 500;

xcb_connection_t* Connection() {
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t Root(xcb_connection_t* c) {
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    static std::map<std::string, xcb_atom_t> atoms;
    auto it = atoms.find(name);
    if (it != atoms.end()) {
        return it->second;
    }
    xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    xcb_atom_t a = r ? r->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(r);
    if (a != XCB_ATOM_NONE) {
        atoms.emplace(name, a);
    }
    return a;
}

// A property of 32-bit items; empty when it is missing.
std::vector<uint32_t> Property32(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property,
                                 xcb_atom_t type) {
    std::vector<uint32_t> items;
    xcb_get_property_reply_t* r =
        xcb_get_property_reply(c, xcb_get_property(c, 0, w, property, type, 0, 1024), nullptr);
    if (r && r->format == 32 && r->type == type) {
        auto* data = static_cast<const uint32_t*>(xcb_get_property_value(r));
        items.assign(data, data + xcb_get_property_value_length(r) / 4);
    }
    std::free(r);
    return items;
}

// The server counts device pixels; the window model, like Qt, counts logical
// ones (two device pixels each way at 200 %, the same at 100 %).
double DeviceRatio() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->devicePixelRatio() : 1.0;
}

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

void SendToRoot(xcb_connection_t* c, xcb_window_t w, xcb_atom_t type, uint32_t d0 = 0,
                uint32_t d1 = 0, uint32_t d2 = 0) {
    xcb_client_message_event_t e{};
    e.response_type = XCB_CLIENT_MESSAGE;
    e.format = 32;
    e.window = w;
    e.type = type;
    e.data.data32[0] = d0;
    e.data.data32[1] = d1;
    e.data.data32[2] = d2;
    xcb_send_event(c, 0, Root(c),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&e));
    xcb_flush(c);
}

// Asks the window manager for the extents it would give `w` and waits for
// them, within a bound, without processing any event.
std::optional<QMargins> RequestExtents(xcb_connection_t* c, xcb_window_t w) {
    SendToRoot(c, w, Atom(c, "_NET_REQUEST_FRAME_EXTENTS"));
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kExtentsWaitMs);
    do {
        if (std::optional<QMargins> m = Extents(c, w)) {
            return m;
        }
        usleep(2000);
    } while (std::chrono::steady_clock::now() < deadline);
    return std::nullopt;
}

xcb_window_t NativeOf(const QWidget& widget) {
    return widget.windowHandle() ? static_cast<xcb_window_t>(widget.windowHandle()->winId()) : 0;
}

// Adds `atoms` to _NET_WM_STATE of a window that is not mapped (the window
// manager reads it at the map; Qt keeps what it finds there when it maps).
void AddState(xcb_connection_t* c, xcb_window_t w, std::initializer_list<const char*> names) {
    xcb_atom_t property = Atom(c, "_NET_WM_STATE");
    std::vector<uint32_t> state = Property32(c, w, property, XCB_ATOM_ATOM);
    for (const char* name : names) {
        xcb_atom_t a = Atom(c, name);
        if (a != XCB_ATOM_NONE && std::find(state.begin(), state.end(), a) == state.end()) {
            state.push_back(a);
        }
    }
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, property, XCB_ATOM_ATOM, 32,
                        static_cast<uint32_t>(state.size()), state.data());
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
    for (auto& [value, w] : S().windows) {
        if (w->modalOwner == disabled.handle && w->widget && w->widget->isVisible()) {
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

void Identify(xcb_connection_t* c, xcb_window_t native) {
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, native, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        sizeof kWmClass, kWmClass);
    xcb_atom_t utf8 = Atom(c, "UTF8_STRING");
    for (const char* name : {"_KDE_NET_WM_DESKTOP_FILE", "_GTK_APPLICATION_ID"}) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, native, Atom(c, name), utf8, 8,
                            static_cast<uint32_t>(std::strlen(kDesktopId)), kDesktopId);
    }
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
    for (auto& [value, w] : S().windows) {
        if (w->widget && w->widget->windowHandle() == box->windowHandle()->transientParent()) {
            owner = w.get();
        }
    }
    if (!owner) {
        return;
    }
    xcb_window_t native = NativeOf(*box);
    Identify(c, native);
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
    xcb_get_window_attributes_reply_t* a =
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, native), nullptr);
    const bool unmapped = a && a->map_state == XCB_MAP_STATE_UNMAPPED && widget.isVisible();
    std::free(a);
    return unmapped;
}

// A reparenting window manager must tell the client where its window now
// stands on the screen, by a synthetic ConfigureNotify (ICCCM 4.1.5):
// weston's does not after it puts the window into its frame, and Qt keeps
// the position of the last configure, from before the reparent, 6 and 27
// pixels off. Every position mapped to the screen and back (a click on the
// menu bar, a popup's place) would be off by that much. So the window gets
// that ConfigureNotify from the layer, with what the server has; behind a
// window manager that sends its own, it changes nothing.
void SendServerPosition(xcb_connection_t* c, xcb_window_t w) {
    xcb_get_geometry_reply_t* g = xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr);
    xcb_translate_coordinates_reply_t* t = xcb_translate_coordinates_reply(
        c, xcb_translate_coordinates(c, w, Root(c), 0, 0), nullptr);
    if (g && t) {
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
    std::free(t);
    std::free(g);
}

bool OurTopLevel(xcb_window_t native) {
    for (auto& [value, w] : S().windows) {
        if (w->widget && !(w->style & WS_CHILD) && NativeOf(*w->widget) == native) {
            return true;
        }
    }
    return false;
}

// After the first map the window manager may change its frame (openbox
// drops the borders of a window it maximises): the client area stays, the
// outer rectangle follows. Seen in the server's own events; nothing is
// called.
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
        for (auto& [value, w] : S().windows) {
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
    HWND h = w->handle;
    QMetaObject::invokeMethod(
        qApp,
        [h] {
            Window* again = Find(h);
            Window* owner = again ? Find(again->owner) : nullptr;
            if (!again || !again->widget || !owner || !owner->widget ||
                (owner->widget->windowState() & Qt::WindowMinimized) ||
                owner->showState == ShowState::Minimized || Iconic(*owner->widget)) {
                return;
            }
            again->widget->setWindowState(again->widget->windowState() & ~Qt::WindowMinimized);
        },
        Qt::QueuedConnection);
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
        HWND h = w->handle;
        QMetaObject::invokeMethod(
            this,
            [h] {
                Window* disabled = Find(h);
                QWidget* box =
                    disabled && (disabled->style & WS_DISABLED) ? BoxOver(*disabled) : nullptr;
                if (!box) {
                    return;
                }
                if (Window* ours = Find(HandleOfWidget(box))) {
                    ActivateWindow(ours);
                } else {
                    box->raise();
                    box->activateWindow();
                }
            },
            Qt::QueuedConnection);
        return false;
    }
};

// The icon the desktop entry installs (hicolor PNGs), looked up beside the
// program's prefix, in the data folders, and in a build tree.
QIcon ProgramIcon() {
    QIcon icon = QIcon::fromTheme(kDesktopId);
    if (!icon.isNull()) {
        return icon;
    }
    QStringList bases;
    QString dir = QCoreApplication::applicationDirPath();
    bases << dir + "/../share/icons/hicolor" << dir + "/../resources/linux/icons";
    for (const QString& data :
         QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        bases << data + "/icons/hicolor";
    }
    for (const QString& base : bases) {
        for (int side : {48, 128, 256}) {
            QString file = QString("%1/%2x%2/apps/%3.png").arg(base).arg(side).arg(kDesktopId);
            if (QFile::exists(file)) {
                icon.addFile(file, QSize(side, side));
            }
        }
        if (!icon.isNull()) {
            break;
        }
    }
    return icon;
}

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

namespace {

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

QMargins ExpectedFrame(DWORD style, DWORD exStyle, bool owned, bool* known) {
    return FrameFor(FlagsKey{TopLevelFlags(style, exStyle, owned), !(style & WS_THICKFRAME)},
                    known);
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
    Identify(c, native);
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
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kExtentsWaitMs);
    do {
        if (std::optional<QMargins> m = Extents(c, native)) {
            return m;
        }
        usleep(2000);
    } while (std::chrono::steady_clock::now() < deadline);
    return std::nullopt;
}

std::optional<QPoint> ServerPosition(const QWidget& widget) {
    xcb_connection_t* c = Connection();
    xcb_window_t native = NativeOf(widget);
    if (!c || !native) {
        return std::nullopt;
    }
    xcb_translate_coordinates_reply_t* r = xcb_translate_coordinates_reply(
        c, xcb_translate_coordinates(c, native, Root(c), 0, 0), nullptr);
    std::optional<QPoint> p;
    if (r) {
        const double ratio = DeviceRatio();
        p = QPoint(static_cast<int>(std::lround(r->dst_x / ratio)),
                   static_cast<int>(std::lround(r->dst_y / ratio)));
    }
    std::free(r);
    return p;
}

void SyncWithServer() {
    if (xcb_connection_t* c = Connection()) {
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    }
}

bool Desktop() {
    return Connection() != nullptr;
}

HWND KeyTarget(HWND h, int depth) {
    Window* top = TopLevelOf(Find(h));
    if (!top || !(top->style & WS_DISABLED) || depth > 8) {
        return h;
    }
    for (auto& [value, w] : S().windows) {
        if (w->modalOwner == top->handle && w->widget && w->widget->isVisible()) {
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

void IdentifyApplication() {
    // Before any window exists: Wayland takes the app id from it when a
    // window is first shown.
    QGuiApplication::setDesktopFileName(kDesktopId);
    QIcon icon = ProgramIcon();
    if (!icon.isNull()) {
        QApplication::setWindowIcon(icon);
    }
}

void InstallDesktopFilter() {
    static DesktopFilter* filter = nullptr;
    if (!filter && qApp) {
        // Owned by the application object, which is never destroyed.
        filter = std::make_unique<DesktopFilter>(qApp).release();
        qApp->installEventFilter(filter);
        static FrameWatcher watcher;
        qApp->installNativeEventFilter(&watcher);
    }
}

}  // namespace platform::user

QSize platform::OuterSizeOf(const QWidget& widget) {
    using namespace platform::user;
    bool fixed = widget.minimumSize() == widget.maximumSize();
    return widget.size().grownBy(FrameFor(FlagsKey{widget.windowFlags(), fixed}, nullptr));
}
