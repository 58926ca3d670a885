// COMDLG32 subset (placeholder until the common dialogs land).
#pragma once

#include "platform/win32/types.h"
