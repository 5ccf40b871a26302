# Cross-builds the tools for macOS with Zig's bundled clang and macOS SDK
# stubs (Zig 0.11, found on PATH or given as -DZIG=...):
#
#   cmake -S . -B build-macos -DCMAKE_TOOLCHAIN_FILE=cmake/zig-macos.cmake \
#         -DQUARNEL_PAVRIN_MACOS_ARCH=aarch64|x86_64 -DBUILD_TESTING=OFF
#
# The programs cannot run here; this only proves they compile and link.
set(CMAKE_SYSTEM_NAME Darwin)
if(NOT QUARNEL_PAVRIN_MACOS_ARCH)
  set(QUARNEL_PAVRIN_MACOS_ARCH aarch64)
endif()
set(CMAKE_SYSTEM_PROCESSOR ${QUARNEL_PAVRIN_MACOS_ARCH})
# The compiler checks run in projects of their own, which need the choice too.
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUARNEL_PAVRIN_MACOS_ARCH ZIG)
find_program(ZIG zig REQUIRED)
set(CMAKE_CXX_COMPILER ${ZIG} c++ -target ${QUARNEL_PAVRIN_MACOS_ARCH}-macos)
# CMake's probe of the compiler's ABI passes -Wl,-v, which zig refuses, so
# the one fact taken from it is given here.
set(CMAKE_SIZEOF_VOID_P 8)
# CMake runs the archiver and ranlib as single programs: one-line wrappers.
foreach(tool ar ranlib)
  file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/zig-${tool}
       CONTENT "#!/bin/sh\nexec '${ZIG}' ${tool} \"$@\"\n")
  file(CHMOD ${CMAKE_BINARY_DIR}/zig-${tool}
       PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE)
endforeach()
set(CMAKE_AR ${CMAKE_BINARY_DIR}/zig-ar)
set(CMAKE_RANLIB ${CMAKE_BINARY_DIR}/zig-ranlib)
# Zig has no install_name_tool, which CMake asks for on Apple systems; it is
# run only to install, and nothing is installed from this build.
set(CMAKE_INSTALL_NAME_TOOL true)
