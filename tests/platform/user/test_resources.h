// Ids of the test resources beside the program's own (107, 108, 106, 104,
// menu 103, accelerators 105).
#pragma once

inline constexpr int kFormDialog = 200;
inline constexpr int kFormEdit = 2001;
inline constexpr int kFormApply = 2002;
inline constexpr int kPlainDialog = 201;
inline constexpr int kPlainEdit = 2011;
inline constexpr int kPlainGo = 2012;
inline constexpr int kBrokenDialog = 202;
inline constexpr int kTestBitmap = 109;
