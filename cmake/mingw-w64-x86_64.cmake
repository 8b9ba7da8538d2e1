# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix threads, so
# std::thread and std::mutex work), run under Wine:
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(REFLASH_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${REFLASH_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${REFLASH_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${REFLASH_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${REFLASH_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C and C++ runtimes and winpthread go into each program and library,
# so nothing but the system's own DLLs is needed beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

# ctest runs the test programs through Wine.
find_program(REFLASH_WINE NAMES wine wine64)
if(REFLASH_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${REFLASH_WINE})
endif()
