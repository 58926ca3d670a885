// The Win32 window model under a window manager (and bare): run on a real X
// server by run-under-xvfb.sh, with the window manager it names. What the
// window manager did is read back from the server: frame extents, allowed
// actions, stacking, the input focus, map state and pixels.
#include <QtGui/qguiapplication_platform.h>
#include <gtest/gtest.h>
#include <xcb/xcb.h>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "tests/platform/user/support.h"

namespace {

xcb_connection_t* X() {
    return qApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}
xcb_window_t Root() {
    return xcb_setup_roots_iterator(xcb_get_setup(X())).data->root;
}
xcb_window_t Native(HWND h) {
    return static_cast<xcb_window_t>(WidgetOf(h)->winId());
}
xcb_atom_t Atom(const char* name) {
    auto* r = xcb_intern_atom_reply(
        X(), xcb_intern_atom(X(), 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    xcb_atom_t a = r ? r->atom : 0;
    std::free(r);
    return a;
}
std::vector<uint32_t> Property(xcb_window_t w, const char* name, xcb_atom_t type) {
    std::vector<uint32_t> items;
    auto* r = xcb_get_property_reply(X(), xcb_get_property(X(), 0, w, Atom(name), type, 0, 1024),
                                     nullptr);
    if (r && r->format == 32) {
        auto* d = static_cast<const uint32_t*>(xcb_get_property_value(r));
        items.assign(d, d + xcb_get_property_value_length(r) / 4);
    }
    std::free(r);
    return items;
}
bool Has(xcb_window_t w, const char* property, const char* atom) {
    auto items = Property(w, property, XCB_ATOM_ATOM);
    return std::find(items.begin(), items.end(), Atom(atom)) != items.end();
}
bool UnderWindowManager() {
    return !Property(Root(), "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW).empty();
}
void Sync() {
    std::free(xcb_get_input_focus_reply(X(), xcb_get_input_focus(X()), nullptr));
}

// Where the server has the window: client origin on the screen, size, and
// the frame the window manager declared around it.
struct Placement {
    QRect client;
    QMargins frame;
    QRect Outer() const { return client.marginsAdded(frame); }
};
Placement Placed(HWND h) {
    Sync();
    xcb_window_t w = Native(h);
    Placement p;
    auto* g = xcb_get_geometry_reply(X(), xcb_get_geometry(X(), w), nullptr);
    auto* t = xcb_translate_coordinates_reply(X(), xcb_translate_coordinates(X(), w, Root(), 0, 0),
                                              nullptr);
    if (g && t) {
        p.client = QRect(t->dst_x, t->dst_y, g->width, g->height);
    }
    std::free(g);
    std::free(t);
    auto e = Property(w, "_NET_FRAME_EXTENTS", XCB_ATOM_CARDINAL);
    if (e.size() == 4) {
        p.frame = QMargins(static_cast<int>(e[0]), static_cast<int>(e[2]), static_cast<int>(e[1]),
                           static_cast<int>(e[3]));
    }
    return p;
}
bool Viewable(HWND h) {
    auto* a =
        xcb_get_window_attributes_reply(X(), xcb_get_window_attributes(X(), Native(h)), nullptr);
    bool v = a && a->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(a);
    return v;
}

// The top-level window of the screen (a child of the root: the window
// manager's frame, or the window itself) that holds `w`.
xcb_window_t RootChildOf(xcb_window_t w) {
    for (int depth = 0; depth < 16; ++depth) {
        auto* t = xcb_query_tree_reply(X(), xcb_query_tree(X(), w), nullptr);
        xcb_window_t parent = t ? t->parent : 0;
        std::free(t);
        if (!parent || parent == Root()) {
            return w;
        }
        w = parent;
    }
    return w;
}
// Whether `upper` is stacked above `lower` on the screen.
bool Above(HWND upper, HWND lower) {
    xcb_window_t a = RootChildOf(Native(upper));
    xcb_window_t b = RootChildOf(Native(lower));
    auto* t = xcb_query_tree_reply(X(), xcb_query_tree(X(), Root()), nullptr);
    int ia = -1;
    int ib = -1;
    if (t) {
        xcb_window_t* c = xcb_query_tree_children(t);
        for (int i = 0; i < xcb_query_tree_children_length(t); ++i) {
            ia = c[i] == a ? i : ia;
            ib = c[i] == b ? i : ib;
        }
    }
    std::free(t);
    return ia > ib && ib >= 0;
}
bool HasInputFocus(HWND h) {
    auto* f = xcb_get_input_focus_reply(X(), xcb_get_input_focus(X()), nullptr);
    xcb_window_t focus = f ? f->focus : 0;
    std::free(f);
    return focus && RootChildOf(focus) == RootChildOf(Native(h));
}

// Handles messages (and runs `input`, an xdotool command, to its end)
// until `done` holds or 10 s have passed.
bool PumpUntil(const std::function<bool()>& done, const QStringList& input = {}) {
    QProcess tool;
    if (!input.isEmpty()) {
        tool.start("xdotool", input);
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    MSG msg;
    bool ok = false;
    while (!(ok = tool.state() == QProcess::NotRunning && done()) &&
           std::chrono::steady_clock::now() < deadline) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else {
            tool.waitForFinished(10);
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
    }
    if (tool.state() != QProcess::NotRunning) {
        tool.kill();
        tool.waitForFinished(2000);
    }
    return ok;
}
// (No --sync: it waits for a motion, and the pointer may be there already.)
QStringList ClickAt(QPoint p) {
    return {"mousemove", QString::number(p.x()), QString::number(p.y()), "click", "1"};
}
bool Received(HWND h, UINT message) {
    for (const Logged& l : Log()) {
        if (l.hwnd == h && l.message == message) {
            return true;
        }
    }
    return false;
}
QPoint ClientOrigin(HWND h) {
    POINT p{0, 0};
    ClientToScreen(h, &p);
    return QPoint(p.x, p.y);
}
QRect WindowRect(HWND h) {
    RECT r;
    GetWindowRect(h, &r);
    return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
}

INT_PTR CALLBACK QuietDialog(HWND, UINT m, WPARAM, LPARAM) {
    return m == WM_INITDIALOG;
}

// Counts the window state changes Qt reports for one widget (seen before
// the layer's own filter, which was installed earlier).
struct StateChanges : QObject {
    explicit StateChanges(QWidget* watched) : widget(watched) { qApp->installEventFilter(this); }
    ~StateChanges() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject* o, QEvent* e) override {
        count += o == widget && e->type() == QEvent::WindowStateChange;
        return false;
    }
    QWidget* widget;
    int count = 0;
};

class WindowManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        Log().clear();
        frame = CreateWindowExA(WS_EX_CONTROLPARENT, "WmFrame", "Frame",
                                WS_POPUP | WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 550,
                                300, nullptr, nullptr, Instance(), nullptr);
        ASSERT_NE(frame, nullptr);
        ShowWindow(frame, SW_SHOW);
        RunUntilIdle();
    }
    void TearDown() override {
        DestroyWindow(frame);
        RunUntilIdle();
    }
    HWND frame = nullptr;
};

// The window rectangle is the outer frame, where the window manager drew
// it; the client area is where the server has it, under the menu bar.
TEST_F(WindowManagerTest, RectanglesAreTheOuterFrameAndTheRealClientArea) {
    EXPECT_EQ(WindowRect(frame), QRect(0, 0, 550, 300));
    EXPECT_TRUE(PumpUntil([&] { return Placed(frame).Outer() == WindowRect(frame); }));
    Placement p = Placed(frame);
    RECT client;
    GetClientRect(frame, &client);
    QPoint origin = ClientOrigin(frame);
    EXPECT_EQ(origin.x(), p.client.x());
    EXPECT_GT(origin.y(), p.client.y());  // the menu bar is above it
    EXPECT_EQ(origin.y() + client.bottom, p.client.bottom() + 1);
    EXPECT_EQ(client.right, p.client.width());

    // Moved by the program: the outer edge goes where it was asked to.
    SetWindowPos(frame, nullptr, 40, 30, 500, 280, SWP_NOZORDER);
    ASSERT_TRUE(PumpUntil([&] { return Placed(frame).Outer() == QRect(40, 30, 500, 280); }))
        << "outer frame at " << Placed(frame).Outer().x() << ", " << Placed(frame).Outer().y();
    EXPECT_EQ(WindowRect(frame), QRect(40, 30, 500, 280));

    // Maximised by the window manager (as by a double click on the title),
    // the frame may change (openbox drops the borders): the window rectangle
    // stays the outer edge.
    if (UnderWindowManager()) {
        xcb_client_message_event_t e{};
        e.response_type = XCB_CLIENT_MESSAGE;
        e.format = 32;
        e.window = Native(frame);
        e.type = Atom("_NET_WM_STATE");
        e.data.data32[0] = 1;  // add
        e.data.data32[1] = Atom("_NET_WM_STATE_MAXIMIZED_VERT");
        e.data.data32[2] = Atom("_NET_WM_STATE_MAXIMIZED_HORZ");
        xcb_send_event(X(), 0, Root(),
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&e));
        xcb_flush(X());
        EXPECT_TRUE(PumpUntil([&] {
            return IsZoomed(frame) && WindowRect(frame).width() > 500 &&
                   Placed(frame).Outer() == WindowRect(frame);
        })) << "zoomed "
            << IsZoomed(frame) << ", outer " << Placed(frame).Outer().x() << ", "
            << Placed(frame).Outer().y() << ", " << Placed(frame).Outer().width() << " x "
            << Placed(frame).Outer().height() << ", window rectangle " << WindowRect(frame).x()
            << ", " << WindowRect(frame).y() << ", " << WindowRect(frame).width() << " x "
            << WindowRect(frame).height();
    }
}

// A tool window opens with its outer top-left at its owner's client top-left
// and stays above the owner when the owner is clicked; its styles reach the
// window manager: no resizing, no maximising, not in the taskbar.
TEST_F(WindowManagerTest, ToolWindowSitsUnderTheMenuBarAndStaysAbove) {
    HWND tool = CreateDialogParamA(Instance(), MAKEINTRESOURCEA(107), frame, QuietDialog, 0);
    ASSERT_NE(tool, nullptr);
    ShowWindow(tool, SW_SHOW);
    RunUntilIdle();
    EXPECT_EQ(WindowRect(tool).topLeft(), ClientOrigin(frame));
    EXPECT_EQ(Placed(tool).Outer(), WindowRect(tool));

    QPoint inFrame = ClientOrigin(frame) + QPoint(450, 200);
    ASSERT_TRUE(PumpUntil([&] { return Received(frame, WM_LBUTTONDOWN); }, ClickAt(inFrame)));
    EXPECT_TRUE(PumpUntil([&] { return Above(tool, frame); }));

    if (UnderWindowManager()) {
        struct Expected {
            HWND window;
            bool resizable;
        };
        for (Expected e : {Expected{frame, true}, Expected{tool, false}}) {
            xcb_window_t w = Native(e.window);
            EXPECT_EQ(Has(w, "_NET_WM_ALLOWED_ACTIONS", "_NET_WM_ACTION_RESIZE"), e.resizable);
            EXPECT_EQ(Has(w, "_NET_WM_ALLOWED_ACTIONS", "_NET_WM_ACTION_MAXIMIZE_VERT"),
                      e.resizable);
            EXPECT_EQ(Has(w, "_NET_WM_STATE", "_NET_WM_STATE_SKIP_TASKBAR"), !e.resizable);
        }
        EXPECT_EQ(Property(Native(tool), "WM_TRANSIENT_FOR", XCB_ATOM_WINDOW),
                  std::vector<uint32_t>{Native(frame)});

        // A tool window cannot be minimised by itself: openbox offers it and
        // then takes the whole family down; the tool window goes with its owner
        // or stays (jwm offers nothing).
        Log().clear();
        StateChanges changes(WidgetOf(tool));
        QStringList minimise{"windowminimize", QString::number(Native(tool))};
        EXPECT_TRUE(PumpUntil(
            [&] { return (changes.count > 0 && Viewable(tool)) || IsIconic(frame); }, minimise));
        EXPECT_FALSE(IsIconic(tool));
        EXPECT_FALSE(Received(tool, WM_SYSCOMMAND));
        if (IsIconic(frame)) {
            ShowWindow(frame, SW_RESTORE);
            EXPECT_TRUE(PumpUntil([&] { return Viewable(tool) && !IsIconic(tool); }));
        }

        // Minimised by the window manager, the owner takes its windows along.
        ASSERT_TRUE(PumpUntil([&] { return IsIconic(frame) && !Viewable(tool); },
                              {"windowminimize", QString::number(Native(frame))}));
        ShowWindow(frame, SW_RESTORE);
        EXPECT_TRUE(PumpUntil([&] { return Viewable(tool) && Above(tool, frame); }));
    }
    DestroyWindow(tool);
}

// Under a modal box a click on the disabled owner neither reaches it nor
// raises it, the box keeps the focus, and a close request to the owner is
// ignored.
HWND modalFrame = nullptr;
int closeRequests = 0;
std::string modalFailure;

void Expect(bool holds, const char* what) {
    if (!holds && modalFailure.empty()) {
        modalFailure = what;
    }
}

class CloseCounter : public QObject {
protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Close && o == WidgetOf(modalFrame)) {
            ++closeRequests;
        }
        return false;
    }
};

