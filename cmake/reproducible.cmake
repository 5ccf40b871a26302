# The same sources give the same binaries in any folder and at any time:
# no build folder in file names the compiler records, and no link time in
# Windows executables. The build folder is mapped last, so a build folder
# inside the source folder gets its own prefix.
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  add_compile_options(
    -ffile-prefix-map=${PROJECT_SOURCE_DIR}/=
    -ffile-prefix-map=${PROJECT_BINARY_DIR}/=)
endif()
if(MINGW)
  add_link_options(LINKER:--no-insert-timestamp)
endif()
