// The FractalView: the child window in the middle of the frame that shows the
// picture. It owns a 32-bit DIB section selected into a memory DC, rebuilds it
// from the engine's counts with the ColorSet's colours when asked to (deferred
// to the next paint), and copies it 1:1, centred, onto the client area.
#pragma once

#include <cstdint>
#include <optional>

#include "engine/region.h"
#include "platform/win32.h"
#include "view/color_map.h"
#include "view/win32_raii.h"

class FractalView {
public:
    FractalView() = default;
    FractalView(const FractalView&) = delete;
    FractalView& operator=(const FractalView&) = delete;
    virtual ~FractalView();

    bool RegisterViewClass(HINSTANCE instance);
    bool CreateViewWindow(HWND parent, int controlId, int x, int y, int width, int height);

    // The client area's size; 0 x 0 while there is no window.
    SIZE ClientSize() const;

    // Marks the image for re-colouring and invalidates the whole client area
    // without erasing: several requests before a paint cost one Recolor.
    void RequestRecolor();

    // Rebuilds the image from the engine's counts. False when the engine has
    // no counts (the old image stays and the request stays pending).
    bool Recolor();

    bool CreateImage(std::int32_t width, std::int32_t height);
    void DestroyImage();

    // The colour of one count, 0x00RRGGBB as the image stores it.
    std::uint32_t MapColor(std::uint32_t count, std::uint32_t limit) const;

    // Copies `height` rows of the image, bottom row first, in the image's own
    // format (32 bits, rows of imageWidth pixels) to `destination`, which must
    // hold height * imageWidth pixels. False when there is no image or fewer
    // rows came back.
    bool ReadPixels(std::int32_t height, void* destination) const;

    // The zoom gesture. Coordinates are client pixels; while the view holds
    // the capture they may lie outside the client area.
    void OnLeftButtonDown(std::int32_t x, std::int32_t y);
    void OnMouseMove(std::int32_t x, std::int32_t y);
    void OnLeftButtonUp(std::int32_t x, std::int32_t y, bool altHeld);
    void OnCaptureChanged();
    // The right button's zoom-out: three times the client about the release
    // point. Only a release that follows a press in the view counts.
    void OnRightButtonDown();
    void OnRightButtonUp(std::int32_t x, std::int32_t y);

    // Draws the Selection's outline on the window with an exclusive-or white
    // pen, straight onto the screen; a second call with the same Selection
    // restores the pixels.
    void DrawRubberBand() const;

    // Fields, in the order the view's data is laid out.
    Selection selection{};
    std::uint8_t selecting = 0;
    std::int32_t imageWidth = 0;
    std::int32_t imageHeight = 0;
    BITMAPV4HEADER header{};
    // The image is selected into its memory DC while both exist; members go
    // in reverse order, so the selection is undone before the bitmap is
    // deleted, and the bitmap before its DC.
    MemoryDC memoryDC;
    OwnedBitmap image;
    std::optional<SelectedObject> imageSelected;
    std::uint8_t recolorPending = 0;
    HWND window = nullptr;
    COLORREF colors[3] = {};
    std::int32_t deltaRed = 0;
    std::int32_t deltaGreen = 0;
    std::int32_t deltaBlue = 0;
    std::int32_t startRed = 0;
    std::int32_t startGreen = 0;
    std::int32_t startBlue = 0;
    // 1 between a right-button press in the view and its release.
    std::uint8_t rightPressed = 0;

private:
    // Zooms to what the Selection gives (Alt: out), computing the new picture.
    void Zoom(bool altHeld);
    GradientParameters Gradient() const;
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void OnCreate(const CREATESTRUCTA& create);
    void OnPaint();
    void OnDestroyed();
};

// The one FractalView of the run.
FractalView& TheFractalView();

// RequestRecolor on the one FractalView, for the Colors window.
void RequestRecolor();
