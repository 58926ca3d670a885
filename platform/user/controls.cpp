// The system control classes on Qt widgets: EDIT (QLineEdit), BUTTON
// (QPushButton; owner-drawn buttons paint their surface through WM_DRAWITEM),
// STATIC (QLabel: text with its alignments, SS_BITMAP from the bitmap
// resource) and msctls_progress32 (QProgressBar). The window model holds the
// state; the widget shows it, and a change shows at once.
//
// An edit's limit (EM_LIMITTEXT, 30000 until set) stops typing and cuts a
// paste to what fits, as on Windows; unlike Windows, a WM_SETTEXT or a lower
// limit also cuts the text already there to the limit.
//
// Leaves out: multi-line edits, check boxes, radio buttons, group boxes,
// icons, edit notifications (EN_*), WM_CTLCOLOR* colours, vertical and
// marquee progress bars.
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/internal/surface.h"
#include "platform/rc/resource_tables.h"
#include "platform/user/bmp_decode.h"
#include "platform/user/class.h"
#include "platform/user/controls.h"
#include "platform/user/dialog.h"
#include "platform/user/input.h"
#include "platform/user/position.h"
#include "platform/user/qt/widgets.h"
#include "platform/user/window.h"

namespace platform::user {
namespace {

void DrawOwnerItem(HWND h) {
    WindowRef w(h);
    if (!w) {
        return;
    }
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    if (!w) {
        EndPaint(h, &ps);
        return;
    }
    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_BUTTON;
    dis.CtlID = static_cast<UINT>(w->id);
    dis.itemAction = ODA_DRAWENTIRE;
    dis.itemState = (w->style & WS_DISABLED) ? ODS_DISABLED : 0;
    if (GetFocus() == h) {
        dis.itemState |= ODS_FOCUS;
    }
    dis.hwndItem = h;
    // The whole item, not only the invalid part: the DC of the item draws
    // anywhere in the button.
    dis.hDC = platform::CreateWindowDC(h, nullptr);
    GetClientRect(h, &dis.rcItem);
    HWND parent = w->parent;
    SendMessageA(parent, WM_DRAWITEM, static_cast<WPARAM>(dis.CtlID),
                 reinterpret_cast<LPARAM>(&dis));
    if (dis.hDC) {
        platform::DeleteWindowDC(dis.hDC);
    }
    (void)dc;
    EndPaint(h, &ps);
    if (Window* again = Find(h); again && again->widget) {
        RepaintControl(*again);
    }
}

LRESULT EditMessages(HWND h, const WindowRef& w, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* edit = dynamic_cast<QLineEdit*>(w->widget.data());
    switch (message) {
        case WM_NCCREATE:
            DefWindowProcA(h, message, wParam, lParam);
            if (w) {
                SetControlText(*w, w->text);
                if (edit) {
                    edit->setMaxLength(30000);  // the Win32 default limit
                }
            }
            return TRUE;
        case WM_GETDLGCODE:
            return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
        case WM_KEYDOWN:
        case WM_KEYUP:
            ReplayKey(*w, KeyOf(wParam), message == WM_KEYDOWN);
            return 0;
        case WM_CHAR:
            InsertCharacter(*w, static_cast<char>(wParam));
            return 0;
        case EM_SETSEL:
            if (edit) {
                int length = static_cast<int>(edit->text().size());
                int start = static_cast<int>(wParam);
                int end = static_cast<int>(lParam);
                if (start < 0) {
                    edit->deselect();
                    return 0;
                }
                if (end < 0 || end > length) {
                    end = length;
                }
                start = std::min(start, length);
                edit->setSelection(std::min(start, end), std::abs(end - start));
            }
            return 0;
        case EM_GETSEL: {
            int start = edit && edit->hasSelectedText() ? edit->selectionStart()
                        : edit                          ? edit->cursorPosition()
                                                        : 0;
            int end = edit && edit->hasSelectedText()
                          ? start + static_cast<int>(edit->selectedText().size())
                          : start;
            if (wParam) {
                *reinterpret_cast<DWORD*>(wParam) = static_cast<DWORD>(start);
            }
            if (lParam) {
                *reinterpret_cast<DWORD*>(lParam) = static_cast<DWORD>(end);
            }
            return MAKELRESULT(start, end);
        }
        case EM_LIMITTEXT:
            if (edit) {
                edit->setMaxLength(wParam == 0 ? 32767
                                               : static_cast<int>(std::min<WPARAM>(wParam, 32767)));
            }
            return 0;
        case EM_GETLIMITTEXT:
            return edit ? edit->maxLength() : 0;
        case EM_SETREADONLY:
            if (wParam) {
                w->style |= ES_READONLY;
            } else {
                w->style &= ~static_cast<DWORD>(ES_READONLY);
            }
            UpdateWidgetFromModel(*w);
            return TRUE;
        default:
            return DefWindowProcA(h, message, wParam, lParam);
    }
}

LRESULT ButtonMessages(HWND h, const WindowRef& w, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD type = w->style & BS_TYPEMASK;
    auto* button = dynamic_cast<QPushButton*>(w->widget.data());
    switch (message) {
        case WM_NCCREATE:
            DefWindowProcA(h, message, wParam, lParam);
            if (w && type != BS_OWNERDRAW) {
                SetControlText(*w, w->text);
            }
            return TRUE;
        case WM_GETDLGCODE:
            switch (type) {
                case BS_PUSHBUTTON:
                    return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
                case BS_DEFPUSHBUTTON:
                    return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
                case BS_GROUPBOX:
                    return DLGC_STATIC;
                default:
                    return DLGC_BUTTON;
            }
        case WM_PAINT:
            if (type == BS_OWNERDRAW) {
                DrawOwnerItem(h);
                return 0;
            }
            return DefWindowProcA(h, message, wParam, lParam);
        case WM_KEYDOWN:
        case WM_KEYUP:
            // Space presses and releases the button; the click comes as
            // WM_COMMAND through the queue.
            if (wParam == VK_SPACE) {
                ReplayKey(*w, KeyOf(wParam), message == WM_KEYDOWN);
            }
            return 0;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            // An owner-drawn button draws its focus mark itself (ODS_FOCUS).
            if (type == BS_OWNERDRAW) {
                InvalidateRect(h, nullptr, FALSE);
            }
            return DefWindowProcA(h, message, wParam, lParam);
        case BM_CLICK:
            if (button && button->isEnabled()) {
                button->click();
            }
            return 0;
        case BM_SETSTYLE:
            w->style =
                (w->style & ~static_cast<DWORD>(0xFFFF)) | (static_cast<DWORD>(wParam) & 0xFFFF);
            if (lParam) {
                InvalidateRect(h, nullptr, TRUE);
            }
            return 0;
        case BM_GETSTATE:
            return button && button->isDown() ? 0x0004 : 0;
        default:
            return DefWindowProcA(h, message, wParam, lParam);
    }
}

LRESULT StaticMessages(HWND h, const WindowRef& w, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_NCCREATE: {
            auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
            if ((w->style & SS_TYPEMASK) == SS_BITMAP) {
                // The bitmap's resource id: an ordinal or "#109".
                int id = cs ? ResourceId(cs->lpszName) : -1;
                if (id >= 0) {
                    LoadStaticBitmap(*w, id);
                }
                return TRUE;
            }
            DefWindowProcA(h, message, wParam, lParam);
            if (w) {
                UpdateWidgetFromModel(*w);
                SetControlText(*w, w->text);
            }
            return TRUE;
        }
        case WM_GETDLGCODE:
            return DLGC_STATIC;
        default:
            return DefWindowProcA(h, message, wParam, lParam);
    }
}

// A control class's own messages; `w` is the live window of `h`.
using ControlMessages = LRESULT (*)(HWND h, const WindowRef& w, UINT message, WPARAM wParam,
                                    LPARAM lParam);

// The window procedure of a control class with a text (EDIT, BUTTON,
// STATIC): a window that is gone answers 0, the text messages are the
// model's, the rest is the class's own.
template <ControlMessages Own>
LRESULT CALLBACK TextControlProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowRef w(h);
    if (!w) {
        return 0;
    }
    switch (message) {
        case WM_SETTEXT: {
            auto* text = reinterpret_cast<LPCSTR>(lParam);
            SetControlText(*w, text ? text : "");
            return TRUE;
        }
        case WM_GETTEXT:
            return CopyTextOut(ControlText(*w), wParam, lParam);
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(ControlText(*w).size());
        default:
            return Own(h, w, message, wParam, lParam);
    }
}

