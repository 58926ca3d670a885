#include "tools/colors_window.h"

#include "resources/resource.h"
#include "tools/color_set_data.h"
#include "view/fractal_view.h"
#include "view/win32_raii.h"

namespace {}  // namespace

ColorsWindow::ColorsWindow() {
    for (COLORREF& custom : customColors) {
        custom = kInitialCustomColor;
    }
}

ColorsWindow::~ColorsWindow() {
    Destroy();
}

bool ColorsWindow::Create(HWND owner) {
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner, GWLP_HINSTANCE));
    window = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_COLORS), owner, DialogProc,
                                reinterpret_cast<LPARAM>(this));
    return window != nullptr;
}

void ColorsWindow::Destroy() {
    if (window != nullptr) {
        HWND doomed = window;
        window = nullptr;
        DestroyWindow(doomed);
    }
    ReleaseColors();
}

void ColorsWindow::SetColor(std::uint32_t index, COLORREF color) {
    if (index >= 3) {
        return;
    }
    colors[index] = color;
    if (brushes[index] != nullptr) {
        DeleteObject(brushes[index]);
    }
    brushes[index] = CreateSolidBrush(color);
}

void ColorsWindow::ApplyDefaults() {
    for (int i = 0; i < kColorCount; ++i) {
        SetColor(static_cast<std::uint32_t>(i), kDefaultColors[i]);
    }
}

std::uint32_t ColorsWindow::GetColors(std::uint32_t count, COLORREF* out) const {
    const std::uint32_t n = count > 3 ? 3 : count;
    for (std::uint32_t i = 0; i < n; ++i) {
        out[i] = colors[i];
    }
    return n;
}

std::int32_t ColorsWindow::ColorIndexForButton(std::int32_t id) {
    return ::ColorIndexForButton(id);
}

void ColorsWindow::ReleaseColors() {
    for (int i = 0; i < 3; ++i) {
        if (brushes[i] != nullptr) {
            DeleteObject(brushes[i]);
        }
        brushes[i] = nullptr;
        colors[i] = 0;
    }
}

bool ColorsWindow::OnDrawItem(int id, const DRAWITEMSTRUCT& item) {
    const std::int32_t index = ColorIndexForButton(id);
    if (index < 0) {
        return false;  // not a swatch: nothing is drawn, no brush is touched
    }
    SelectedObject pen(item.hDC, GetStockObject(BLACK_PEN));
    // A swatch whose brush could not be made is drawn with the DC's brush.
    if (brushes[index] != nullptr) {
        SelectedObject brush(item.hDC, brushes[index]);
        Rectangle(item.hDC, item.rcItem.left, item.rcItem.top, item.rcItem.right,
                  item.rcItem.bottom);
    } else {
        Rectangle(item.hDC, item.rcItem.left, item.rcItem.top, item.rcItem.right,
                  item.rcItem.bottom);
    }
    if ((item.itemState & ODS_FOCUS) != 0) {
        // The dotted focus mark 3 pixels inside the swatch's black outline.
        const RECT focus{item.rcItem.left + 3, item.rcItem.top + 3, item.rcItem.right - 3,
                         item.rcItem.bottom - 3};
        DrawFocusRect(item.hDC, &focus);
    }
    return true;
}

void ColorsWindow::OnPickColor(int id) {
    const std::int32_t index = ColorIndexForButton(id);
    if (index < 0) {
        return;
    }
    CHOOSECOLORA choose{};
    choose.lStructSize = sizeof(choose);
    choose.hwndOwner = window;
    choose.rgbResult = colors[index];
    choose.lpCustColors = customColors;
    choose.Flags = CC_RGBINIT | CC_ANYCOLOR;
    if (ChooseColorA(&choose)) {
        SetColor(static_cast<std::uint32_t>(index), choose.rgbResult);
        if (window != nullptr) {
            InvalidateRect(GetDlgItem(window, id), nullptr, TRUE);
        }
        RequestRecolor();
    }
}

INT_PTR CALLBACK ColorsWindow::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<ColorsWindow*>(lParam);
        SetWindowLongPtrA(dialog, (DWLP_USER), lParam);
        self->ApplyDefaults();
        return TRUE;
    }
    auto* self = reinterpret_cast<ColorsWindow*>(GetWindowLongPtrA(dialog, (DWLP_USER)));
    if (self == nullptr) {
        return FALSE;
    }
    switch (message) {
        case WM_DRAWITEM:
            return self->OnDrawItem(static_cast<int>(wParam),
                                    *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))
                       ? TRUE
                       : FALSE;
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (id == IDCANCEL) {
                if (self->window != nullptr) {
                    ShowWindow(self->window, SW_HIDE);
                }
                return TRUE;
            }
            if (ColorIndexForButton(id) >= 0) {
                self->OnPickColor(id);
                return TRUE;
            }
            return FALSE;
        }
        case WM_DESTROY:
            // The window dies with its owner: forget the handle.
            if (self->window == dialog) {
                self->window = nullptr;
            }
            return FALSE;
        default:
            return FALSE;
    }
}
