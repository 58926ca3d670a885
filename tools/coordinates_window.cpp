#include "tools/coordinates_window.h"

#include "app/main_window.h"
#include "engine/fractal_engine.h"
#include "engine/geometry.h"
#include "resources/resource.h"
#include "view/fractal_view.h"

namespace {

// The corner fields hold 63 characters and a terminator.
constexpr std::size_t kFieldSize = 64;
constexpr int kCornerDecimals = 16;
constexpr int kCornerIds[4] = {IDC_COORD_X1, IDC_COORD_Y1, IDC_COORD_X2, IDC_COORD_Y2};

}  // namespace

CoordinatesWindow::~CoordinatesWindow() {
    Destroy();
}

bool CoordinatesWindow::Create(HWND owner, const Region& region, std::uint32_t limit) {
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner, GWLP_HINSTANCE));
    window = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_COORDINATES), owner, DialogProc,
                                reinterpret_cast<LPARAM>(this));
    if (window == nullptr) {
        return false;
    }
    // A corner field takes no more than ReadCorner reads: a longer paste
    // would otherwise be cut without a sign when it is read.
    for (const int id : kCornerIds) {
        SendMessageA(GetDlgItem(window, id), EM_LIMITTEXT, kFieldSize - 1, 0);
    }
    ShowRegion(region);
    ShowIterationLimit(limit);
    return true;
}

void CoordinatesWindow::Destroy() {
    if (window != nullptr) {
        HWND doomed = window;
        window = nullptr;
        DestroyWindow(doomed);
    }
}

void CoordinatesWindow::ShowRegion(const Region& region) {
    if (window == nullptr) {
        return;
    }
    const double corners[4] = {region.X1, region.Y1, region.X2, region.Y2};
    for (int i = 0; i < 4; ++i) {
        shown_[i].Show(corners[i], kCornerDecimals, kFieldSize);
        SetDlgItemTextA(window, kCornerIds[i], shown_[i].Text());
    }
}

void CoordinatesWindow::ShowIterationLimit(std::uint32_t limit) {
    if (window != nullptr) {
        SetDlgItemInt(window, IDC_COORD_ITERATIONS, limit, FALSE);
    }
}

double CoordinatesWindow::ReadCorner(int index) const {
    char text[kFieldSize] = {};
    GetDlgItemTextA(window, kCornerIds[index], text, static_cast<int>(sizeof(text)));
    return shown_[index].Read(text);
}

Region CoordinatesWindow::ReadRegion() const {
    if (window == nullptr) {
        return Region{};
    }
    return Region{ReadCorner(0), ReadCorner(1), ReadCorner(2), ReadCorner(3)};
}

std::uint32_t CoordinatesWindow::ReadIterationLimit() const {
    if (window == nullptr) {
        return 0;
    }
    return GetDlgItemInt(window, IDC_COORD_ITERATIONS, nullptr, FALSE);
}

void CoordinatesWindow::ApplyCoordinates(const Region& region, std::uint32_t limit) {
    Region copy = region;
    FractalEngine* engine = GetEngine();
    if (engine == nullptr) {
        return;
    }
    const SIZE size = TheFractalView().ClientSize();
    FitRegionToAspect(size.cx, size.cy, copy);
    engine->SetRegion(copy);
    engine->SetIterationLimit(limit);
    // The engine's size follows the view; a no-op when it has not changed.
    engine->SetSize(size.cx, size.cy);
    RecomputeAndShow(false);
    ShowRegion(copy);
}

INT_PTR CALLBACK CoordinatesWindow::DialogProc(HWND dialog, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, (DWLP_USER), lParam);
        return TRUE;
    }
    auto* self = reinterpret_cast<CoordinatesWindow*>(GetWindowLongPtrA(dialog, (DWLP_USER)));
    if (self == nullptr) {
        return FALSE;
    }
    if (message == WM_COMMAND) {
        switch (LOWORD(wParam)) {
            case IDCANCEL:
                if (self->window != nullptr) {
                    ShowWindow(self->window, SW_HIDE);
                }
                return TRUE;
            case IDC_COORD_UPDATE: {
                const std::uint32_t limit = self->ReadIterationLimit();
                const Region region = self->ReadRegion();
                self->ApplyCoordinates(region, limit);
                return TRUE;
            }
            default:
                return FALSE;
        }
    }
    // The window dies with its owner: forget the handle.
    if (message == WM_DESTROY && self->window == dialog) {
        self->window = nullptr;
    }
    return FALSE;
}

void ShowRegion(const Region& region) {
    TheCoordinatesWindow().ShowRegion(region);
}
