// A small program on the window layer, written as plain Win32 code: a frame
// with the class menu and accelerators, a child window of its own class that
// paints itself, a modeless tool dialog from a template and a modal dialog.
// With "--self-test" it drives itself through all of them, checks what it
// sees (and that numbers are formatted and read with a point whatever the
// user's locale) and ends with exit code 0 when everything held.
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/win32.h"
#include "tests/platform/user/stand_ins.h"
#include "tests/platform/user/test_resources.h"

namespace {

constexpr int kViewId = 1002;
constexpr UINT kSelfTest = WM_APP + 1;

HINSTANCE instance;
HWND frame;
HWND view;
HWND tool;
int failures = 0;

// A static object that destroys its window after WinMain has returned, as
// the program's tool windows do: the layer must still be there.
struct LateWindow {
    HWND window = nullptr;
    ~LateWindow() {
        if (window && !DestroyWindow(window)) {
            std::_Exit(3);
        }
    }
} late;
bool painted = false;

void Check(bool ok, const char* what) {
    if (!ok) {
        ++failures;
        std::fprintf(stderr, "example: %s\n", what);
    }
}

INT_PTR CALLBACK ToolProc(HWND h, UINT m, WPARAM w, LPARAM) {
    if (m == WM_INITDIALOG) {
        return TRUE;
    }
    if (m == WM_COMMAND && LOWORD(w) == IDCANCEL) {
        ShowWindow(h, SW_HIDE);
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK ModalProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    switch (m) {
        case WM_INITDIALOG:
            SetDlgItemTextA(h, kFormEdit, reinterpret_cast<LPCSTR>(l));
            PostMessageA(h, WM_USER, 0, 0);
            return TRUE;
        case WM_USER:
            Check(!IsWindowEnabled(frame), "the modal dialog disables its owner");
            EndDialog(h, 7);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(w) == IDCANCEL) {
                EndDialog(h, IDCANCEL);
            }
            return TRUE;
        default:
            return FALSE;
    }
}

void SelfTest() {
    char text[64];
    // "%1.16lf" and strtod under the user's locale: a point, never a comma.
    std::snprintf(text, sizeof text, "%1.16lf", -2.0);
    Check(std::strcmp(text, "-2.0000000000000000") == 0, "numbers are formatted with a point");
    Check(std::strtod("1.5", nullptr) == 1.5, "numbers are read with a point");
    if (const char* expected = std::getenv("ZEMBRIX_EXPECT_LOCALE")) {
        const char* ctype = std::setlocale(LC_CTYPE, nullptr);
        Check(ctype && std::strstr(ctype, expected), "the user's locale is in effect");
    }
    SetDlgItemTextA(tool, 1031, text);
    ShowWindow(tool, SW_SHOW);
    Check(IsWindowVisible(tool) != FALSE, "the tool window shows");
    GetDlgItemTextA(tool, 1031, text, sizeof text);
    Check(std::strtod(text, nullptr) == -2.0, "the field reads back");
    RECT client;
    GetClientRect(view, &client);
    Check(client.right > 0 && client.bottom > 0, "the view fills the frame");
    INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(kFormDialog), frame, ModalProc,
                                     reinterpret_cast<LPARAM>("modal"));
    Check(result == 7, "the modal dialog returns EndDialog's result");
    Check(IsWindowEnabled(frame) != FALSE, "the owner is enabled again");
    Check(GetActiveWindow() == frame, "the owner is active again");
    UpdateWindow(view);
    Check(painted, "the view was painted");
    SendMessageA(frame, WM_COMMAND, 40001, 0);
}

LRESULT CALLBACK ViewProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        SelectObject(dc, GetStockObject(NULL_PEN));
        SelectObject(dc, TestSolidBrush(RGB(0, 0, 128)));
        RECT r;
        GetClientRect(h, &r);
        Rectangle(dc, 0, 0, r.right + 1, r.bottom + 1);
        EndPaint(h, &ps);
        painted = true;
        return 0;
    }
    return DefWindowProcA(h, m, w, l);
}

LRESULT CALLBACK FrameProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    switch (m) {
        case WM_SIZE:
            if (view) {
                SetWindowPos(view, nullptr, 0, 0, LOWORD(l), HIWORD(l), SWP_NOZORDER);
            }
            return 0;
        case WM_INITMENU:
            CheckMenuItem(reinterpret_cast<HMENU>(w), 40006,
                          MF_BYCOMMAND | (IsWindowVisible(tool) ? MF_CHECKED : 0));
            return DefWindowProcA(h, m, w, l);
        case WM_COMMAND:
            switch (LOWORD(w)) {
                case 40001:
                    DestroyWindow(h);
                    return 0;
                case 40006:
                    ShowWindow(tool, IsWindowVisible(tool) ? SW_HIDE : SW_SHOW);
                    return 0;
                case 40009:
                    DialogBoxParamA(instance, MAKEINTRESOURCEA(kFormDialog), h, ModalProc, 0);
                    return 0;
                default:
                    return DefWindowProcA(h, m, w, l);
            }
        case kSelfTest:
            SelfTest();
            return 0;
        case WM_DESTROY:
            PostQuitMessage(failures ? 1 : 0);
            return 0;
        default:
            return DefWindowProcA(h, m, w, l);
    }
}

bool Register(const char* name, WNDPROC proc, HBRUSH background, LPCSTR menu, LPCSTR cursor) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, cursor);
    wc.hbrBackground = background;
    wc.lpszMenuName = menu;
    wc.lpszClassName = name;
    return RegisterClassExA(&wc) != 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR commandLine, int) {
    instance = hInstance;
    if (!Register("ExampleFrame", FrameProc, reinterpret_cast<HBRUSH>(COLOR_MENU + 1),
                  MAKEINTRESOURCEA(103), IDC_ARROW) ||
        !Register("ExampleView", ViewProc, nullptr, nullptr, IDC_CROSS)) {
        return -1;
    }
    frame = CreateWindowExA(WS_EX_CONTROLPARENT, "ExampleFrame", "Example",
                            WS_POPUP | WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 550, 300,
                            nullptr, nullptr, instance, nullptr);
    view = frame ? CreateWindowExA(WS_EX_CLIENTEDGE, "ExampleView", "",
                                   WS_CHILD | WS_VISIBLE | WS_BORDER, 0, 0, 100, 100, frame,
                                   reinterpret_cast<HMENU>(kViewId), instance, nullptr)
                 : nullptr;
    if (!view) {
        return -1;
    }
    RECT client;
    GetClientRect(frame, &client);
    SetWindowPos(view, nullptr, 0, 0, client.right, client.bottom, SWP_NOZORDER);
    INITCOMMONCONTROLSEX init{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&init);
    tool = CreateDialogParamA(instance, MAKEINTRESOURCEA(107), frame, ToolProc, 0);
    late.window = CreateDialogParamA(instance, MAKEINTRESOURCEA(107), nullptr, ToolProc, 0);
    ShowWindow(frame, SW_SHOW);
    HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(105));
    if (commandLine && std::strstr(commandLine, "--self-test")) {
        PostMessageA(frame, kSelfTest, 0, 0);
    }
    MSG msg;
    BOOL got;
    while ((got = GetMessageA(&msg, nullptr, 0, 0)) != 0) {
        if (got < 0) {
            break;
        }
        if (TranslateAcceleratorA(frame, accelerators, &msg)) {
            continue;
        }
        HWND active = GetActiveWindow();
        if (active && IsDialogMessageA(active, &msg)) {
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    DestroyAcceleratorTable(accelerators);
    return static_cast<int>(msg.wParam);
}
