// Activation, focus and capture (focus.cpp).
#pragma once

#include "platform/user/model.h"

namespace platform::user {

void ActivateWindow(Window* window);
// Raises the visible windows `owner` owns (and theirs) above it.
void RaiseOwnedWindows(HWND owner, int depth = 0);

}  // namespace platform::user
