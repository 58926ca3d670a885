// The two modal dialogs of the frame: Render To File (the engine's Region, size
// and limit in editable fields, and a file name with a browse button; its Ok
// does nothing) and About.
#pragma once

#include "engine/fractal_engine.h"
#include "platform/win32.h"

// Runs the Render To File dialog over `owner`, filled from `engine` (which it
// never changes). Returns when the dialog is closed.
void RunRenderToFileDialog(HWND owner, const FractalEngine* engine);

// Runs the About dialog over `owner`.
void RunAboutDialog(HWND owner);

INT_PTR CALLBACK RenderToFileDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
