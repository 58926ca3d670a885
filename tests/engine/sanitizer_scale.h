// How much smaller the engine tests make their pictures and runs in the
// sanitizer build, where the exact path is far slower.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
inline constexpr int kScale = 4;
#else
inline constexpr int kScale = 1;
#endif
