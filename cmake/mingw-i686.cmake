# Cross build of zembrix.exe for i686 Windows with MinGW-w64 (Debian's
# g++-mingw-w64-i686). Use: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(triple i686-w64-mingw32)
# The POSIX threading variants are what Debian installs as the default
# alternative; either works, since the program has one thread.
set(CMAKE_C_COMPILER ${triple}-gcc)
set(CMAKE_CXX_COMPILER ${triple}-g++)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# GCC's i686 default is x87 arithmetic, whose 80-bit registers would change
# the escape-time counts: every operation must be an SSE2 double operation.
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
