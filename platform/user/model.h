// The window layer's model: window classes, windows, menus, accelerator
// tables, queued messages and the layer's state. The model is the truth; the
// Qt widgets show it. Everything lives on the GUI thread. What acts on the
// model is declared in the header of its area (README.md maps them).
//
// The state is never destroyed: the program's static objects destroy their
// windows after WinMain has returned, and those calls must still find it.
#pragma once

#include <QImage>
#include <QMargins>
#include <QPointer>
#include <QRect>
#include <QRegion>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/win32/types.h"
#include "platform/win32/user.h"

namespace platform::user {

enum class ClassKind { Custom, Dialog, Edit, Button, Static, Progress };

struct WindowClass {
    std::string name;
    ATOM atom = 0;
    ClassKind kind = ClassKind::Custom;
    UINT style = 0;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    std::string menuName;  // empty when none or given by id
    int menuId = -1;
    int windowExtra = 0;  // bytes
    int windowCount = 0;
};

enum class ShowState { Normal, Minimized, Maximized };

struct KeyRecord {
    int qtKey = 0;
    Qt::KeyboardModifiers modifiers;
    QString text;
    quint32 nativeScanCode = 0;
    quint32 nativeVirtualKey = 0;
    quint32 nativeModifiers = 0;
    bool autoRepeat = false;
};

struct DialogState {
    bool ended = false;
    INT_PTR result = 0;
    int defaultId = -1;         // set by DM_SETDEFID
    HWND modalOwner = nullptr;  // disabled by DialogBoxParamA, enabled by EndDialog
    int baseX = 0;              // dialog base units, pixels
    int baseY = 0;
};

struct ProgressState {
    int rangeLow = 0;
    int rangeHigh = 100;
    int position = 0;
    int step = 10;
};

struct Window {
    HWND handle = nullptr;
    WindowClass* windowClass = nullptr;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    HWND parent = nullptr;  // child windows only
    HWND owner = nullptr;   // top-level windows only
    LONG_PTR id = 0;
    HINSTANCE instance = nullptr;
    HMENU menu = nullptr;  // the menu bar of a top-level window
    LONG_PTR userData = 0;
    std::vector<unsigned char> extra;  // cbWndExtra bytes (the dialog slots)
    std::string text;
    QRect rect;  // window rectangle: screen for top-level, parent client for child
    // The window manager's frame around a top-level's widget (zero without
    // one, or undecorated): `rect` is the outer edge, the widget's geometry
    // is `rect` less these.
    QMargins frame;
    bool frameKnown = true;      // false: the window manager did not tell it yet
    bool mapPending = false;     // visible since its creation; shown at the next call that needs it
    bool mappedOnce = false;     // the frame was checked at a first map
    std::vector<HWND> children;  // in Z order, first on top: creation order
    bool destroying = false;
    bool ncDestroyed = false;

    QPointer<QWidget> widget;  // shows the whole window rectangle
    QImage surface;            // client-area backing store, when the class paints itself
    QRegion update;            // client coordinates
    bool erase = false;
    QRect paintRect;  // clip of the current BeginPaint

    // What only one kind of window has: dialog state on dialogs (class
    // #32770), progress-bar state on progress bars; nothing on the others.
    std::variant<std::monostate, DialogState, ProgressState> kindState;
    DialogState* Dialog() { return std::get_if<DialogState>(&kindState); }
    const DialogState* Dialog() const { return std::get_if<DialogState>(&kindState); }
    ProgressState* Progress() { return std::get_if<ProgressState>(&kindState); }

