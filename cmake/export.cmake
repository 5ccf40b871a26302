# Lets other projects' builds run the tools: the CMake package (imported
# quarnel-pavrin::quarnel and quarnel-pavrin::pavrin, quarnel_add_tables(),
# pavrin_join()), installed, usable from this build folder, and, through
# ALIAS targets of the same names, from a project that adds this one with
# add_subdirectory(); and the Make fragment with the template it shares with
# the functions. Included by CMakeLists.txt after the tools' install rules,
# which put them in the export set.
include(CMakePackageConfigHelpers)

# In a cross build that takes this project in, those names are the build
# machine's tools already (host-tools.cmake), and the tools built here are
# for the target, only to be installed.
if(NOT TARGET quarnel-pavrin::quarnel)
  add_executable(quarnel-pavrin::quarnel ALIAS quarnel)
  add_executable(quarnel-pavrin::pavrin ALIAS pavrin)
  if(TARGET anm-cellmap)
    add_executable(quarnel-pavrin::anm-cellmap ALIAS anm-cellmap)
  endif()
  include(${CMAKE_CURRENT_LIST_DIR}/quarnel-pavrin-functions.cmake)
endif()

# With QUARNEL_PAVRIN_INSTALL off (by default when the project is added
# with add_subdirectory()) nothing is installed, and there is no package in
# the build folder either: the functions above are all a parent project
# needs.
if(NOT QUARNEL_PAVRIN_INSTALL)
  return()
endif()
set(QUARNEL_PAVRIN_CMAKE_DIR ${CMAKE_INSTALL_DATADIR}/cmake/quarnel-pavrin)
set(quarnel_pavrin_files
  ${CMAKE_CURRENT_LIST_DIR}/quarnel-pavrin-config.cmake
  ${CMAKE_CURRENT_LIST_DIR}/quarnel-pavrin-functions.cmake)
# The text of each NAME.h and wrapper, which both the functions and the Make
# fragment read, lies beside the fragment.
set(quarnel_pavrin_template ${PROJECT_SOURCE_DIR}/make/quarnel-pavrin-template.mk)
# The tools run only on the machine they were built for, whatever a consumer
# targets, so the version check ignores the consumer's pointer size.
write_basic_package_version_file(
  ${PROJECT_BINARY_DIR}/quarnel-pavrin-config-version.cmake
  COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)

install(EXPORT quarnel-pavrin-targets NAMESPACE quarnel-pavrin::
        DESTINATION ${QUARNEL_PAVRIN_CMAKE_DIR})
install(FILES ${quarnel_pavrin_files} ${PROJECT_BINARY_DIR}/quarnel-pavrin-config-version.cmake
        DESTINATION ${QUARNEL_PAVRIN_CMAKE_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/make/quarnel-pavrin.mk ${quarnel_pavrin_template}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/quarnel-pavrin)

# The same package in the build folder, for -Dquarnel-pavrin_DIR=<build>:
# its targets file names the tools built here, and the template lies beside
# the package files.
export(EXPORT quarnel-pavrin-targets NAMESPACE quarnel-pavrin::
       FILE ${PROJECT_BINARY_DIR}/quarnel-pavrin-targets.cmake)
foreach(file IN LISTS quarnel_pavrin_files quarnel_pavrin_template)
  configure_file(${file} ${PROJECT_BINARY_DIR} COPYONLY)
endforeach()
