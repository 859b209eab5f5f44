# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (the posix thread model, which
# std::thread and std::mutex need). The GCC, C++ and thread runtimes are linked statically, so
# the programs need no DLL beyond the system's.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(WL_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${WL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${WL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${WL_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${WL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Tests and programs run under Wine on this machine.
# Debian keeps the 64-bit loader out of PATH; the "wine" wrapper warns on every start without
# the 32-bit half.
find_program(WL_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(WL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${WL_WINE})
endif()
