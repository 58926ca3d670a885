// Real input on a real window: under Xvfb, xdotool clicks into the edit of a
// dialog, types, and clicks its button; the text and the button's WM_COMMAND
// must arrive through the program's loop. Exit code 0 when they did.
#include <QProcess>
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
    return 0;
}
