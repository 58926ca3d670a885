// Dialogs (dialog.cpp) and dialog units (dialog_units.cpp).
#pragma once

#include <QFont>

#include "platform/user/model.h"

namespace platform::user {

LRESULT CALLBACK DialogWindowProc(HWND, UINT, WPARAM, LPARAM);

struct BaseUnits {
    int x = 8;  // pixels
    int y = 16;
};
BaseUnits DialogBaseUnits(const char* fontName, int pointSize);
QFont DialogFont(const char* fontName, int pointSize);
int MulDivRound(int value, int numerator, int denominator);

}  // namespace platform::user
