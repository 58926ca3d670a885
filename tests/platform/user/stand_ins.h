// What the test stand-ins add for tests: a solid brush without GDI.
#pragma once

#include "platform/win32.h"

HBRUSH TestSolidBrush(COLORREF colour);
