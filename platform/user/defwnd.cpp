// DefWindowProcA, the default handling of a window's messages: creation
// text, WM_CLOSE to DestroyWindow, the system commands, the system keys that
// open the menu bar or close the window (Alt+F4, F10, Alt alone, Alt with a
// mnemonic), a click on the menu bar, a double click on the caption, an empty
// WM_PAINT and the window text; and CallWindowProcA.
//
// Leaves out: WM_NCHITTEST, WM_NCPAINT, WM_SETCURSOR, WM_CONTEXTMENU, the
// system menu, moving and sizing by keyboard (SC_MOVE, SC_SIZE).
#include "platform/user/model.h"
#include "platform/user/qt/widgets.h"
#include "platform/user/window.h"

namespace pu = platform::user;

LRESULT WINAPI CallWindowProcA(WNDPROC proc, HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(h, message, wParam, lParam) : 0;
}

LRESULT WINAPI DefWindowProcA(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
    pu::Window* w = pu::Find(h);
    if (!w) {
        return 0;
    }
    switch (message) {
        case WM_NCCREATE: {
            auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
            if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName)) {
                DefWindowProcA(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(cs->lpszName));
            }
            return TRUE;
        }
        case WM_CLOSE:
            DestroyWindow(h);
            return 0;
        case WM_SYSCOMMAND:
            switch (wParam & 0xFFF0) {
                case SC_CLOSE:
                    SendMessageA(h, WM_CLOSE, 0, 0);
                    return 0;
                case SC_MINIMIZE:
                    ShowWindow(h, SW_MINIMIZE);
                    return 0;
                case SC_MAXIMIZE:
                    ShowWindow(h, SW_MAXIMIZE);
                    return 0;
                case SC_RESTORE:
                    ShowWindow(h, SW_RESTORE);
                    return 0;
                case SC_KEYMENU:
                    if (!(w->style & WS_CHILD) && w->menu) {
                        pu::OpenMenuBarByKey(*w, static_cast<char>(lParam & 0xFF));
                    }
                    return 0;
                default:
                    return 0;
            }
        case WM_KEYDOWN:
            pu::S().input.altAlone = false;
            return 0;
        case WM_SYSKEYDOWN: {
            pu::Window* top = pu::TopLevelOf(w);
            pu::S().input.altAlone = wParam == VK_MENU;
            if (top && wParam == VK_F4 && (lParam & (1 << 29))) {
                SendMessageA(top->handle, WM_SYSCOMMAND, SC_CLOSE, 0);
            } else if (top && wParam == VK_F10) {
                SendMessageA(top->handle, WM_SYSCOMMAND, SC_KEYMENU, 0);
            }
            return 0;
        }
        case WM_SYSKEYUP:
            if (wParam == VK_MENU && pu::S().input.altAlone) {
                pu::S().input.altAlone = false;
                if (pu::Window* top = pu::TopLevelOf(w)) {
                    SendMessageA(top->handle, WM_SYSCOMMAND, SC_KEYMENU, 0);
                }
            }
            return 0;
        case WM_SYSCHAR:
            if (pu::Window* top = pu::TopLevelOf(w); top && wParam != ' ') {
                SendMessageA(top->handle, WM_SYSCOMMAND, SC_KEYMENU, static_cast<LPARAM>(wParam));
            }
            return 0;
        case WM_NCLBUTTONDOWN:
            if (wParam == HTMENU && !(w->style & WS_CHILD) && w->menu) {
                pu::OpenMenuBar(*w, QPoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)));
            }
            return 0;
        case WM_NCLBUTTONDBLCLK:
            if (wParam == HTCAPTION && (w->style & WS_MAXIMIZEBOX)) {
                SendMessageA(h, WM_SYSCOMMAND, IsZoomed(h) ? SC_RESTORE : SC_MAXIMIZE, lParam);
            }
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            BeginPaint(h, &ps);
            EndPaint(h, &ps);
            return 0;
        }
        case WM_SETTEXT: {
            auto* text = reinterpret_cast<LPCSTR>(lParam);
            w->text = text ? text : "";
            if (!(w->style & WS_CHILD) && w->widget) {
                w->widget->setWindowTitle(pu::QStringFromAnsi(w->text));
            }
            return TRUE;
        }
        case WM_GETTEXT:
            return pu::CopyTextOut(w->text, wParam, lParam);
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(w->text.size());
        default:
            return 0;
    }
}
