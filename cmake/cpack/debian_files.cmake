# Run by cpack once it has staged the installed files, before it builds the
# package. A Debian package carries, beside what `cmake --install` puts in
# place, a machine-readable copyright file and a changelog, both under
# /usr/share/doc/<package>, its manual pages compressed with `gzip -9n` (no
# name or time in the header, so the bytes do not depend on the build), and
# programs stripped as dh_strip does, of the compiler's notes too, and its
# zsh completion where Debian's zsh looks.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
set(root "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
set(doc "${root}/share/doc/${CPACK_PACKAGE_NAME}")
find_program(GZIP gzip)
if(NOT GZIP)
  message(FATAL_ERROR "gzip is needed to compress the manual pages and the changelog")
endif()

function(gzip_file path)
  execute_process(COMMAND "${GZIP}" -9nf "${path}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${path}")
  endif()
endfunction()

# The licence text, indented as a field of the copyright file, with the
# holders from its Copyright line.
function(write_copyright path)
  file(READ "${CPACK_RESOURCE_FILE_LICENSE}" licence)
  if(NOT licence MATCHES "\nCopyright \\(c\\) ([^\n]*)\n(.*)$")
    message(FATAL_ERROR "no Copyright line in ${CPACK_RESOURCE_FILE_LICENSE}")
  endif()
  set(holders "${CMAKE_MATCH_1}")
  string(STRIP "${CMAKE_MATCH_2}" terms)
  string(REPLACE "\n" "\n " terms "${terms}")
  string(REPLACE "\n \n" "\n .\n" terms "${terms}")
  file(WRITE "${path}" "\
Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: ${CPACK_PACKAGE_NAME}
Upstream-Contact: ${CPACK_PACKAGE_CONTACT}

Files: *
Copyright: ${holders}
License: Expat
 ${terms}
")
endfunction()

# One entry for the version being packaged, dated SOURCE_DATE_EPOCH when
# that is set (string(TIMESTAMP) reads it).
function(write_changelog path)
  string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
  file(WRITE "${path}" "\
${CPACK_PACKAGE_NAME} (${CPACK_PACKAGE_VERSION}) unstable; urgency=medium

  * Release ${CPACK_PACKAGE_VERSION}.

 -- ${CPACK_PACKAGE_CONTACT}  ${date}
")
  gzip_file("${path}")
endfunction()

if(CPACK_QP_STRIP)
  file(GLOB programs "${root}/bin/*")
  foreach(program IN LISTS programs)
    execute_process(
      COMMAND "${CPACK_QP_STRIP}" --remove-section=.comment --remove-section=.note "${program}"
      RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "strip failed on ${program}")
    endif()
  endforeach()
endif()
file(GLOB pages "${root}/share/man/man*/*")
foreach(page IN LISTS pages)
  if(NOT page MATCHES "\\.gz$")
    gzip_file("${page}")
  endif()
endforeach()
# The copyright file holds the licence; a second copy is one too many.
file(REMOVE "${doc}/LICENSE")
write_copyright("${doc}/copyright")
write_changelog("${doc}/changelog")
# Debian's zsh takes a package's completion functions from vendor-completions
# and leaves site-functions to the machine's administrator.
file(RENAME "${root}/share/zsh/site-functions" "${root}/share/zsh/vendor-completions")
