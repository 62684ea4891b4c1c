# Cross-building the tool for 64-bit Windows with Debian's mingw-w64 (the posix
# thread model, for std::thread and friends):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         -DTABRIX_TESTS=OFF -DTABRIX_BENCH=OFF
# The programs are linked statically, so tabrix.exe needs no DLL beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TABRIX_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TABRIX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TABRIX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TABRIX_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TABRIX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Test programs (and gtest_discover_tests) run under Wine where it is installed.
find_program(TABRIX_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(TABRIX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TABRIX_WINE})
endif()
