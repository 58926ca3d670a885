// The one header the program includes for the Win32 API.
//
// On Windows it is the real API. Elsewhere it declares the subset that the
// program uses, with the real names, types, values and signatures; platform/
// implements it on Qt 6 Widgets (windows, messages, controls, dialogs) and in
// plain software (GDI over 32-bit pixel buffers, files, the heap).
#pragma once

// windows.h first and the headers that need it after it, types.h first
// here: an order that sorting would break.
// clang-format off
#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef STRICT
#define STRICT
#endif
#include <windows.h>
#include <windowsx.h>
#include <commctrl.h>
#include <commdlg.h>
#include <ntsecapi.h>
#else
#include "platform/win32/types.h"
#include "platform/win32/kernel.h"
#include "platform/win32/gdi.h"
#include "platform/win32/user.h"
#include "platform/win32/comdlg.h"
#endif
// clang-format on
