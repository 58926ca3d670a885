#include "tools/modal_dialogs.h"

#include <cstring>

#include "resources/resource.h"
#include "tools/render_to_file_values.h"

namespace {

// The file-name field: 259 characters and the terminator.
constexpr int kFileNameSize = MAX_PATH;

void FillRenderToFile(HWND dialog, const FractalEngine& engine) {
    const Region region = engine.region;
    const double corners[4] = {region.X1, region.Y1, region.X2, region.Y2};
    const int ids[4] = {IDC_RENDER_X1, IDC_RENDER_Y1, IDC_RENDER_X2, IDC_RENDER_Y2};
    for (int i = 0; i < 4; ++i) {
        char text[kRenderCornerBufferSize];
        FormatRenderCorner(corners[i], text);
        SetDlgItemTextA(dialog, ids[i], text);
    }
    SetDlgItemInt(dialog, IDC_RENDER_WIDTH, static_cast<UINT>(engine.width), FALSE);
    // The height that keeps the Region's proportions at that width.
    SetDlgItemInt(dialog, IDC_RENDER_HEIGHT, ProposedHeight(engine.width, region), FALSE);
    SetDlgItemInt(dialog, IDC_RENDER_ITERATIONS, engine.iterationLimit, FALSE);
}

void BrowseForFileName(HWND dialog) {
    char path[kFileNameSize] = {};
    GetDlgItemTextA(dialog, IDC_RENDER_FILENAME, path, kFileNameSize);
    // One entry whose display text is "*.BMP" and whose pattern is empty.
    static const char kFilter[] = "*.BMP\0";
    OPENFILENAMEA ofn;
    std::memset(&ofn, 0, sizeof(ofn));
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    ofn.hwndOwner = dialog;
    ofn.hInstance = GetModuleHandleA(nullptr);
    ofn.lpstrFilter = kFilter;
    ofn.nFilterIndex = 0;
    ofn.lpstrFile = path;
    ofn.nMaxFile = kFileNameSize;
    ofn.lpstrTitle = "Save to Bitmap...";
    ofn.Flags = OFN_ENABLESIZING;
    if (GetSaveFileNameA(&ofn)) {
        SetDlgItemTextA(dialog, IDC_RENDER_FILENAME, path);
    }
}

}  // namespace

INT_PTR CALLBACK RenderToFileDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            if (const auto* engine = reinterpret_cast<const FractalEngine*>(lParam)) {
                FillRenderToFile(dialog, *engine);
            }
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDCANCEL:
                    EndDialog(dialog, 0);
                    return FALSE;
                case IDC_RENDER_BROWSE:
                    BrowseForFileName(dialog);
                    return FALSE;
                default:
                    // Ok (and Enter, its default button) renders nothing: the
                    // dialog stays open and nothing changes.
                    return FALSE;
            }
        default:
            return FALSE;
    }
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

void RunRenderToFileDialog(HWND owner, const FractalEngine* engine) {
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner, GWLP_HINSTANCE));
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_RENDERTOFILE), owner, RenderToFileDialogProc,
                    reinterpret_cast<LPARAM>(engine));
}

void RunAboutDialog(HWND owner) {
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner, GWLP_HINSTANCE));
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_ABOUT), owner, AboutDialogProc, 0);
}
