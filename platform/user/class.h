// Window classes (class.cpp).
#pragma once

#include "platform/user/model.h"

namespace platform::user {

WindowClass* FindClass(LPCSTR name);
void RegisterBuiltInClass(const char* name, ClassKind kind, WNDPROC proc, UINT style,
                          HBRUSH background, int extra);

}  // namespace platform::user