LRESULT CALLBACK ProgressProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* w = Find(h);
    if (!w) {
        return 0;
    }
    ProgressState* p = w->Progress();
    if (!p) {
        return DefWindowProcA(h, message, wParam, lParam);
    }
    auto* bar = dynamic_cast<QProgressBar*>(w->widget.data());
    auto show = [w, p, bar] {
        if (bar) {
            bar->setRange(p->rangeLow, std::max(p->rangeLow, p->rangeHigh));
            bar->setValue(p->position);
        }
        RepaintControl(*w);
    };
    // The position kept inside the range, shown at once; the answer is the
    // position before.
    auto moveTo = [p, &show](int position) -> LRESULT {
        LRESULT previous = p->position;
        int low = std::min(p->rangeLow, p->rangeHigh);
        int high = std::max(p->rangeLow, p->rangeHigh);
        p->position = std::clamp(position, low, high);
        show();
        return previous;
    };
    switch (message) {
        case PBM_SETRANGE:
        case PBM_SETRANGE32: {
            LRESULT previous = MAKELRESULT(p->rangeLow, p->rangeHigh);
            if (message == PBM_SETRANGE) {
                p->rangeLow = LOWORD(lParam);
                p->rangeHigh = HIWORD(lParam);
            } else {
                p->rangeLow = static_cast<int>(wParam);
                p->rangeHigh = static_cast<int>(lParam);
            }
            moveTo(p->position);
            return previous;
        }
        case PBM_SETPOS:
            return moveTo(static_cast<int>(wParam));
        case PBM_DELTAPOS:
            return moveTo(p->position + static_cast<int>(wParam));
        case PBM_SETSTEP: {
            LRESULT previous = p->step;
            p->step = static_cast<int>(wParam);
            return previous;
        }
        case PBM_STEPIT: {
            // Past the top the position wraps round to the bottom.
            int position = p->position + p->step;
            int high = std::max(p->rangeLow, p->rangeHigh);
            if (position > high) {
                position = std::min(p->rangeLow, p->rangeHigh) + (position - high);
            }
            return moveTo(position);
        }
        case PBM_GETPOS:
            return p->position;
        case PBM_GETRANGE:
            return wParam ? p->rangeLow : p->rangeHigh;
        default:
            return DefWindowProcA(h, message, wParam, lParam);
    }
}

}  // namespace

