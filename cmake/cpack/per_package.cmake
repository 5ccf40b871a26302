# Read by cpack before it builds each package.
#
# The source tarball of a git checkout holds exactly the files git tracks:
# no build folders, editor files or other untracked files, whatever their
# names. They are copied to a folder of their own, which then is the only
# folder cpack packs.
if(NOT CPACK_PACKAGE_FILE_NAME STREQUAL CPACK_SOURCE_PACKAGE_FILE_NAME
   OR NOT EXISTS "${CPACK_QP_SOURCE_DIR}/.git")
  return()
endif()
find_program(GIT git)
if(NOT GIT)
  message(FATAL_ERROR "git is needed to list the tracked files of ${CPACK_QP_SOURCE_DIR}")
endif()
execute_process(
  COMMAND "${GIT}" -c core.quotePath=false ls-files
  WORKING_DIRECTORY "${CPACK_QP_SOURCE_DIR}"
  OUTPUT_VARIABLE tracked
  RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR tracked STREQUAL "")
  message(FATAL_ERROR "git ls-files failed in ${CPACK_QP_SOURCE_DIR}")
endif()
# git quotes names it cannot show as they are; a CMake list cannot hold ';'.
if(tracked MATCHES "(^|\n)\"" OR tracked MATCHES ";")
  message(FATAL_ERROR "a tracked file name has a quote, a control character or a ';'")
endif()
string(STRIP "${tracked}" tracked)
string(REPLACE "\n" ";" tracked "${tracked}")

file(REMOVE_RECURSE "${CPACK_QP_STAGE_DIR}")
foreach(name IN LISTS tracked)
  get_filename_component(folder "${CPACK_QP_STAGE_DIR}/${name}" DIRECTORY)
  file(COPY "${CPACK_QP_SOURCE_DIR}/${name}" DESTINATION "${folder}")
endforeach()
set(CPACK_INSTALLED_DIRECTORIES "${CPACK_QP_STAGE_DIR};/")
set(CPACK_IGNORE_FILES "")
