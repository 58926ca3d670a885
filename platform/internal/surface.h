// platform/internal/: the seams between the platform's areas and towards its
// tests, never included by the program (its API is platform/win32.h): this
// header (GDI drawing into the window layer's windows), window_bridge.h (what
// the window layer tells the common dialogs), dialog_hooks.h and faults.h
// (tests answer the common dialogs and make steps fail), no_destructor.h
// (tables that outlive every static object). Left out: window surfaces in
// any pixel format other than 32-bit 0x00RRGGBB.
//
// How GDI draws into windows: the window layer lends a window's client-area
// backing store (32-bit pixels, 0x00RRGGBB, top row first) to GDI for the
// length of one drawing call, and is told afterwards which pixels changed so
// that it can show them. Window DCs (GetDC, BeginPaint, owner-draw items) are
// GDI device contexts created over such a surface.
#pragma once

#include <cstdint>

#include "platform/win32/types.h"

namespace platform {

struct PixelSurface {
    std::uint32_t* pixels = nullptr;
    std::int32_t width = 0;   // pixels
    std::int32_t height = 0;  // rows
    std::int32_t stride = 0;  // pixels from one row to the next
};

struct WindowSurfaceHooks {
    // False when the window has no surface (destroyed, or not one of ours).
    bool (*lock)(HWND window, PixelSurface* surface) = nullptr;
    // `touched` is in client coordinates, already clipped to the surface.
    void (*unlock)(HWND window, const RECT* touched) = nullptr;
};

// Installed once by the window layer; GDI calls the hooks on every drawing call
// into a window DC, since the window may change size between calls.
void SetWindowSurfaceHooks(const WindowSurfaceHooks& hooks);

// A device context that draws into `window`'s client area, clipped to `clip`
// (client coordinates; the client area when null). Freed with
// DeleteWindowDC, which also deselects nothing the caller must restore.
HDC CreateWindowDC(HWND window, const RECT* clip);
void DeleteWindowDC(HDC dc);

// The window a DC draws into, or null for a memory DC or an invalid handle.
HWND WindowFromWindowDC(HDC dc);

}  // namespace platform
