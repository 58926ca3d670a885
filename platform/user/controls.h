// The system control classes (controls.cpp); their widgets are in qt/.
#pragma once

#include "platform/user/model.h"

namespace platform::user {

LRESULT CALLBACK EditProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ButtonProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK StaticProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ProgressProc(HWND, UINT, WPARAM, LPARAM);
void RegisterSystemClasses();
void RegisterProgressClass();
void LoadStaticBitmap(Window& window, int resourceId);

}  // namespace platform::user
