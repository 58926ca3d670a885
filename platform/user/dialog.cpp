// Dialogs from the resource templates: CreateDialogParamA, DialogBoxParamA
// with its own message loop that disables the owner, EndDialog, the default
// dialog procedure, IsDialogMessageA (Tab, Enter, Escape, the default
// button) and the dialog item helpers. Dialog units are dialog_units.cpp's.
//
// Leaves out: arrow-key group navigation, mnemonics of static texts,
// DS_CONTROL dialogs as children, WM_ENTERIDLE, WM_CTLCOLORDLG, and
// templates in memory (DialogBoxIndirect).
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "platform/internal/faults.h"
#include "platform/rc/resource_tables.h"
#include "platform/user/class.h"
#include "platform/user/dialog.h"
#include "platform/user/display/display.h"
#include "platform/user/focus.h"
#include "platform/user/nonclient.h"
#include "platform/user/paint.h"
#include "platform/user/position.h"
#include "platform/user/window.h"

namespace platform::user {
namespace {

bool Ended(HWND h) {
    const DialogState* d = DialogOf(h);
    return d && d->ended;
}

// The size of a window whose client area is `client`, for these styles.
QSize OuterSize(DWORD style, DWORD exStyle, bool owned, QSize client) {
    Window probe;
    probe.style = style;
    probe.exStyle = exStyle;
    if (!(style & WS_CHILD)) {
        probe.frame = ExpectedFrame(style, exStyle, owned, nullptr);  // the window manager's
    }
    probe.rect = QRect(0, 0, 1000, 1000);
    QRect c = ClientRectInWindow(probe);
    return QSize(client.width() + 1000 - c.width(), client.height() + 1000 - c.height());
}

HWND CreateFromTemplate(const rc::DialogTemplate& t, HINSTANCE instance, HWND parent, DLGPROC proc,
                        LPARAM param, bool modal) {
    State& s = S();
    Window* parentWindow = Find(parent);
    if (parent && !parentWindow) {
        return nullptr;
    }
    bool hasFont = (t.style & DS_SETFONT) && t.fontName && *t.fontName;
    BaseUnits units = hasFont ? DialogBaseUnits(t.fontName, t.fontPointSize) : BaseUnits{};
    QSize client(MulDivRound(t.cx, units.x, 4), MulDivRound(t.cy, units.y, 8));
    DWORD style = t.style & ~static_cast<DWORD>(WS_VISIBLE);
    DWORD exStyle = t.exStyle;
    if (style & DS_MODALFRAME) {
        exStyle |= WS_EX_DLGMODALFRAME;
    }
    QSize outer = OuterSize(style, exStyle, parentWindow != nullptr, client);
    QPoint origin(0, 0);
    if (parentWindow && !(style & DS_ABSALIGN)) {
        // Template positions are relative to the owner's client area.
        origin = ClientOriginOnScreen(*parentWindow);
    }
    int x = origin.x() + MulDivRound(t.x, units.x, 4);
    int y = origin.y() + MulDivRound(t.y, units.y, 8);
    if (style & DS_CENTER) {
        QRect area;
        if (Window* top = TopLevelOf(parentWindow)) {
            area = top->rect;
        } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
            area = screen->availableGeometry();
        }
        x = area.x() + (area.width() - outer.width()) / 2;
        y = area.y() + (area.height() - outer.height()) / 2;
    }
    WindowClass* cls = FindClass("#32770");
    HWND h =
        CreateWindowInternal(exStyle, cls, t.caption ? t.caption : "", style, x, y, outer.width(),
                             outer.height(), parent, nullptr, instance, nullptr);
    WindowRef w(h);
    if (!w) {
        return nullptr;
    }
    if (DialogState* d = w->Dialog()) {
        d->baseX = units.x;
        d->baseY = units.y;
    }
    if (hasFont && w->widget) {
        w->widget->setFont(DialogFont(t.fontName, t.fontPointSize));
    }
    SetWindowLongPtrA(h, static_cast<int>(DWLP_DLGPROC), reinterpret_cast<LONG_PTR>(proc));
    for (const rc::DialogItemTemplate& item : t.items) {
        LPCSTR text = item.textResourceId >= 0 ? MAKEINTRESOURCEA(item.textResourceId) : item.text;
        HWND control = CreateWindowExA(
            item.exStyle, item.windowClass, text, item.style | WS_CHILD,
            MulDivRound(item.x, units.x, 4), MulDivRound(item.y, units.y, 8),
            MulDivRound(item.cx, units.x, 4), MulDivRound(item.cy, units.y, 8), h,
            reinterpret_cast<HMENU>(static_cast<LONG_PTR>(item.id)), instance, nullptr);
        if (!Find(h)) {
            return nullptr;
        }
        if (!control && !(t.style & DS_NOFAILCREATE)) {
            DestroyWindow(h);
            return nullptr;
        }
    }
    HWND first = GetNextDlgTabItem(h, nullptr, FALSE);
    LRESULT focus = SendMessageA(h, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param);
    if (!Find(h)) {
        return nullptr;
    }
    if (focus) {
        if (HWND f = GetNextDlgTabItem(h, nullptr, FALSE)) {
            SetFocus(f);
            // An edit that gets the focus this way has its text selected.
            if (SendMessageA(f, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) {
                SendMessageA(f, EM_SETSEL, 0, -1);
            }
        }
    }
    if (w && (t.style & WS_VISIBLE) && !modal && !Ended(h)) {
        // Reaches the screen where the program places it after creation
        // (the progress window is centred over its owner then).
        s.maps.deferMap = !(style & WS_CHILD);
        ShowWindow(h, SW_SHOWNORMAL);
        s.maps.deferMap = false;
    }
    (void)s;
    return Find(h) ? h : nullptr;
}

bool Eligible(Window* c) {
    return c && (c->style & WS_TABSTOP) && IsWindowVisible(c->handle) && !(c->style & WS_DISABLED);
}

HWND DefaultButton(Window& dialog) {
    for (HWND c : dialog.children) {
        Window* w = Find(c);
        if (w && w->windowClass && w->windowClass->kind == ClassKind::Button &&
            (w->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
            return c;
        }
    }
    return nullptr;
}

void Command(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    if (control && !IsWindowEnabled(control)) {
        return;  // a disabled button does not answer its key
    }
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

}  // namespace

LRESULT CALLBACK DialogWindowProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
    auto proc = reinterpret_cast<DLGPROC>(GetWindowLongPtrA(h, static_cast<int>(DWLP_DLGPROC)));
    if (proc) {
        INT_PTR handled = proc(h, message, wParam, lParam);
        if (handled) {
            switch (message) {
                case WM_INITDIALOG:
                case WM_CTLCOLOREDIT:
                case WM_CTLCOLORBTN:
                case WM_CTLCOLORDLG:
                case WM_CTLCOLORSTATIC:
                    return handled;
                default:
                    return GetWindowLongPtrA(h, static_cast<int>(DWLP_MSGRESULT));
            }
        }
    }
    return DefDlgProcA(h, message, wParam, lParam);
}

}  // namespace platform::user

namespace pu = platform::user;

LRESULT WINAPI DefDlgProcA(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
    pu::Window* w = pu::Find(h);
    if (!w) {
        return 0;
    }
    switch (message) {
        case WM_CLOSE:
            // The close box of a dialog is its Cancel.
            PostMessageA(h, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(h, IDCANCEL)));
            return 0;
        case DM_GETDEFID: {
            if (const pu::DialogState* d = w->Dialog(); d && d->defaultId >= 0) {
                return MAKELRESULT(d->defaultId, DC_HASDEFID);
            }
            HWND button = pu::DefaultButton(*w);
            return button ? MAKELRESULT(GetDlgCtrlID(button), DC_HASDEFID) : 0;
        }
        case DM_SETDEFID:
            if (pu::DialogState* d = w->Dialog()) {
                d->defaultId = static_cast<int>(wParam & 0xFFFF);
            }
            return TRUE;
        case WM_ERASEBKGND:
            return pu::EraseBackground(*w, reinterpret_cast<HDC>(wParam)) ? 1 : 0;
        case WM_INITDIALOG:
        case WM_GETDLGCODE:
            return 0;
        default:
            return DefWindowProcA(h, message, wParam, lParam);
    }
}

