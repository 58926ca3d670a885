// Conformance of windows and classes: creation and destruction sequences,
// rectangles and non-client areas, caption clicks, and calls on destroyed or
// null handles, as Windows behaves.
#include <gtest/gtest.h>

#include <set>

#include "tests/platform/user/support.h"

namespace {

struct Created {
    void* param = nullptr;
    int cx = 0;
    int cy = 0;
};
Created created;

LRESULT CALLBACK CreateRecorder(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_CREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(l);
        created = Created{cs->lpCreateParams, cs->cx, cs->cy};
    }
    return RecordingProc(h, m, w, l);
}

LRESULT CALLBACK RefusingProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    Log().push_back({h, m, w, l});
    return m == WM_CREATE ? -1 : DefWindowProcA(h, m, w, l);
}

void RegisterWith(const char* name, WNDPROC proc) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.hInstance = Instance();
    wc.lpszClassName = name;
    RegisterClassExA(&wc);
}

HWND Child(HWND parent, int id, DWORD style = 0, DWORD ex = 0, int size = 100) {
    RegisterTestClass("TestChild", CS_HREDRAW | CS_VREDRAW, nullptr);
    return CreateWindowExA(ex, "TestChild", "child", WS_CHILD | WS_VISIBLE | style, 0, 0, size,
                           size, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           Instance(), nullptr);
}

}  // namespace

TEST(WindowCreation, SendsMinMaxNcCreateCreateSizeMoveAndPassesTheCreationParameter) {
    RegisterWith("Recorded", CreateRecorder);
    int engine = 0;
    HWND frame =
        CreateWindowExA(0, "Recorded", "Zembrix", WS_POPUP | WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                        CW_USEDEFAULT, 550, 300, nullptr, nullptr, Instance(), &engine);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(MessagesOf(frame),
              (std::vector<UINT>{WM_GETMINMAXINFO, WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE}));
    EXPECT_EQ(created.param, &engine);
    EXPECT_EQ(created.cx, 550);
    EXPECT_EQ(created.cy, 300);
    RECT r;
    ASSERT_TRUE(GetWindowRect(frame, &r));
    // CW_USEDEFAULT places a pop-up at the screen's top-left corner.
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, 550);
    EXPECT_EQ(r.bottom, 300);
    char title[16];
    EXPECT_EQ(GetWindowTextA(frame, title, sizeof title), 7);
    EXPECT_STREQ(title, "Zembrix");
    EXPECT_FALSE(IsWindowVisible(frame));
}

TEST(WindowCreation, MinusOneFromWmCreateDestroysTheWindowAndReturnsNull) {
    RegisterWith("Refusing", RefusingProc);
    HWND h = CreateWindowExA(0, "Refusing", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                             Instance(), nullptr);
    EXPECT_EQ(h, nullptr);
    ASSERT_FALSE(Log().empty());
    HWND made = Log().front().hwnd;
    EXPECT_EQ(MessagesOf(made, {WM_CREATE, WM_DESTROY, WM_NCDESTROY}),
              (std::vector<UINT>{WM_CREATE, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(IsWindow(made));
}

TEST(WindowDestruction,
     DestroysOwnedWindowsFirstThenWmDestroyParentFirstAndWmNcDestroyChildrenFirst) {
    HWND frame = CreateFrame();
    HWND a = Child(frame, 1);
    HWND a1 = Child(a, 11);
    HWND b = Child(frame, 2);
    RegisterTestClass("TestOwned");
    HWND owned = CreateWindowExA(WS_EX_TOOLWINDOW, "TestOwned", "", WS_POPUP | WS_CAPTION, 0, 0, 50,
                                 50, frame, nullptr, Instance(), nullptr);
    ASSERT_TRUE(owned && a && a1 && b);
    EXPECT_EQ(GetWindow(owned, GW_OWNER), frame);
    EXPECT_EQ(GetParent(a1), a);
    Log().clear();
    ASSERT_TRUE(DestroyWindow(frame));
    std::vector<std::pair<HWND, UINT>> expected = {
        {owned, WM_DESTROY}, {owned, WM_NCDESTROY}, {frame, WM_DESTROY}, {a, WM_DESTROY},
        {a1, WM_DESTROY},    {b, WM_DESTROY},       {a1, WM_NCDESTROY},  {a, WM_NCDESTROY},
        {b, WM_NCDESTROY},   {frame, WM_NCDESTROY}};
    EXPECT_EQ(Sequence({WM_DESTROY, WM_NCDESTROY}), expected);
    for (HWND h : {frame, a, a1, b, owned}) {
        EXPECT_FALSE(IsWindow(h));
    }
}

TEST(WindowDestruction, CallsOnDestroyedOrNullHandlesFailAndHandlesAreNotReused) {
    HWND frame = CreateFrame();
    std::set<HWND> seen{frame};
    ASSERT_TRUE(DestroyWindow(frame));
    RECT r{1, 2, 3, 4};
    for (HWND h : {frame, static_cast<HWND>(nullptr)}) {
        EXPECT_FALSE(GetWindowRect(h, &r));
        EXPECT_FALSE(DestroyWindow(h));
        EXPECT_FALSE(SetWindowPos(h, nullptr, 0, 0, 1, 1, SWP_NOZORDER));
        EXPECT_EQ(SendMessageA(h, WM_USER, 0, 0), 0);
        EXPECT_EQ(SetWindowLongPtrA(h, GWLP_USERDATA, 5), 0);
        EXPECT_EQ(GetDC(h), nullptr);
    }
    EXPECT_FALSE(PostMessageA(frame, WM_USER, 0, 0));
    for (int i = 0; i < 5; ++i) {
        HWND again = CreateFrame();
        EXPECT_TRUE(seen.insert(again).second);
        DestroyWindow(again);
    }
}
TEST(WindowGeometry, BorderAndClientEdgeTakeOneAndTwoPixelsOnEachSide) {
    HWND frame = CreateFrame();
    RECT r;
    HWND both = Child(frame, 1002, WS_BORDER, WS_EX_CLIENTEDGE);
    ASSERT_TRUE(GetClientRect(both, &r));
    EXPECT_EQ(r.right, 94);
    EXPECT_EQ(r.bottom, 94);
    HWND border = Child(frame, 1003, WS_BORDER);
    GetClientRect(border, &r);
    EXPECT_EQ(r.right, 98);
    HWND edge = Child(frame, 1004, 0, WS_EX_CLIENTEDGE);
    GetClientRect(edge, &r);
    EXPECT_EQ(r.right, 96);
    // The child's window rectangle is in screen coordinates, inside the
    // frame's client area.
    SetWindowPos(both, nullptr, 10, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    POINT origin{0, 0};
    ClientToScreen(frame, &origin);
    GetWindowRect(both, &r);
    EXPECT_EQ(r.left, origin.x + 10);
    EXPECT_EQ(r.top, origin.y + 20);
}

// A double click on the caption maximises a normal window and restores a
// maximised one; the close box destroys it.
TEST(WindowDefaults, CaptionDoubleClickTogglesMaximisedAndCloseDestroys) {
    HWND frame = CreateFrame();
    EXPECT_FALSE(ShowWindow(frame, SW_SHOW));
    EXPECT_TRUE(ShowWindow(frame, SW_SHOW));  // the previous state: visible
    EXPECT_EQ(GetActiveWindow(), frame);
    for (bool zoomed : {true, false}) {
        SendMessageA(frame, WM_NCLBUTTONDBLCLK, HTCAPTION, 0);
        EXPECT_EQ(IsZoomed(frame) != FALSE, zoomed);
    }
    SendMessageA(frame, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(IsWindow(frame));
}
