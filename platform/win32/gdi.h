// GDI32 subset (placeholder: the declarations the window layer needs until
// the software GDI lands).
#pragma once

#include "platform/win32/types.h"

#define NULL_PEN 8

HGDIOBJ WINAPI GetStockObject(int i);
HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h);
BOOL WINAPI Rectangle(HDC hdc, int left, int top, int right, int bottom);
