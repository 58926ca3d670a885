// Menus and accelerator tables (menu.cpp); the menu bar is in qt/.
#pragma once

#include "platform/user/model.h"

namespace platform::user {

Menu* FindMenu(HMENU menu);
MenuItem* FindMenuItem(HMENU menu, UINT id, HMENU* owner);

}  // namespace platform::user
