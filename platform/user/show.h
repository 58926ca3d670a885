// Showing and the first map (show.cpp).
#pragma once

#include "platform/user/model.h"

namespace platform::user {

// Shows a top-level window on the screen (ShowWindow's second half).
BOOL MapTopLevel(HWND h, int cmd, BOOL wasVisible, bool newlyShown);
// Hides the visible windows `owner` owns, or shows again those it hid.
void ShowOwnedWithOwner(HWND owner, bool show);
// Maps the windows whose map was deferred (dialogs created visible).
void FlushPendingMaps();

}  // namespace platform::user
