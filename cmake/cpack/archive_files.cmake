# Run by cpack once it has staged the installed files of a static build's
# archive, before it packs them: README.md and LICENSE go to the top of the
# archive's folder too, where a user who unpacks it looks first.
if(NOT CPACK_GENERATOR STREQUAL "TGZ"
   OR CPACK_PACKAGE_FILE_NAME STREQUAL CPACK_SOURCE_PACKAGE_FILE_NAME)
  return()
endif()
file(COPY ${CPACK_QP_TOP_FILES} DESTINATION "${CPACK_TEMPORARY_DIRECTORY}")
