// What the display files share: the xcb connection Qt opened, atoms and
// properties, replies with an owner, and bounded polls.
#pragma once

#include <xcb/xcb.h>
#include <QMargins>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <optional>
#include <vector>

class QWidget;

namespace platform::user {

// An xcb reply, freed with free() as xcb allocates it.
struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <class T>
using XcbReply = std::unique_ptr<T, FreeReply>;

xcb_connection_t* Connection();
xcb_window_t Root(xcb_connection_t* c);
xcb_atom_t Atom(xcb_connection_t* c, const char* name);
// A property of 32-bit items; empty when it is missing.
std::vector<uint32_t> Property32(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property,
                                 xcb_atom_t type);
// The server counts device pixels; the window model, like Qt, counts logical
// ones (two device pixels each way at 200 %, the same at 100 %).
double DeviceRatio();
xcb_window_t NativeOf(const QWidget& widget);
void SendToRoot(xcb_connection_t* c, xcb_window_t w, xcb_atom_t type, uint32_t d0 = 0,
                uint32_t d1 = 0, uint32_t d2 = 0);
// Adds `names` to _NET_WM_STATE of a window that is not mapped (the window
// manager reads it at the map; Qt keeps what it finds there when it maps).
void AddState(xcb_connection_t* c, xcb_window_t w, std::initializer_list<const char*> names);

// The window manager's frame extents of `w`, asked every 2 ms until they are
// set or `bound` has passed, without processing any event.
std::optional<QMargins> PollExtents(xcb_connection_t* c, xcb_window_t w,
                                    std::chrono::milliseconds bound);
// Gives a window the program's class and desktop entry (identity.cpp).
void IdentifyWindow(xcb_connection_t* c, xcb_window_t native);
// Follows the frame extents the window manager changes after a first map
// (frame.cpp).
void WatchFrames();

}  // namespace platform::user
