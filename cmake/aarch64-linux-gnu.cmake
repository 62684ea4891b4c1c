# Cross-building an application and its table sets for 64-bit ARM Linux with
# Debian's gcc-aarch64-linux-gnu (the README's "Cross builds"):
#   cmake -S app -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=<tabrix>/cmake/aarch64-linux-gnu.cmake
# The tabrix tool itself keeps running on the build machine.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs built with it run here under qemu-user: qemu-aarch64 -L /usr/aarch64-linux-gnu <program>
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /usr/aarch64-linux-gnu)
