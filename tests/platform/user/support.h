// Helpers for the window-layer conformance tests: a window procedure that
// records what it receives, a loop that runs until the queue is empty, and
// typing through Qt as a user would.
#pragma once

#include <QWidget>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/win32.h"

struct Logged {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

std::vector<Logged>& Log();
// The messages `window` received, keeping only those listed (all if none).
std::vector<UINT> MessagesOf(HWND window, std::initializer_list<UINT> only = {});
// Every logged message of the listed kinds, as (window, message) pairs.
std::vector<std::pair<HWND, UINT>> Sequence(std::initializer_list<UINT> only);

LRESULT CALLBACK RecordingProc(HWND, UINT, WPARAM, LPARAM);
INT_PTR CALLBACK RecordingDialogProc(HWND, UINT, WPARAM, LPARAM);
HINSTANCE Instance();
// Registers a class with RecordingProc once per name.
void RegisterTestClass(const char* name, UINT style = CS_HREDRAW | CS_VREDRAW,
                       HBRUSH background = reinterpret_cast<HBRUSH>(COLOR_MENU + 1),
                       LPCSTR menu = nullptr, LPCSTR cursor = IDC_ARROW);
HWND CreateFrame(const char* className = "TestFrame", DWORD style = WS_POPUP | WS_OVERLAPPEDWINDOW);

// Takes and handles messages until none is left: accelerators of `table`
// against `frame`, then the dialog keys of the active window, as the
// program's loop does. Bounded.
void RunUntilIdle(HWND frame = nullptr, HACCEL table = nullptr);
// Key press and release through Qt, to the widget of `window`.
void TypeKey(HWND window, int qtKey, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
             const QString& text = QString());
QWidget* WidgetOf(HWND window);
// The 0x00RRGGBB pixel of the window's surface at client (x, y).
bool ReadPixel(HWND window, int x, int y, std::uint32_t* pixel);
// What the window's widget shows at client (x, y) when Qt draws it into a
// buffer with alpha, as Wayland's are: 0xAARRGGBB.
std::uint32_t ShownPixel(HWND window, int x, int y);
