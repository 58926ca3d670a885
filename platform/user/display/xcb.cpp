// The X11 plumbing the display files share: the connection Qt opened (none
// on the offscreen and Wayland platforms), atoms, 32-bit properties, client
// messages to the root window, _NET_WM_STATE before a map, the server's own
// idea of a window's position, and a round trip that waits for the server.
// Every reply has an owner that frees it.
//
// Leaves out: a connection of our own; events are Qt's to read.
#include <QtGui/qguiapplication_platform.h>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <string>

#include "platform/user/display/display.h"
#include "platform/user/display/xcb.h"

namespace platform::user {

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
    XcbReply<xcb_intern_atom_reply_t> r(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    xcb_atom_t a = r ? r->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    if (a != XCB_ATOM_NONE) {
        atoms.emplace(name, a);
    }
    return a;
}

std::vector<uint32_t> Property32(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property,
                                 xcb_atom_t type) {
    std::vector<uint32_t> items;
    XcbReply<xcb_get_property_reply_t> r(
        xcb_get_property_reply(c, xcb_get_property(c, 0, w, property, type, 0, 1024), nullptr));
    if (r && r->format == 32 && r->type == type) {
        auto* data = static_cast<const uint32_t*>(xcb_get_property_value(r.get()));
        items.assign(data, data + xcb_get_property_value_length(r.get()) / 4);
    }
    return items;
}

double DeviceRatio() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->devicePixelRatio() : 1.0;
}

void SendToRoot(xcb_connection_t* c, xcb_window_t w, xcb_atom_t type, uint32_t d0, uint32_t d1,
                uint32_t d2) {
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

xcb_window_t NativeOf(const QWidget& widget) {
    return widget.windowHandle() ? static_cast<xcb_window_t>(widget.windowHandle()->winId()) : 0;
}

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

std::optional<QPoint> ServerPosition(const QWidget& widget) {
    xcb_connection_t* c = Connection();
    xcb_window_t native = NativeOf(widget);
    if (!c || !native) {
        return std::nullopt;
    }
    XcbReply<xcb_translate_coordinates_reply_t> r(xcb_translate_coordinates_reply(
        c, xcb_translate_coordinates(c, native, Root(c), 0, 0), nullptr));
    std::optional<QPoint> p;
    if (r) {
        const double ratio = DeviceRatio();
        p = QPoint(static_cast<int>(std::lround(r->dst_x / ratio)),
                   static_cast<int>(std::lround(r->dst_y / ratio)));
    }
    return p;
}

void SyncWithServer() {
    if (xcb_connection_t* c = Connection()) {
        XcbReply<xcb_get_input_focus_reply_t> done(
            xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    }
}

bool Desktop() {
    return Connection() != nullptr;
}

}  // namespace platform::user
