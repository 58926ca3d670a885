// The window tree and its lifetime, and window text (window.cpp).
#pragma once

#include <QString>
#include <string>

#include "platform/user/model.h"

namespace platform::user {

Window* TopLevelOf(Window* window);
bool IsDescendant(HWND ancestor, HWND window);
LRESULT CallProc(Window* window, UINT message, WPARAM wParam, LPARAM lParam);
HWND CreateWindowInternal(DWORD exStyle, WindowClass* cls, LPCSTR name, DWORD style, int x, int y,
                          int cx, int cy, HWND parent, HMENU menu, HINSTANCE instance,
                          LPVOID param);

// A resource's id from its name: an ordinal (MAKEINTRESOURCE) or "#109";
// -1 for a null name or one given as text.
int ResourceId(LPCSTR name);

// WM_GETTEXT's answer: `text` copied into the caller's buffer (lParam) of
// `size` bytes (wParam), cut to fit and terminated; the bytes copied.
LRESULT CopyTextOut(const std::string& text, WPARAM size, LPARAM buffer);

// Window text is Latin-1 on the program's side.
std::string AnsiFromQString(const QString& text);
QString QStringFromAnsi(const std::string& text);

}  // namespace platform::user