INT_PTR CALLBACK ModalProc(HWND box, UINT m, WPARAM, LPARAM) {
    if (m == WM_INITDIALOG) {
        PostMessageA(box, WM_APP, 0, 0);
        return TRUE;
    }
    if (m != WM_APP) {
        return FALSE;
    }
    Expect(PumpUntil([&] { return Viewable(box) && Above(box, modalFrame); }), "box not above");
    Log().clear();
    QPoint inFrame = ClientOrigin(modalFrame) + QPoint(450, 200);
    // The window manager answers the click in its own time: the box must be
    // on top with the focus, and stay so for a while (25 checks in a row).
    int steady = 0;
    Expect(PumpUntil(
               [&] {
                   steady = Above(box, modalFrame) && HasInputFocus(box) ? steady + 1 : 0;
                   return steady >= 25;
               },
               ClickAt(inFrame)),
           "the box lost the top or the focus");
    Expect(!Received(modalFrame, WM_LBUTTONDOWN), "the click reached the disabled frame");
    Expect(GetActiveWindow() == box, "the box is not the active window");

    // The close request a window manager sends for the frame's close box.
    xcb_client_message_event_t e{};
    e.response_type = XCB_CLIENT_MESSAGE;
    e.format = 32;
    e.window = Native(modalFrame);
    e.type = Atom("WM_PROTOCOLS");
    e.data.data32[0] = Atom("WM_DELETE_WINDOW");
    xcb_send_event(X(), 0, e.window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&e));
    xcb_flush(X());
    Expect(PumpUntil([] { return closeRequests > 0; }), "no close request arrived");
    PumpUntil([] {
        MSG m;
        return !PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE);
    });
    Expect(IsWindow(modalFrame) && !Received(modalFrame, WM_CLOSE) &&
               !Received(modalFrame, WM_SYSCOMMAND),
           "the close request reached the disabled frame");
    EndDialog(box, IDOK);
    return TRUE;
}

