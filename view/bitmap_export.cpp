#include "view/bitmap_export.h"

#include <cstring>
#include <span>

#include "view/bmp_file.h"
#include "view/file_replace.h"
#include "view/fractal_view.h"
#include "view/win32_raii.h"

namespace {

bool AskForFileName(HWND owner, char (&path)[MAX_PATH]) {
    OPENFILENAMEA ofn;
    std::memset(&ofn, 0, sizeof(ofn));
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = "Bitmap Files\0*.bmp\0All Files\0*.*\0";
    ofn.nFilterIndex = 0;
    ofn.lpstrFile = path;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrTitle = "Save Image As...";
    // No prompt before replacing a file, no check that the path exists.
    ofn.Flags = OFN_ENABLESIZING;
    ofn.lpstrDefExt = "bmp";
    return GetSaveFileNameA(&ofn) == TRUE;
}

}  // namespace

void SaveImage(HWND owner) {
    char path[MAX_PATH] = {};
    if (!AskForFileName(owner, path)) {
        return;
    }
    // The image's own size: between a resize and the next re-colouring it
    // differs from the client's, and rows of another width would shear.
    const FractalView& view = TheFractalView();
    const std::int32_t width = view.imageWidth;
    const std::int32_t height = view.imageHeight;
    if (BmpFileBytes(width, height) == 0 || BmpFileBytes(width, height) > 0xFFFFFFFFu) {
        return;
    }
    const std::size_t pixelCount =
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    HeapBlock pixels(pixelCount * sizeof(std::uint32_t));
    if (pixels.get() == nullptr || !view.ReadPixels(height, pixels.get())) {
        return;
    }
    const auto file = BuildBmpFile(
        std::span<const std::uint32_t>(static_cast<const std::uint32_t*>(pixels.get()), pixelCount),
        width, height);
    if (file) {
        ReplaceFileContents(path, *file);
    }
}
