// The window layer's own model: windows, classes, menus, accelerator tables,
// the message queue and the input state. The model is the truth; the Qt
// widgets show it. Everything lives on the GUI thread.
//
// The model is never destroyed: the program's static objects destroy their
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
#include <vector>

#include "platform/win32/types.h"
#include "platform/win32/user.h"

class QMenuBar;
class QAction;

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
    QRect rect;                  // window rectangle: screen for top-level, parent client for child
    // The window manager's frame around a top-level's widget (zero without
    // one, or undecorated): `rect` is the outer edge, the widget's geometry
    // is `rect` less these.
    QMargins frame;
    bool frameKnown = true;   // false: the window manager did not tell it yet
    bool mapPending = false;  // visible since its creation; shown at the next call that needs it
    bool mappedOnce = false;  // the frame was checked at a first map
    std::vector<HWND> children;  // in Z order, first on top: creation order
    bool destroying = false;
    bool ncDestroyed = false;

    QPointer<QWidget> widget;  // shows the whole window rectangle
    QImage surface;            // client-area backing store, when the class paints itself
    QRegion update;            // client coordinates
    bool erase = false;
    QRect paintRect;  // clip of the current BeginPaint

    // Dialogs.
    bool isDialog = false;
    bool dialogEnded = false;
    INT_PTR dialogResult = 0;
    int defaultId = -1;  // set by DM_SETDEFID
    HWND lastFocus = nullptr;
    HWND modalOwner = nullptr;  // disabled by DialogBoxParamA, enabled by EndDialog
    int baseX = 0;              // dialog base units, pixels
    int baseY = 0;

    // Progress bars.
    int rangeLow = 0;
    int rangeHigh = 100;
    int position = 0;
    int step = 10;

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
    bool applyState = false;  // a show state Qt reported, applied when handed out
    bool hasPosition = false;  // the pointer's screen position came with the input
    QPoint position;
    ShowState state = ShowState::Normal;
};

struct State {
    std::map<std::uintptr_t, std::unique_ptr<Window>> windows;
    std::vector<std::unique_ptr<WindowClass>> classes;
    std::map<std::uintptr_t, std::unique_ptr<Menu>> menus;
    std::map<std::uintptr_t, std::unique_ptr<AcceleratorTable>> accelerators;
    std::uintptr_t nextHandle = 0x10010;
    ATOM nextAtom = 0xC000;

    std::deque<QueuedMessage> queue;
    bool quitPending = false;
    int quitCode = 0;
    DWORD lastTime = 0;
    std::map<DWORD, KeyRecord> keyRecords;  // by message time, for TranslateMessage and replay
    std::array<BYTE, 256> keyState{};
    RECT sizingRect{};  // lParam of the WM_SIZING handed out last
    QPoint lastPointer;  // screen position of the last mouse input: MSG.pt of other messages

    HWND capture = nullptr;
    HWND active = nullptr;
    bool replaying = false;  // a key event we hand to a widget ourselves
    int foreignModalDepth = 0;
    bool drainScheduled = false;
    int loopDepth = 0;  // GetMessageA/PeekMessageA calls on the stack
    int waitDepth = 0;  // ShowWindow waiting for an exposure: no procedure may run
    bool deferMap = false;  // a dialog created visible: mapped at the next call that needs it
    int pendingMaps = 0;
    bool commonControls = false;
    bool altAlone = false;  // Alt went down and nothing else since: its release opens the menu

    std::unique_ptr<QTimer> burstTimer;
    HWND burstWindow = nullptr;
    KeyRecord dispatchKey;  // the key of the message being dispatched
    bool hasDispatchKey = false;
};

// The one state; creates the QApplication on first use when main did not.
State& S();
void EnsureApplication();
void StartApplication(int& argc, char** argv);

Window* Find(HWND handle);
Window* TopLevelOf(Window* window);
bool IsDescendant(HWND ancestor, HWND window);
HWND Handle(std::uintptr_t value);

// Geometry of the non-client area: the client rectangle inside the window
// rectangle, in window coordinates.
QRect ClientRectInWindow(const Window& window);
QPoint ClientOriginOnScreen(const Window& window);

