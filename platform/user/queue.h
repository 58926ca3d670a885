// The message queue, the loop and size bursts (queue.cpp).
#pragma once

#include "platform/user/model.h"

namespace platform::user {

void Enqueue(QueuedMessage entry, bool front = false);
void PostInput(QueuedMessage entry);
DWORD NextMessageTime();
void ScheduleForeignDrain();
void EndSizeBurst();
void ExtendSizeBurst(Window& window);

}  // namespace platform::user
