# The tools for a cross build that takes this project in with
# add_subdirectory() or FetchContent: they run at build time, so they must
# be programs of the build machine, whatever the game targets. They come
# from an installed quarnel-pavrin when one is named, and otherwise from a
# separate build of this source tree for the build machine, made as part of
# the game's build. Either way nothing here is compiled with the target's
# compilers, and no language is enabled for the target. Defines the
# imported quarnel-pavrin::quarnel and quarnel-pavrin::pavrin, visible in
# the whole game, and the functions that run them.

set(QUARNEL_PAVRIN_HOST_CXX_COMPILER "" CACHE STRING
    "C++ compiler of the build machine for the quarnel and pavrin a cross build runs (empty: its default one)")
set(QUARNEL_PAVRIN_HOST_CXX_FLAGS "" CACHE STRING
    "C++ compiler flags of the build of quarnel and pavrin for the build machine")
set(QUARNEL_PAVRIN_HOST_PREFIX "" CACHE PATH
    "Prefix of a quarnel-pavrin installed for the build machine, used instead of building the tools")

if(TARGET quarnel-pavrin::quarnel)
  # The game loaded the package itself before taking this project in.
  return()
endif()
# FetchContent points quarnel-pavrin_DIR at its own redirection files, which
# name no tools.
if(QUARNEL_PAVRIN_HOST_PREFIX OR
   (quarnel-pavrin_DIR AND NOT quarnel-pavrin_DIR STREQUAL CMAKE_FIND_PACKAGE_REDIRECTS_DIR))
  # The package's files lie outside the target's root, which a toolchain
  # file may confine package search to.
  find_package(quarnel-pavrin 1.0 CONFIG REQUIRED GLOBAL
               PATHS "${QUARNEL_PAVRIN_HOST_PREFIX}" NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  return()
endif()

# A build of the tools alone, in Release, with the build machine's
# compiler: no toolchain file, not even one named in the environment. It
# runs again in a build of the game when a file of the tools' source or of
# their CMake build is newer than its last run; a tool it does not relink
# keeps its time, so no table is made again. Globbed with CONFIGURE_DEPENDS,
# so that a new header counts too.
file(GLOB host_sources CONFIGURE_DEPENDS
     "${PROJECT_SOURCE_DIR}/quarnel/*" "${PROJECT_SOURCE_DIR}/pavrin/*"
     "${PROJECT_SOURCE_DIR}/cmake/*.cmake" "${PROJECT_SOURCE_DIR}/CMakeLists.txt")
include(ExternalProject)
set(host_build "${PROJECT_BINARY_DIR}/host")
# The target's compilers and flags in the environment (CC, CXX, CFLAGS,
# CXXFLAGS, LDFLAGS) are not the build machine's: each step runs without
# them (host-build-step.cmake), with the flags of QUARNEL_PAVRIN_HOST_CXX_FLAGS
# alone, and its failure names this build and its compiler.
set(host_args -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE= -DBUILD_TESTING=OFF
              -DQUARNEL_PAVRIN_INSTALL=OFF "-DCMAKE_CXX_FLAGS=${QUARNEL_PAVRIN_HOST_CXX_FLAGS}")
set(host_compiler_text "the default one (c++)")
if(QUARNEL_PAVRIN_HOST_CXX_COMPILER)
  find_program(host_compiler "${QUARNEL_PAVRIN_HOST_CXX_COMPILER}" NO_CACHE NO_CMAKE_FIND_ROOT_PATH)
  if(NOT host_compiler)
    message(FATAL_ERROR "QUARNEL_PAVRIN_HOST_CXX_COMPILER: ${QUARNEL_PAVRIN_HOST_CXX_COMPILER} "
      "is not a program of this machine; name the C++ compiler that builds quarnel and pavrin "
      "for the build machine, or leave it empty for the default one")
  endif()
  list(APPEND host_args "-DCMAKE_CXX_COMPILER=${host_compiler}")
  set(host_compiler_text "${host_compiler}")
endif()
foreach(step configure build)
  set(${step}_step "${CMAKE_COMMAND}" -DSTEP=${step} -DLOG=<LOG_DIR>/${step}.log
      "-DCOMPILER=${host_compiler_text}" -P "${CMAKE_CURRENT_LIST_DIR}/host-build-step.cmake" --)
endforeach()
# Under make, $(MAKE) shares the game's job slots.
if(CMAKE_GENERATOR MATCHES "Makefiles")
  set(host_build_command ${build_step} $(MAKE) quarnel pavrin)
else()
  set(host_build_command ${build_step} "${CMAKE_COMMAND}" --build <BINARY_DIR> --config Release
                         --target quarnel pavrin)
endif()
set(host_bin "${host_build}")
get_property(multi_config GLOBAL PROPERTY GENERATOR_IS_MULTI_CONFIG)
if(multi_config)
  string(APPEND host_bin "/Release")
endif()
set(host_suffix "")
if(CMAKE_HOST_WIN32)
  set(host_suffix .exe)
endif()

ExternalProject_Add(quarnel_pavrin_host
  SOURCE_DIR "${PROJECT_SOURCE_DIR}"
  BINARY_DIR "${host_build}"
  CONFIGURE_COMMAND ${configure_step} "${CMAKE_COMMAND}" -G "${CMAKE_GENERATOR}" ${host_args} <SOURCE_DIR>
  BUILD_COMMAND ${host_build_command}
  BUILD_BYPRODUCTS "${host_bin}/quarnel${host_suffix}" "${host_bin}/pavrin${host_suffix}"
  INSTALL_COMMAND ""
  EXCLUDE_FROM_ALL ON)
ExternalProject_Add_StepDependencies(quarnel_pavrin_host build ${host_sources})

foreach(tool quarnel pavrin)
  add_executable(quarnel-pavrin::${tool} IMPORTED GLOBAL)
  set_target_properties(quarnel-pavrin::${tool} PROPERTIES
    IMPORTED_LOCATION "${host_bin}/${tool}${host_suffix}")
endforeach()
# The functions make the targets that run the tools wait for this build.
set_property(GLOBAL PROPERTY quarnel_pavrin_host_build quarnel_pavrin_host)
include(${CMAKE_CURRENT_LIST_DIR}/quarnel-pavrin-functions.cmake)
