# Cross build for 32-bit ARM Linux with hardware floating point (Debian's
# g++-arm-linux-gnueabihf), a host where long, size_t, pointers and, without
# large-file support, off_t are 32 bits; run the results with
# qemu-arm -L /usr/arm-linux-gnueabihf. Packages, libraries and headers come
# from the target's root only; programs, which run on this machine, never.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)
set(CMAKE_FIND_ROOT_PATH /usr/arm-linux-gnueabihf)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
