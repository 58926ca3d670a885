#include "view/fractal_view.h"

#include <cstring>
#include <memory>

#include "app/main_window.h"
#include "engine/fractal_engine.h"
#include "tools/colors_window.h"
#include "tools/coordinates_window.h"
#include "view/color_map.h"
#include "view/image_placement.h"
#include "view/win32_raii.h"
#include "view/zoom.h"

namespace {

constexpr char kViewClassName[] = "ZembrixViewClass";
constexpr char kViewWindowName[] = "ZembrixViewWindow";

// 72 dots per inch, in pixels per metre, as the header records it.
constexpr LONG kPixelsPerMetre = 2835;

// The Selection's value at the end of every gesture.
constexpr Selection kNoSelection{-1, -1, -1, -1};

// Pointer positions of mouse messages: signed 16-bit halves of lParam, so a
// captured pointer left of or above the client area reads negative.
std::int32_t PointerX(LPARAM lParam) {
    return static_cast<std::int16_t>(LOWORD(lParam));
}
std::int32_t PointerY(LPARAM lParam) {
    return static_cast<std::int16_t>(HIWORD(lParam));
}

BITMAPINFO* AsBitmapInfo(BITMAPV4HEADER& header) {
    return reinterpret_cast<BITMAPINFO*>(&header);
}

}  // namespace

FractalView::~FractalView() {
    if (window != nullptr) {
        HWND doomed = window;
        window = nullptr;
        DestroyWindow(doomed);
    }
    DestroyImage();
    if (selecting == 1) {
        ReleaseCapture();
        selecting = 0;
    }
}

bool FractalView::RegisterViewClass(HINSTANCE instance) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_CROSS);
    wc.hbrBackground = nullptr;  // the view never paints its background
    wc.lpszClassName = kViewClassName;
    return RegisterClassExA(&wc) != 0;
}

bool FractalView::CreateViewWindow(HWND parent, int controlId, int x, int y, int width,
                                   int height) {
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE));
    window =
        CreateWindowExA(WS_EX_CLIENTEDGE | WS_EX_NOPARENTNOTIFY, kViewClassName, kViewWindowName,
                        WS_CHILD | WS_VISIBLE | WS_BORDER, x, y, width, height, parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)), instance, this);
    return window != nullptr;
}

SIZE FractalView::ClientSize() const {
    RECT client{};
    if (window == nullptr || !GetClientRect(window, &client)) {
        return SIZE{0, 0};
    }
    return SIZE{client.right, client.bottom};
}

void FractalView::RequestRecolor() {
    recolorPending = 1;
    if (window != nullptr) {
        InvalidateRect(window, nullptr, FALSE);
    }
}

GradientParameters FractalView::Gradient() const {
    GradientParameters gradient;
    gradient.setPixel = PixelOfColor(colors[0]);
    gradient.startRed = startRed;
    gradient.startGreen = startGreen;
    gradient.startBlue = startBlue;
    gradient.deltaRed = deltaRed;
    gradient.deltaGreen = deltaGreen;
    gradient.deltaBlue = deltaBlue;
    return gradient;
}

std::uint32_t FractalView::MapColor(std::uint32_t count, std::uint32_t limit) const {
    return ::MapColor(Gradient(), count, limit);
}

bool FractalView::Recolor() {
    const FractalEngine* engine = GetEngine();
    if (engine == nullptr || engine->Counts() == nullptr) {
        return false;
    }
    // The buffer's own dimensions: the engine's width and height may already
    // name the next size.
    const CountGrid grid{engine->Counts(), engine->bufferWidth, engine->bufferHeight};
    const std::int32_t w = grid.width;
    const std::int32_t h = grid.height;

    TheColorsWindow().GetColors(3, colors);
    const ColorRef split[3] = {colors[0], colors[1], colors[2]};
    const GradientParameters gradient = SplitColors(split);
    startRed = gradient.startRed;
    startGreen = gradient.startGreen;
    startBlue = gradient.startBlue;
    deltaRed = gradient.deltaRed;
    deltaGreen = gradient.deltaGreen;
    deltaBlue = gradient.deltaBlue;

    if (imageWidth != w || imageHeight != h) {
        DestroyImage();
        CreateImage(w, h);
    }

    const std::size_t pixelCount = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    HeapBlock pixels(pixelCount * sizeof(ImagePixel));
    if (pixels.get() != nullptr && image != nullptr &&
        ColorCounts(grid, engine->iterationLimit, gradient,
                    std::span<ImagePixel>(static_cast<ImagePixel*>(pixels.get()), pixelCount))) {
        SetDIBits(memoryDC.get(), image.get(), 0, static_cast<UINT>(h), pixels.get(),
                  AsBitmapInfo(header), DIB_RGB_COLORS);
    }
    recolorPending = 0;
    return true;
}

