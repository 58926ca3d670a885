// Save Image: the view's picture as an uncompressed 24-bit BMP file, under a
// name the user picks in the save dialog. Failures are silent.
#pragma once

#include "platform/win32.h"

void SaveImage(HWND owner);
