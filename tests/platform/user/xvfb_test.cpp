// Real input on a real window: under Xvfb, xdotool clicks into the edit of a
// dialog, types, and clicks its button; the text and the button's WM_COMMAND
// must arrive through the program's loop. Exit code 0 when they did.
#include <QAction>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QStringList>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "platform/win32.h"
#include "tests/platform/user/support.h"
#include "tests/platform/user/test_resources.h"

namespace {

bool clicked = false;

INT_PTR CALLBACK DialogProc(HWND, UINT m, WPARAM w, LPARAM) {
    if (m == WM_INITDIALOG) {
        return TRUE;
    }
    if (m == WM_COMMAND && LOWORD(w) == kPlainGo) {
        clicked = true;
        return TRUE;
    }
    return FALSE;
}

// Runs xdotool with `args` while the loop runs, until `done` holds or 20 s
// have passed; keeps the process bounded too.
template <class F>
bool DriveUntil(const QStringList& args, F done) {
    QProcess input;
    input.start("xdotool", args);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    MSG msg;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            input.waitForFinished(20);
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    if (input.state() != QProcess::NotRunning) {
        input.kill();
        input.waitForFinished(2000);
    }
    return done();
}

QStringList ClickAt(QPoint p) {
    return QStringList{"mousemove", "--sync", QString::number(p.x()), QString::number(p.y()),
                       "click",     "1"};
}

bool Logged(HWND h, UINT message, WPARAM id) {
    for (const ::Logged& l : Log()) {
        if (l.hwnd == h && l.message == message &&
            (message != WM_COMMAND || LOWORD(l.wParam) == id)) {
            return true;
        }
    }
    return false;
}

// The menu bar of a real frame: a click on a title sends WM_INITMENU before
// the popup opens, a click on an item its WM_COMMAND.
bool MenuBarWorks() {
    RegisterTestClass("XFrame", CS_HREDRAW | CS_VREDRAW, reinterpret_cast<HBRUSH>(COLOR_MENU + 1),
                      MAKEINTRESOURCEA(103));
    HWND frame = CreateWindowExA(0, "XFrame", "Zembrix", WS_POPUP | WS_OVERLAPPEDWINDOW, 300, 300,
                                 550, 300, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ShowWindow(frame, SW_SHOW);
    QMenuBar* bar = WidgetOf(frame)->findChild<QMenuBar*>();
    QAction* view = bar ? bar->actions().value(1) : nullptr;
    if (!view || !view->menu()) {
        std::fprintf(stderr, "xvfb test: no menu bar\n");
        return false;
    }
    QPoint title = bar->mapToGlobal(bar->actionGeometry(view).center());
    QMenu* popup = view->menu();
    if (!DriveUntil(ClickAt(title),
                    [&] { return Logged(frame, WM_INITMENU, 0) && popup->isVisible(); })) {
        std::fprintf(stderr, "xvfb test: the menu did not open\n");
        return false;
    }
    QAction* colors = popup->actions().value(1);
    QPoint item = popup->mapToGlobal(popup->actionGeometry(colors).center());
    if (!DriveUntil(ClickAt(item), [&] { return Logged(frame, WM_COMMAND, 40007); })) {
        std::fprintf(stderr, "xvfb test: no command from the menu\n");
        return false;
    }
    // A resize by the X server (as a window manager makes it): announced,
    // sized, and ended after a quiet moment.
    Log().clear();
    QString id = QString::number(WidgetOf(frame)->winId());
    if (!DriveUntil(QStringList{"windowsize", id, "600", "350"},
                    [&] { return Logged(frame, WM_EXITSIZEMOVE, 0); })) {
        std::fprintf(stderr, "xvfb test: no end of the resize\n");
        return false;
    }
    std::vector<UINT> sizing = MessagesOf(frame, {WM_SIZING, WM_SIZE, WM_EXITSIZEMOVE});
    RECT r;
    GetWindowRect(frame, &r);
    if (sizing.size() < 3 || sizing.front() != WM_SIZING || sizing.back() != WM_EXITSIZEMOVE ||
        r.right - r.left != 600 || r.bottom - r.top != 350) {
        std::fprintf(stderr, "xvfb test: resize seen as %zu messages, %ld x %ld\n", sizing.size(),
                     static_cast<long>(r.right - r.left), static_cast<long>(r.bottom - r.top));
        return false;
    }
    DestroyWindow(frame);
    return true;
}

QImage Grab(HWND h) {
    RECT r;
    GetWindowRect(h, &r);
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, r.left, r.top, r.right - r.left, r.bottom - r.top)
        .toImage();
}

// A change to a control while the program computes (no messages handled,
// no Qt events processed) is on the screen at once.
bool ProgressShowsAtOnce() {
    INITCOMMONCONTROLSEX init{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&init);
    HWND progress = CreateDialogParamA(
        GetModuleHandleA(nullptr), MAKEINTRESOURCEA(106), nullptr,
        [](HWND, UINT m, WPARAM, LPARAM) -> INT_PTR { return m == WM_INITDIALOG; }, 0);
    HWND bar = GetDlgItem(progress, 1028);
    if (!bar || !IsWindowVisible(progress)) {
        std::fprintf(stderr, "xvfb test: no progress window\n");
        return false;
    }
    SendMessageA(bar, PBM_SETRANGE32, 0, 100);
    SendMessageA(bar, PBM_SETPOS, 0, 0);
    QImage before = Grab(bar);
    SendMessageA(bar, PBM_SETPOS, 100, 0);
    SetDlgItemTextA(progress, 1030, "100.0%");
    QImage after = Grab(bar);
    DestroyWindow(progress);
    if (before.isNull() || before == after) {
        std::fprintf(stderr, "xvfb test: the bar did not change on the screen\n");
        return false;
    }
    return true;
}

QPoint Centre(HWND h) {
    RECT r;
    GetWindowRect(h, &r);
    return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

}  // namespace

int main() {
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kPlainDialog),
                                     nullptr, DialogProc, 0);
    if (!dialog || !IsWindowVisible(dialog)) {
        std::fprintf(stderr, "xvfb test: no dialog\n");
        return 1;
    }
    // Dialog units come out as offscreen: the font is loaded by name at a
    // fixed pixel size.
    RECT unit{0, 0, 4, 8};
    MapDialogRect(dialog, &unit);
    if (unit.right != 6 || unit.bottom != 12) {
        std::fprintf(stderr, "xvfb test: base units %ld x %ld\n", static_cast<long>(unit.right),
                     static_cast<long>(unit.bottom));
        return 1;
    }
    QPoint edit = Centre(GetDlgItem(dialog, kPlainEdit));
    QPoint button = Centre(GetDlgItem(dialog, kPlainGo));
    // xdotool's "type" takes the rest of its command line: the click on the
    // button is a second run, started when the first has ended.
    QProcess input;
    input.start("xdotool", QStringList{"mousemove", "--sync", QString::number(edit.x()),
                                       QString::number(edit.y()), "click", "1", "sleep", "0.3",
                                       "type", "--delay", "30", "4711"});
    bool second = false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    MSG msg;
    while (!clicked && std::chrono::steady_clock::now() < deadline) {
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            input.waitForFinished(20);  // bounded poll while xdotool works
            if (!second && input.state() == QProcess::NotRunning) {
                second = true;
                input.start("xdotool", QStringList{"sleep", "0.3", "mousemove", "--sync",
                                                   QString::number(button.x()),
                                                   QString::number(button.y()), "click", "1"});
            }
            continue;
        }
        if (!IsDialogMessageA(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    if (input.state() != QProcess::NotRunning) {
        input.kill();
        input.waitForFinished(2000);
    }
    char text[16];
    GetDlgItemTextA(dialog, kPlainEdit, text, sizeof text);
    DestroyWindow(dialog);
    if (!clicked || std::strcmp(text, "4711") != 0) {
        std::fprintf(stderr, "xvfb test: clicked=%d text=\"%s\"\n", clicked ? 1 : 0, text);
        return 1;
    }
    return MenuBarWorks() && ProgressShowsAtOnce() ? 0 : 1;
}
