// The application shell: start-up, the frame window (MainWindow) with its menu,
// accelerators and commands, the message loop, and tear-down.
#pragma once

#include "engine/fractal_engine.h"
#include "platform/win32.h"

// Registers the frame's class, then the view's; false at the first failure.
bool RegisterWindowClasses(HINSTANCE instance);

// Creates the frame (the engine attached) and the view, shows the frame, and
// computes the default picture. False when the frame or the view could not be
// made; the frame is then already destroyed.
bool CreateMainWindow(HINSTANCE instance, FractalEngine& engine);

// Moves the view to (0, 0) with the given size; a width of -1 takes the
// frame's client size.
void SizeViewToClient(HWND frame, SIZE size);

// The one road to a new picture: Render (forced only for Refresh), and on a
// finished computation a re-colouring at the next paint. Always true.
bool RecomputeAndShow(bool force);

// The frame window, or null before its creation and after tear-down.
HWND FrameWindow();

LRESULT CALLBACK MainWindowProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam);

// Start-up: the classes, the frame and its first picture, the two tool
// windows, the accelerators (null when they cannot be loaded). False when the
// classes or the frame could not be made; the engine is then reset.
bool StartUp(HINSTANCE instance, FractalEngine& engine, HACCEL& accelerators);

// One message as the loop handles it: the frame's accelerators first, then the
// keyboard of the active window's dialog controls, then the window itself.
void HandleMessage(HACCEL accelerators, MSG& msg);

// The message loop, until the quit message.
void RunMessageLoop(HACCEL accelerators);

// Tear-down after the loop: the frame (if it still exists), the accelerators,
// the tool windows, the engine's buffer.
void TearDown(HACCEL accelerators, FractalEngine& engine);

// The whole run: start-up, message loop, tear-down. 0 after a normal end, -1
// when start-up fails.
int RunZembrix(HINSTANCE instance);
