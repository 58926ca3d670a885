// The system control classes (controls.cpp); their widgets are in qt/.
#pragma once

#include "platform/user/model.h"

namespace platform::user {

void RegisterSystemClasses();
void RegisterProgressClass();
void LoadStaticBitmap(Window& window, int resourceId);

}  // namespace platform::user
