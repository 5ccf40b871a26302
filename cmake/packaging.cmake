# Release artifacts, all named after project()'s version:
#   native build:   cpack                               quarnel-pavrin_<version>_<arch>.deb
#   MinGW build:    cpack                               quarnel-pavrin-<version>-win64.zip
#   static build:   cpack                               quarnel-pavrin-<version>-linux-<arch>.tar.gz
#   either build:   cpack --config CPackSourceConfig.cmake   quarnel-pavrin-<version>.tar.gz
# CPack stages what `cmake --install` installs; the scripts in cmake/cpack/
# then add what only a Debian package carries, stage exactly the files git
# tracks for the source tarball, and write every archive again in sorted
# order with fixed owners, modes and times, so that two builds of the same
# sources give the same bytes (with SOURCE_DATE_EPOCH set).

# ---- manual pages as plain text for the Windows zip ----
# Windows has no man(1): render the pages at build time, with no terminal
# escapes, overstrikes or non-ASCII hyphens, for any text editor.
if(WIN32)
  find_program(GROFF groff)
  if(NOT GROFF)
    message(FATAL_ERROR "groff is needed to render the manual pages for Windows (Debian: groff-base)")
  endif()
  set(manual_texts "")
  file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/manual)
  # Section 1 pages keep their program's name; the formats' page
  # (anm-cellmap.5) becomes anm-cellmap-formats.txt, apart from the program's.
  set(pages quarnel.1 pavrin.1 anm-cellmap.5)
  if(ANM_CELLMAP_BUILT)
    list(APPEND pages anm-cellmap.1)
  endif()
  foreach(page IN LISTS pages)
    string(REGEX REPLACE "\\.1$" ".txt" text ${page})
    string(REGEX REPLACE "\\.5$" "-formats.txt" text ${text})
    add_custom_command(
      OUTPUT ${PROJECT_BINARY_DIR}/manual/${text}
      COMMAND ${GROFF} -man -Tascii -P-cbou ${PROJECT_BINARY_DIR}/man/${page}
              > ${PROJECT_BINARY_DIR}/manual/${text}
      DEPENDS ${PROJECT_BINARY_DIR}/man/${page}
      VERBATIM)
    list(APPEND manual_texts ${PROJECT_BINARY_DIR}/manual/${text})
  endforeach()
  add_custom_target(manual_text ALL DEPENDS ${manual_texts})
  install(FILES ${manual_texts} DESTINATION manual)
endif()

# ---- what every package shares ----
set(CPACK_PACKAGE_NAME quarnel-pavrin)
set(CPACK_PACKAGE_VENDOR "the quarnel-pavrin authors")
set(CPACK_PACKAGE_CONTACT "quarnel-pavrin project <quarnel-pavrin@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "sprite-animation to C dumper, cell map concatenator, and their inspector")
# Blank lines part paragraphs; lines stay under 80 columns, as Debian asks.
set(CPACK_PACKAGE_DESCRIPTION [[
quarnel reads binary sprite-animation files (.anm) and writes their
sequence and sprite tables as C source, ready to compile into a program.
pavrin joins binary cell map files, side by side or one below the other,
into one map, and can force the size of the result. anm-cellmap shows both
formats as JSON and builds them back byte for byte, checks them with named
warnings, and draws a map or an animation's frames as a PNG picture.

All three are plain command-line programs. The package also holds their
manual pages, shell completion, a sample header and sample data, and
examples of their use from Make and CMake.]])
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/cpack/per_package.cmake)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/cpack/debian_files.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/cpack/repack.cmake)
# Read by the scripts above when cpack runs.
set(CPACK_QP_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_QP_STAGE_DIR ${PROJECT_BINARY_DIR}/_CPack_Packages/tracked-files)
set(CPACK_QP_STRIP ${CMAKE_STRIP})

# ---- Windows zip or Debian package ----
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-win64)
  else()
    set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-win32)
  endif()
elseif(QUARNEL_PAVRIN_STATIC)
  # Static tools run on any Linux of their processor: a plain archive of
  # the install, in one folder, with README.md and LICENSE at its top
  # (cmake/cpack/archive_files.cmake), to unpack anywhere.
  set(CPACK_GENERATOR TGZ)
  string(TOLOWER "${CMAKE_SYSTEM_PROCESSOR}" arch)
  set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-linux-${arch})
  list(APPEND CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/cpack/archive_files.cmake)
  set(CPACK_QP_TOP_FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE)
else()
  # No CPACK_PACKAGING_INSTALL_PREFIX: the DEB generator puts /usr in front
  # by itself, and archives must hold paths relative to their top folder.
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION devel)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

# ---- source tarball ----
# In a git checkout the tarball holds exactly the tracked files (see
# cmake/cpack/per_package.cmake); elsewhere, say in an unpacked tarball,
# everything but build folders and version-control data.
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION})
string(REGEX REPLACE "([][+.*()^$?|\\\\])" "\\\\\\1" source_dir_regex "${PROJECT_SOURCE_DIR}")
set(CPACK_SOURCE_IGNORE_FILES
    "^${source_dir_regex}/build[^/]*/"
    "^${source_dir_regex}/_CPack_Packages/"
    "/\\.git/" "/\\.git$" "\\.swp$" "~$" "/#")

include(CPack)