void LoadStaticBitmap(Window& w, int resourceId) {
    const rc::BitmapResource* bitmap = rc::FindBitmap(resourceId);
    auto* label = dynamic_cast<QLabel*>(w.widget.data());
    if (!bitmap || !label || bitmap->fileBytes.empty() ||
        bitmap->fileBytes.size() > 64u * 1024 * 1024) {
        return;
    }
    const auto decoded = DecodeBmp(bitmap->fileBytes.data(), bitmap->fileBytes.size());
    if (!decoded) {
        return;
    }
    // The pixels are copied: the image must not outlive the decoded buffer.
    const QImage image =
        QImage(reinterpret_cast<const uchar*>(decoded->pixels.data()), decoded->width,
               decoded->height, decoded->width * 4, QImage::Format_RGB32)
            .copy();
    if (image.isNull()) {
        return;
    }
    label->setPixmap(QPixmap::fromImage(image));
    // An SS_BITMAP static takes the size of its bitmap.
    QRect r = w.rect;
    r.setSize(image.size());
    ApplyGeometry(w, r, false);
}

void RegisterProgressClass() {
    RegisterBuiltInClass(PROGRESS_CLASSA, ClassKind::Progress, ProgressProc, 0, nullptr, 0);
}

void RegisterSystemClasses() {
    RegisterBuiltInClass("#32770", ClassKind::Dialog, DialogWindowProc, CS_SAVEBITS,
                         reinterpret_cast<HBRUSH>(static_cast<ULONG_PTR>(COLOR_BTNFACE + 1)),
                         static_cast<int>(DWLP_USER + sizeof(LONG_PTR)));
    RegisterBuiltInClass("EDIT", ClassKind::Edit, TextControlProc<EditMessages>, CS_DBLCLKS,
                         nullptr, 0);
    RegisterBuiltInClass("BUTTON", ClassKind::Button, TextControlProc<ButtonMessages>, CS_DBLCLKS,
                         nullptr, 0);
    RegisterBuiltInClass("STATIC", ClassKind::Static, TextControlProc<StaticMessages>, 0, nullptr,
                         0);
}

}  // namespace platform::user

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* init) {
    if (!init || init->dwSize != sizeof(INITCOMMONCONTROLSEX)) {
        return FALSE;
    }
    if (init->dwICC & (ICC_PROGRESS_CLASS | ICC_WIN95_CLASSES)) {
        platform::user::RegisterProgressClass();
    }
    return TRUE;
}