// The window manager (desktop.cpp).
Qt::WindowFlags TopLevelFlags(DWORD style, DWORD exStyle, bool owned);
// The frame the window manager gives a window of these styles (measured on
// an unmapped probe, once per kind); `known` is false when it did not answer.
QMargins ExpectedFrame(DWORD style, DWORD exStyle, bool owned, bool* known);
void PrepareTopLevel(Window& window, QWidget& widget);
void MarkModal(Window& window);
// The frame of a mapped window, waited for within a bound; nullopt when the
// window manager never set it.
std::optional<QMargins> MappedFrame(const Window& window);
void SyncWithServer();
// Where the server has the widget's top-left corner now (a round trip).
std::optional<QPoint> ServerPosition(const QWidget& widget);
// An X11 connection (xcb); Wayland(): Qt's Wayland platform, where there
// is a compositor but no X11 to tell or ask anything.
bool Desktop();
bool Wayland();
// Where a key for `h` goes: to `h`, unless the program disabled its window
// under a modal box of ours; then to the box (its focused control), as on
// Windows, where a disabled window never has the keyboard. A window manager
// or compositor may give it the keyboard all the same, and on Wayland no
// client can take it back.
HWND KeyTarget(HWND h, int depth = 0);
// The desktop entry's id and icon, set before the first window.
void IdentifyApplication();
void InstallDesktopFilter();
void FlushPendingMaps();
// Shows a top-level window on the screen (ShowWindow's second half).
BOOL MapTopLevel(HWND h, int cmd, BOOL wasVisible, bool newlyShown);
// Hides the visible windows `owner` owns, or shows again those it hid.
void ShowOwnedWithOwner(HWND owner, bool show);
// After a visible top-level moved from `before` (its old outer rectangle).
void SettleMove(HWND h, const QRect& before);
void PaintWhileBusy();

// Queue.
void Enqueue(QueuedMessage entry, bool front = false);
void PostInput(QueuedMessage entry);
DWORD NextMessageTime();
void ScheduleForeignDrain();
void EndSizeBurst();
void ExtendSizeBurst(Window& window);

// Painting.
void InvalidateWindowTree(Window* window, bool erase);
void ResizeSurface(Window& window);
COLORREF SystemColour(int index);
QColor ToQColor(COLORREF colour);
bool HasSurface(const Window& window);
bool EraseBackground(Window& window, HDC dc);
WPARAM SizeKindOf(const Window& window);

// Windows.
WindowClass* FindClass(LPCSTR name);
void RegisterBuiltInClass(const char* name, ClassKind kind, WNDPROC proc, UINT style,
                          HBRUSH background, int extra);
HWND CreateWindowInternal(DWORD exStyle, WindowClass* cls, LPCSTR name, DWORD style, int x, int y,
                          int cx, int cy, HWND parent, HMENU menu, HINSTANCE instance,
                          LPVOID param);
void ApplyGeometry(Window& window, const QRect& rect, bool sendSize);
void SyncWidgetGeometry(Window& window);
LRESULT CallProc(Window* window, UINT message, WPARAM wParam, LPARAM lParam);
void ActivateWindow(Window* window);

// Widgets.
QWidget* CreateWidgetFor(Window& window, QWidget* qtParent);
void UpdateWidgetFromModel(Window& window);
void RepaintControl(Window& window);
std::string ControlText(const Window& window);
void SetControlText(Window& window, const std::string& text);
void RebuildMenuBar(Window& window);
void RefreshMenuBar(HMENU menu);
void OpenMenuBar(Window& window, QPoint globalPos);
void OpenMenuBarByKey(Window& window, char mnemonic);
int MenuBarHeight(const Window& window);
void ReplayKey(Window& window, const KeyRecord& key, bool press);
void InsertCharacter(Window& window, char c);
void InstallInputFilter();
bool IsOurWidget(QWidget* widget);
HWND HandleOfWidget(QWidget* widget);
// A widget's rectangle as the window model keeps it: for a top-level window
// the outer edge's position (the window manager's frame included, as move()
// takes it) with the widget's own size; for a child its geometry().
QRect WindowGeometryOf(const QWidget& widget);

// Built-in window procedures.
LRESULT CALLBACK DialogWindowProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK EditProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ButtonProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK StaticProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ProgressProc(HWND, UINT, WPARAM, LPARAM);
void RegisterSystemClasses();
void RegisterProgressClass();
void LoadStaticBitmap(Window& window, int resourceId);

// Menus.
Menu* FindMenu(HMENU menu);
MenuItem* FindMenuItem(HMENU menu, UINT id, HMENU* owner);

// Dialog units.
struct BaseUnits {
    int x = 8;
    int y = 16;
};
BaseUnits DialogBaseUnits(const char* fontName, int pointSize);
QFont DialogFont(const char* fontName, int pointSize);
int MulDivRound(int value, int numerator, int denominator);

// Keys.
int VirtualKeyFromQt(const KeyRecord& key);
std::string AnsiFromQString(const QString& text);
QString QStringFromAnsi(const std::string& text);

}  // namespace platform::user
