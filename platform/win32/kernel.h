// KERNEL32 subset (placeholder: the declarations the window layer needs
// until the kernel services land).
#pragma once

#include "platform/win32/types.h"

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName);
