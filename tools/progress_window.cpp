#include "tools/progress_window.h"

#include "resources/resource.h"
#include "tools/progress_math.h"

ProgressWindow::ProgressWindow() {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_PROGRESS_CLASS;
    InitCommonControlsEx(&controls);
}

ProgressWindow::~ProgressWindow() {
    if (window != nullptr) {
        HWND doomed = window;
        window = nullptr;
        DestroyWindow(doomed);
    }
}

void ProgressWindow::Open(HWND owner, const char* label, std::int32_t newTotal) {
    if (window == nullptr) {
        window = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PROGRESS),
                                    owner, DialogProc, reinterpret_cast<LPARAM>(this));
    }
    if (window == nullptr) {
        return;
    }
    if (owner != nullptr) {
        RECT ownerRect{};
        RECT client{};
        GetWindowRect(owner, &ownerRect);
        GetClientRect(window, &client);
        const ScreenPoint at =
            CenterOver(ScreenRect{ownerRect.left, ownerRect.top, ownerRect.right, ownerRect.bottom},
                       client.right, client.bottom);
        SetWindowPos(window, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOOWNERZORDER);
    }
    if (label != nullptr) {
        SendDlgItemMessageA(window, IDC_PROGRESS_LABEL, WM_SETTEXT, 0,
                            reinterpret_cast<LPARAM>(label));
    }
    const auto range = static_cast<std::uint32_t>(newTotal);
    if (range != 0) {
        total = range;
        SendDlgItemMessageA(window, IDC_PROGRESS_BAR, PBM_SETRANGE32, 0,
                            static_cast<LPARAM>(range));
    }
    SendDlgItemMessageA(window, IDC_PROGRESS_BAR, PBM_SETPOS, 0, 0);
}

void ProgressWindow::Show() {
    if (window != nullptr) {
        ShowWindow(window, SW_SHOW);
    }
}

void ProgressWindow::Hide() {
    if (window != nullptr) {
        ShowWindow(window, SW_HIDE);
    }
}

void ProgressWindow::SetProgress(std::int32_t row) {
    if (window == nullptr) {
        return;
    }
    const auto position = static_cast<std::uint32_t>(row);
    SendDlgItemMessageA(window, IDC_PROGRESS_BAR, PBM_SETPOS, position, 0);
    char text[32];
    FormatProgress(position, total, text, sizeof(text));
    SendDlgItemMessageA(window, IDC_PROGRESS_PERCENT, WM_SETTEXT, 0,
                        reinterpret_cast<LPARAM>(text));
}

INT_PTR CALLBACK ProgressWindow::DialogProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}