bool FractalView::CreateImage(std::int32_t width, std::int32_t height) {
    memoryDC.reset(CreateCompatibleDC(nullptr));
    imageWidth = width;
    imageHeight = height;
    std::memset(&header, 0, sizeof(header));
    header.bV4Size = sizeof(BITMAPINFOHEADER);
    header.bV4Width = width;
    header.bV4Height = height;  // positive: rows bottom-up
    header.bV4Planes = 1;
    header.bV4BitCount = 32;
    header.bV4V4Compression = BI_BITFIELDS;
    header.bV4SizeImage = 0;
    header.bV4XPelsPerMeter = kPixelsPerMetre;
    header.bV4YPelsPerMeter = kPixelsPerMetre;
    header.bV4RedMask = 0x00FF0000;
    header.bV4GreenMask = 0x0000FF00;
    header.bV4BlueMask = 0x000000FF;
    header.bV4AlphaMask = 0xFF000000;
    void* bits = nullptr;
    image.reset(
        CreateDIBSection(memoryDC.get(), AsBitmapInfo(header), DIB_RGB_COLORS, &bits, nullptr, 0));
    if (image == nullptr) {
        return false;
    }
    imageSelected.emplace(memoryDC.get(), image.get());
    return imageSelected->Selected();
}

void FractalView::DestroyImage() {
    imageSelected.reset();
    image.reset();
    memoryDC.reset();
}

bool FractalView::ReadPixels(std::int32_t height, void* destination) const {
    if (image == nullptr || memoryDC == nullptr) {
        return false;
    }
    BITMAPV4HEADER format = header;
    const int lines = GetDIBits(memoryDC.get(), image.get(), 0, static_cast<UINT>(height),
                                destination, AsBitmapInfo(format), DIB_RGB_COLORS);
    return lines == height;
}

void FractalView::OnCreate(const CREATESTRUCTA& create) {
    // The window's outer creation size; the first Recolor replaces the image
    // by one of the engine's size.
    CreateImage(create.cx, create.cy);
    recolorPending = 1;
}

void FractalView::OnPaint() {
    PaintScope paint(window);
    if (recolorPending == 1) {
        Recolor();
    }
    if (image != nullptr) {
        const SIZE client = ClientSize();
        const int dx = CenteredOffset(client.cx, imageWidth);
        const int dy = CenteredOffset(client.cy, imageHeight);
        BitBlt(paint.get(), dx, dy, imageWidth, imageHeight, memoryDC.get(), 0, 0, SRCCOPY);
    }
}

void FractalView::DrawRubberBand() const {
    if (window == nullptr) {
        return;
    }
    WindowDC dc(window);
    if (dc.get() == nullptr) {
        return;
    }
    const int previousMode = SetROP2(dc.get(), R2_XORPEN);
    {
        SelectedObject brush(dc.get(), GetStockObject(NULL_BRUSH));
        SelectedObject pen(dc.get(), GetStockObject(WHITE_PEN));
        Rectangle(dc.get(), selection.left, selection.top, selection.right, selection.bottom);
    }
    SetROP2(dc.get(), previousMode);
}

void FractalView::OnLeftButtonDown(std::int32_t x, std::int32_t y) {
    rightPressed = 0;
    selection = Selection{x, y, x, y};
    DrawRubberBand();
    SetCapture(window);
    selecting = 1;
}

