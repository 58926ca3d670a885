// Key state, the cursor and the key filter (input.cpp).
#pragma once

#include "platform/user/model.h"

namespace platform::user {

int VirtualKeyFromQt(const KeyRecord& key);
// The key of a message: the one Qt reported, or for a message the program
// made up, one built from its virtual key.
KeyRecord KeyOf(WPARAM vk);
// The key and button state as of a queued input message handed out.
void UpdateKeyState(const QueuedMessage& entry);
void InstallInputFilter();
// The stand-in handle LoadCursorA gives system cursor `id` (IDC_ARROW ..
// IDC_WAIT's 32512 .. 32515).
HCURSOR SystemCursor(ULONG_PTR id);
// Hands a key to the window's widget, past the filter.
void ReplayKey(Window& window, const KeyRecord& key, bool press);

}  // namespace platform::user