TEST_F(WindowManagerTest, ModalBoxKeepsTheTopAndTheFocus) {
    modalFrame = frame;
    CloseCounter counter;
    qApp->installEventFilter(&counter);
    INT_PTR result = DialogBoxParamA(Instance(), MAKEINTRESOURCEA(104), frame, ModalProc, 0);
    qApp->removeEventFilter(&counter);
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(modalFailure, "");
    EXPECT_TRUE(IsWindowEnabled(frame));
}

// The progress window, created visible, first reaches the screen where the
// program centres it; moved while the program computes (no messages), what
// it uncovered shows the frame's picture again at once.
TEST_F(WindowManagerTest, PopupLeavesNoStalePixels) {
    COLORREF c = GetSysColor(COLOR_MENU);  // the frame's background
    QRgb background = qRgb(GetRValue(c), GetGValue(c), GetBValue(c)) & 0xFFFFFF;
    INITCOMMONCONTROLSEX init{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&init);
    HWND progress = CreateDialogParamA(Instance(), MAKEINTRESOURCEA(106), frame, QuietDialog, 0);
    ASSERT_NE(progress, nullptr);
    EXPECT_TRUE(IsWindowVisible(progress));
    EXPECT_FALSE(Viewable(progress)) << "on the screen at its template position";
    QPoint at = ClientOrigin(frame) + QPoint(100, 60);
    SetWindowPos(progress, nullptr, at.x(), at.y(), 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_TRUE(Viewable(progress));
    EXPECT_EQ(Placed(progress).client.topLeft(), at);  // undecorated: it draws its own border

    QRect old = WindowRect(progress);
    SetWindowPos(progress, nullptr, at.x() + 150, at.y() + 80, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    QRect now = WindowRect(progress);
    int stale = 0;
    for (int y = old.top(); y <= old.bottom(); ++y) {
        for (int x = old.left(); x <= old.right(); ++x) {
            if (!now.contains(x, y) && (screen.pixel(x, y) & 0xFFFFFF) != background) {
                ++stale;
            }
        }
    }
    EXPECT_EQ(stale, 0);

    // Another program's window over the frame goes away while this one
    // computes: the next progress update shows the frame's picture there.
    xcb_window_t other = xcb_generate_id(X());
    uint32_t values[] = {0xFF0000, 1};  // red, override-redirect
    QPoint o = ClientOrigin(frame) + QPoint(20, 20);
    xcb_create_window(X(), XCB_COPY_FROM_PARENT, other, Root(), static_cast<int16_t>(o.x()),
                      static_cast<int16_t>(o.y()), 120, 80, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
    xcb_map_window(X(), other);
    Sync();
    xcb_destroy_window(X(), other);
    Sync();
    HWND bar = GetDlgItem(progress, 1028);
    auto cleared = [&] {
        SendMessageA(bar, PBM_SETPOS, 10, 0);  // as the computation reports a row
        QImage now =
            QGuiApplication::primaryScreen()->grabWindow(0, o.x(), o.y(), 120, 80).toImage();
        for (int y = 0; y < now.height(); ++y) {
            for (int x = 0; x < now.width(); ++x) {
                if ((now.pixel(x, y) & 0xFFFFFF) != background) {
                    return false;
                }
            }
        }
        return true;
    };
    bool ok = false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!(ok = cleared()) && std::chrono::steady_clock::now() < deadline) {
    }
    EXPECT_TRUE(ok) << "the uncovered part stayed stale";
    DestroyWindow(progress);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Created by the first window; the layer starts Qt on the xcb platform.
    RegisterTestClass("WmFrame", CS_HREDRAW | CS_VREDRAW, reinterpret_cast<HBRUSH>(COLOR_MENU + 1),
                      MAKEINTRESOURCEA(103));
    return RUN_ALL_TESTS();
}
