// Update regions, WM_PAINT and backing surfaces (paint.cpp).
#pragma once

#include "platform/user/model.h"

namespace platform::user {

void InvalidateWindowTree(Window* window, bool erase);
void ResizeSurface(Window& window);
bool HasSurface(const Window& window);
bool EraseBackground(Window& window, HDC dc);
void PaintWhileBusy();
// Lets GDI draw into the surfaces.
void InstallSurfaceHooks();

}  // namespace platform::user
