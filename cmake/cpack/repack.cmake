# Run by cpack after it has built a package. cpack stores files in the order
# the file system lists them, and with the modes the umask left; write the
# package again from the same files, sorted by name, with modes rwxr-xr-x
# or rw-r--r-- (and root as owner) and, when SOURCE_DATE_EPOCH is set, that
# time on every file. Two builds of the same sources then give the same
# bytes. Without the needed tool the package stays as cpack made it.
set(epoch "$ENV{SOURCE_DATE_EPOCH}")

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_QUIET)
  if(NOT status EQUAL 0)
    list(JOIN ARGN " " command)
    message(FATAL_ERROR "failed: ${command}")
  endif()
endfunction()

function(normalise_tree folder)
  run(chmod -R u+rwX,go=rX "${folder}")
  if(NOT epoch STREQUAL "")
    run(find "${folder}" -exec touch -h -d @${epoch} {} +)
  endif()
endfunction()

# dpkg-deb sorts the members, makes root their owner and takes its
# timestamps from SOURCE_DATE_EPOCH.
function(repack_deb package)
  find_program(DPKG_DEB dpkg-deb)
  if(NOT DPKG_DEB)
    message(WARNING "dpkg-deb not found: ${package} keeps the file system's order")
    return()
  endif()
  set(tree "${CPACK_TOPLEVEL_DIRECTORY}/repack")
  file(REMOVE_RECURSE "${tree}")
  run("${DPKG_DEB}" --raw-extract "${package}" "${tree}")
  normalise_tree("${tree}")
  run("${DPKG_DEB}" --root-owner-group --build "${tree}" "${package}")
endfunction()

function(repack_zip package top folder)
  find_program(ZIP zip)
  if(NOT ZIP)
    message(WARNING "zip not found: ${package} keeps the file system's order")
    return()
  endif()
  normalise_tree("${top}/${folder}")
  file(GLOB_RECURSE names LIST_DIRECTORIES true RELATIVE "${top}" "${top}/${folder}/*")
  list(APPEND names "${folder}")
  list(SORT names)
  list(JOIN names "\n" list_text)
  file(WRITE "${top}/repack-list" "${list_text}\n")
  file(REMOVE "${package}")
  # -X: no owner or extra time fields; zip stores local time, so fix the zone.
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env TZ=UTC "${ZIP}" -X -q "${package}" -@
    WORKING_DIRECTORY "${top}"
    INPUT_FILE "${top}/repack-list"
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "zip failed on ${package}")
  endif()
endfunction()

function(repack_tgz package top folder)
  set(times "")
  if(NOT epoch STREQUAL "")
    set(times --mtime=@${epoch})
  endif()
  normalise_tree("${top}/${folder}")
  execute_process(
    COMMAND tar --sort=name --format=gnu --owner=root:0 --group=root:0 ${times}
            -cf - "${folder}"
    COMMAND gzip -9n
    WORKING_DIRECTORY "${top}"
    OUTPUT_FILE "${package}.new"
    RESULTS_VARIABLE statuses)
  if(NOT statuses STREQUAL "0;0")
    message(FATAL_ERROR "tar or gzip failed on ${package}")
  endif()
  file(RENAME "${package}.new" "${package}")
endfunction()

get_filename_component(top "${CPACK_TEMPORARY_DIRECTORY}" DIRECTORY)
get_filename_component(folder "${CPACK_TEMPORARY_DIRECTORY}" NAME)
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(package MATCHES "\\.deb$")
    repack_deb("${package}")
  elseif(package MATCHES "\\.zip$")
    repack_zip("${package}" "${top}" "${folder}")
  elseif(package MATCHES "\\.tar\\.gz$")
    repack_tgz("${package}" "${top}" "${folder}")
  endif()
endforeach()