HWND WINAPI CreateDialogParamA(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC proc,
                               LPARAM param) {
    // Out of memory gives the failure result Win32 gives, not an exception.
    try {
        pu::S();
        const platform::rc::DialogTemplate* t = platform::rc::FindDialog(pu::ResourceId(name));
        if (!t || platform::ShouldInjectFault(platform::FaultSite::DialogCreate)) {
            return nullptr;
        }
        return pu::CreateFromTemplate(*t, instance, parent, proc, param, false);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC proc,
                               LPARAM param) {
    // Out of memory gives the failure result Win32 gives, not an exception.
    try {
        pu::S();
        if (parent && !pu::Find(parent)) {
            return 0;
        }
        const platform::rc::DialogTemplate* t = platform::rc::FindDialog(pu::ResourceId(name));
        if (!t) {
            return -1;
        }
        HWND dialog = pu::CreateFromTemplate(*t, instance, parent, proc, param, true);
        if (!dialog) {
            return -1;
        }
        pu::Window* owner = pu::TopLevelOf(pu::Find(parent));
        HWND ownerHandle = owner ? owner->handle : nullptr;
        bool disabled = false;
        if (owner && IsWindowEnabled(ownerHandle)) {
            EnableWindow(ownerHandle, FALSE);
            disabled = true;
        }
        if (pu::DialogState* d = pu::DialogOf(dialog)) {
            d->modalOwner = disabled ? ownerHandle : nullptr;
        }
        ReleaseCapture();
        pu::WindowRef d(dialog);
        if (d && !pu::Ended(dialog)) {
            pu::MarkModal(*d);
            ShowWindow(dialog, SW_SHOWNORMAL);
        }
        // Our own loop, as Windows runs one: messages for other windows are
        // dispatched too, so tool windows the owner does not disable still work.
        INT_PTR result = 0;
        MSG msg;
        while (d && !pu::Ended(dialog)) {
            BOOL got = GetMessageA(&msg, nullptr, 0, 0);
            if (got == 0) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            if (got < 0) {
                break;
            }
            if (!IsDialogMessageA(dialog, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
        if (pu::DialogState* state = pu::DialogOf(dialog)) {
            result = state->result;
            if (state->modalOwner) {
                state->modalOwner = nullptr;
            } else {
                disabled = false;  // EndDialog gave the owner back already
            }
        } else {
            result = -1;
        }
        if (disabled && pu::Find(ownerHandle)) {
            EnableWindow(ownerHandle, TRUE);
        }
        if (pu::Window* o = pu::Find(ownerHandle)) {
            pu::ActivateWindow(o);
        }
        DestroyWindow(dialog);
        return result;
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

BOOL WINAPI EndDialog(HWND h, INT_PTR result) {
    pu::DialogState* d = pu::DialogOf(h);
    if (!d) {
        return FALSE;
    }
    d->ended = true;
    d->result = result;
    // The owner comes back before the dialog goes, so it is activated again.
    if (HWND owner = d->modalOwner) {
        d->modalOwner = nullptr;
        EnableWindow(owner, TRUE);
        if (pu::Window* o = pu::Find(owner)) {
            pu::ActivateWindow(o);
        }
    }
    ShowWindow(h, SW_HIDE);
    PostMessageA(nullptr, WM_NULL, 0, 0);  // wakes the modal loop
    return TRUE;
}

HWND WINAPI GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
    pu::Window* d = pu::Find(dialog);
    if (!d) {
        return nullptr;
    }
    const std::vector<HWND>& list = d->children;
    if (list.empty()) {
        return nullptr;
    }
    auto n = static_cast<long>(list.size());
    long start = -1;
    for (long i = 0; i < n; ++i) {
        if (list[static_cast<std::size_t>(i)] == control) {
            start = i;
        }
    }
    long step = previous ? -1 : 1;
    long i = start < 0 ? (previous ? n - 1 : 0) : start + step;
    for (long count = 0; count < n; ++count, i += step) {
        long k = ((i % n) + n) % n;
        if (pu::Eligible(pu::Find(list[static_cast<std::size_t>(k)]))) {
            return list[static_cast<std::size_t>(k)];
        }
    }
    return start >= 0 ? control : nullptr;
}

BOOL WINAPI IsDialogMessageA(HWND dialog, LPMSG msg) {
    if (!msg || !pu::Find(dialog)) {
        return FALSE;
    }
    if (msg->hwnd != dialog && !pu::IsDescendant(dialog, msg->hwnd)) {
        return FALSE;
    }
    if (msg->message == WM_KEYDOWN) {
        HWND focus = GetFocus();
        if (!pu::IsDescendant(dialog, focus)) {
            focus = msg->hwnd;
        }
        LRESULT code =
            SendMessageA(focus, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg));
        if (!pu::Find(dialog)) {
            return TRUE;
        }
        if (!(code & DLGC_WANTMESSAGE)) {
            switch (msg->wParam) {
                case VK_TAB:
                    if (!(code & DLGC_WANTTAB)) {
                        HWND current = focus != dialog ? focus : nullptr;
                        HWND next = GetNextDlgTabItem(dialog, current, GetKeyState(VK_SHIFT) < 0);
                        if (next) {
                            // From the first Tab on, the dialog shows where
                            // the focus is, as Windows does once the keyboard
                            // is used.
                            if (pu::Window* d = pu::Find(dialog); d && d->widget) {
                                d->widget->window()->setAttribute(Qt::WA_KeyboardFocusChange);
                            }
                            SetFocus(next);
                            if (SendMessageA(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) {
                                SendMessageA(next, EM_SETSEL, 0, -1);
                            }
                        }
                        return TRUE;
                    }
                    break;
                case VK_RETURN: {
                    pu::Window* f = pu::Find(focus);
                    if (f && focus != dialog &&
                        (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) &&
                        IsWindowEnabled(focus)) {
                        pu::Command(dialog, GetDlgCtrlID(focus));
                        return TRUE;
                    }
                    LRESULT def = SendMessageA(dialog, DM_GETDEFID, 0, 0);
                    pu::Command(dialog, HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK);
                    return TRUE;
                }
                case VK_ESCAPE:
                    pu::Command(dialog, IDCANCEL);
                    return TRUE;
                default:
                    break;
            }
        }
    } else if (msg->message == WM_CHAR &&
               (msg->wParam == '\t' || msg->wParam == '\r' || msg->wParam == 0x1B)) {
        // The key itself was handled above; its character goes nowhere,
        // unless the control wants every key.
        HWND focus = GetFocus();
        LRESULT code = focus ? SendMessageA(focus, WM_GETDLGCODE, msg->wParam, 0) : 0;
        if (!(code & DLGC_WANTMESSAGE)) {
            return TRUE;
        }
    }
    TranslateMessage(msg);
    DispatchMessageA(msg);
    return TRUE;
}

HWND WINAPI GetDlgItem(HWND dialog, int id) {
    pu::Window* d = pu::Find(dialog);
    if (!d) {
        return nullptr;
    }
    for (HWND c : d->children) {
        pu::Window* w = pu::Find(c);
        if (w && static_cast<int>(w->id) == id) {
            return c;
        }
    }
    return nullptr;
}

BOOL WINAPI SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
    HWND item = GetDlgItem(dialog, id);
    return item ? SetWindowTextA(item, text) : FALSE;
}

UINT WINAPI GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size) {
    if (!buffer || size <= 0) {
        return 0;
    }
    buffer[0] = '\0';
    HWND item = GetDlgItem(dialog, id);
    if (!item) {
        return 0;
    }
    return static_cast<UINT>(SendMessageA(item, WM_GETTEXT, static_cast<WPARAM>(size),
                                          reinterpret_cast<LPARAM>(buffer)));
}

BOOL WINAPI SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned) {
    char text[16];
    if (isSigned) {
        std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    } else {
        std::snprintf(text, sizeof text, "%u", value);
    }
    return SetDlgItemTextA(dialog, id, text);
}

UINT WINAPI GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned) {
    if (translated) {
        *translated = FALSE;
    }
    HWND item = GetDlgItem(dialog, id);
    if (!item) {
        return 0;
    }
    std::string full(static_cast<std::size_t>(std::max(0, GetWindowTextLengthA(item))) + 1, '\0');
    GetWindowTextA(item, full.data(), static_cast<int>(full.size()));
    const char* p = full.c_str();
    while (*p == ' ' || *p == '\t') {
        ++p;
    }
    bool negative = false;
    if (isSigned && (*p == '-' || *p == '+')) {
        negative = *p == '-';
        ++p;
    }
    if (!std::isdigit(static_cast<unsigned char>(*p))) {
        return 0;
    }
    unsigned long long value = 0;
    while (std::isdigit(static_cast<unsigned char>(*p))) {
        value = value * 10 + static_cast<unsigned>(*p - '0');
        if (value > 0xFFFFFFFFull) {
            return 0;
        }
        ++p;
    }
    while (*p == ' ' || *p == '\t') {
        ++p;
    }
    if (*p) {
        return 0;
    }
    UINT result;
    if (isSigned) {
        if (negative ? value > 0x80000000ull : value > 0x7FFFFFFFull) {
            return 0;
        }
        result =
            negative ? static_cast<UINT>(0u - static_cast<UINT>(value)) : static_cast<UINT>(value);
    } else {
        result = static_cast<UINT>(value);
    }
    if (translated) {
        *translated = TRUE;
    }
    return result;
}

LRESULT WINAPI SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam,
                                   LPARAM lParam) {
    HWND item = GetDlgItem(dialog, id);
    return item ? SendMessageA(item, message, wParam, lParam) : 0;
}

BOOL WINAPI MapDialogRect(HWND dialog, LPRECT rect) {
    pu::Window* d = pu::Find(dialog);
    const pu::DialogState* state = d ? d->Dialog() : nullptr;
    if (!state || !rect) {
        return FALSE;
    }
    int bx = state->baseX > 0 ? state->baseX : 8;
    int by = state->baseY > 0 ? state->baseY : 16;
    rect->left = pu::MulDivRound(rect->left, bx, 4);
    rect->right = pu::MulDivRound(rect->right, bx, 4);
    rect->top = pu::MulDivRound(rect->top, by, 8);
    rect->bottom = pu::MulDivRound(rect->bottom, by, 8);
    return TRUE;
}

long WINAPI GetDialogBaseUnits(void) {
    return MAKELONG(8, 16);
}