void FractalView::OnMouseMove(std::int32_t x, std::int32_t y) {
    if (selecting != 1) {
        return;
    }
    DrawRubberBand();
    selection.right = x;
    selection.bottom = y;
    DrawRubberBand();
}

void FractalView::OnLeftButtonUp(std::int32_t x, std::int32_t y, bool altHeld) {
    if (selecting != 1 || selection.left == -1) {
        return;
    }
    DrawRubberBand();
    selection.right = x;
    selection.bottom = y;
    Zoom(altHeld);
    // Reset before the capture goes, so the WM_CAPTURECHANGED it brings finds
    // no gesture in progress.
    selection = kNoSelection;
    selecting = 0;
    ReleaseCapture();
}

void FractalView::Zoom(bool altHeld) {
    RECT client{};
    GetClientRect(window, &client);
    FractalEngine* engine = GetEngine();
    if (engine == nullptr) {
        return;
    }
    // No Region for a degenerate rectangle or a result that cannot be shown:
    // nothing changes and nothing is computed.
    const std::optional<Region> region =
        ZoomRegion(engine->region, selection, client.right, client.bottom, altHeld);
    if (region) {
        engine->SetRegion(*region);
        engine->SetSize(client.right, client.bottom);
        ShowRegion(*region);
        RecomputeAndShow(false);
    }
}

// The right button is the zoom-out for desktops whose window manager takes
// Alt with a click to move windows: a press in the view and a release inside
// its client area zoom out about the release point, exactly as an Alt+release
// there after a press at the same point. The view holds the capture from
// press to release, so a release elsewhere cancels. It draws no band, and a
// left-button gesture in progress ignores the right button.
void FractalView::OnRightButtonDown() {
    if (selecting == 1) {
        return;
    }
    rightPressed = 1;
    SetCapture(window);
}

void FractalView::OnRightButtonUp(std::int32_t x, std::int32_t y) {
    if (rightPressed != 1 || selecting == 1) {
        return;
    }
    RECT client{};
    GetClientRect(window, &client);
    if (x >= 0 && y >= 0 && x < client.right && y < client.bottom) {
        selection = Selection{x, y, x, y};
        Zoom(true);
        selection = kNoSelection;
    }
    rightPressed = 0;
    ReleaseCapture();
}

void FractalView::OnCaptureChanged() {
    rightPressed = 0;
    if (selecting != 1 || selection.left == -1) {
        return;
    }
    DrawRubberBand();
    selection = kNoSelection;
    selecting = 0;
}

void FractalView::OnDestroyed() {
    window = nullptr;
}

LRESULT CALLBACK FractalView::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        auto* view = static_cast<FractalView*>(create->lpCreateParams);
        view->window = hwnd;
        view->OnCreate(*create);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(view));
        return 0;
    }
    auto* view = reinterpret_cast<FractalView*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (view == nullptr) {
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    switch (message) {
        case WM_PAINT:
            view->OnPaint();
            return 0;
        case WM_LBUTTONDOWN:
            view->OnLeftButtonDown(PointerX(lParam), PointerY(lParam));
            return 0;
        case WM_MOUSEMOVE:
            view->OnMouseMove(PointerX(lParam), PointerY(lParam));
            return 0;
        case WM_LBUTTONUP:
            // Alt as of this message, not as of the press or the drag.
            view->OnLeftButtonUp(PointerX(lParam), PointerY(lParam),
                                 (GetKeyState(VK_MENU) & 0x8000) != 0);
            return 0;
        case WM_RBUTTONDOWN:
            view->OnRightButtonDown();
            return 0;
        case WM_RBUTTONUP:
            view->OnRightButtonUp(PointerX(lParam), PointerY(lParam));
            return 0;
        case WM_CAPTURECHANGED:
            view->OnCaptureChanged();
            return 0;
        case WM_NCDESTROY:
            view->OnDestroyed();
            break;
        default:
            break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

void RequestRecolor() {
    TheFractalView().RequestRecolor();
}