    // Top-level state as the program knows it.
    ShowState showState = ShowState::Normal;
    ShowState reportedState = ShowState::Normal;  // as last seen from Qt or set by the program
    bool inSizeBurst = false;
    // A maximise or restore was seen before the window manager's resize: its
    // WM_SIZE waits for the resize (or a short while, for none).
    bool stateSizePending = false;
    bool hiddenWithOwner = false;
    bool waitingForShow = false;
    int foreignModalDepth = 0;
    bool foreignDisabled = false;
};

struct MenuItem {
    UINT flags = 0;
    UINT id = 0;
    std::string text;
    HMENU popup = nullptr;
};

struct Menu {
    HMENU handle = nullptr;
    std::vector<MenuItem> items;
};

struct AcceleratorTable {
    std::vector<ACCEL> entries;
};

// A queued message. Input entries carry the key state of their moment, so
// GetKeyState answers as of the message being handled.
struct QueuedMessage {
    MSG msg{};
    bool input = false;
    Qt::KeyboardModifiers modifiers;
    Qt::MouseButtons buttons;
    bool hasKey = false;
    KeyRecord key;
    bool hasSizing = false;
    RECT sizing{};
    bool applyGeometry = false;      // a size change reported by Qt, applied when handed out
    bool useWidgetGeometry = false;  // apply the widget's geometry of the moment instead
    QRect geometry;
    bool applyState = false;   // a show state Qt reported, applied when handed out
    bool hasPosition = false;  // the pointer's screen position came with the input
    QPoint position;
    ShowState state = ShowState::Normal;
};

// Every handle the layer gave out, by value: windows, menus, accelerator
// tables; and the classes.
struct WindowTable {
    std::map<std::uintptr_t, std::unique_ptr<Window>> windows;
    std::vector<std::unique_ptr<WindowClass>> classes;
    std::map<std::uintptr_t, std::unique_ptr<Menu>> menus;
    std::map<std::uintptr_t, std::unique_ptr<AcceleratorTable>> accelerators;
    std::uintptr_t nextHandle = 0x10010;
    ATOM nextAtom = 0xC000;
};

struct MessageQueue {
    std::deque<QueuedMessage> queue;
    bool quitPending = false;
    int quitCode = 0;
    DWORD lastTime = 0;
    RECT sizingRect{};          // lParam of the WM_SIZING handed out last
    QPoint lastPointer;         // screen position of the last mouse input: MSG.pt of other messages
    int loopDepth = 0;          // GetMessageA/PeekMessageA calls on the stack
    int foreignModalDepth = 0;  // Qt's file or colour boxes up
    bool drainScheduled = false;
    std::unique_ptr<QTimer> burstTimer;  // ends a border drag's size burst
    HWND burstWindow = nullptr;
};

// The keyboard, the mouse capture and the active window.
struct InputState {
    std::map<DWORD, KeyRecord> keyRecords;  // by message time, for TranslateMessage and replay
    std::array<BYTE, 256> keyState{};
    HWND capture = nullptr;
    HWND active = nullptr;
    bool replaying = false;  // a key event we hand to a widget ourselves
    bool altAlone = false;   // Alt went down and nothing else since: its release opens the menu
    KeyRecord dispatchKey;   // the key of the message being dispatched
    bool hasDispatchKey = false;
};

// Mapping windows on the screen.
struct MapState {
    int waitDepth = 0;      // the layer pumps for the display: no procedure may run
    bool deferMap = false;  // a dialog created visible: mapped at the next call that needs it
    int pendingMaps = 0;
};

struct State {
    WindowTable table;
    MessageQueue messages;
    InputState input;
    MapState maps;
};

// The one state; creates the QApplication on first use when main did not.
State& S();

// Held while the layer pumps Qt's events for the display (the wait for an
// exposure or a move, the repaint while the program is busy): no window
// procedure may run meanwhile, and no deferred map is made.
class DisplayWait {
public:
    DisplayWait() { ++S().maps.waitDepth; }
    ~DisplayWait() { --S().maps.waitDepth; }
    DisplayWait(const DisplayWait&) = delete;
    DisplayWait& operator=(const DisplayWait&) = delete;
};

// The window of a handle, or null once it is destroyed (WM_NCDESTROY seen).
Window* Find(HWND handle);
HWND Handle(std::uintptr_t value);

// A window held across calls that may destroy it (a window procedure, a
// pump): each use looks the handle up again, and the reference is false once
// the window is gone. The one way the layer keeps a window over such a call.
class WindowRef {
public:
    explicit WindowRef(HWND handle) : handle_(handle) {}
    HWND handle() const { return handle_; }
    Window* get() const { return Find(handle_); }
    Window* operator->() const { return get(); }
    Window& operator*() const { return *get(); }
    explicit operator bool() const { return get() != nullptr; }

private:
    HWND handle_;
};

// The dialog state of a live dialog, else null.
inline DialogState* DialogOf(HWND handle) {
    Window* window = Find(handle);
    return window ? window->Dialog() : nullptr;
}

inline bool IsTopLevel(const Window& window) {
    return !(window.style & WS_CHILD);
}

}  // namespace platform::user
