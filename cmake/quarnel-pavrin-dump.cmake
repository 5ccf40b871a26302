# Makes one NAME.c for quarnel_add_tables(): runs quarnel in the .anm file's
# folder on the name given, writes a temporary file and renames it over
# NAME.c only when quarnel succeeded. quarnel writes part of its text before
# it notices a bad input, so a failed run must leave no NAME.c that a later
# build would take as up to date.
#
#   cmake -DQUARNEL=<quarnel> -DDIR=<folder> -DARGUMENT=<name> -DOUTPUT=<NAME.c>
#         [-DLOWER=ON] [-DREVERSE=ON] -P quarnel-pavrin-dump.cmake
set(options)
if(LOWER)
  list(APPEND options -l)
endif()
if(REVERSE)
  list(APPEND options -r)
endif()
execute_process(COMMAND "${QUARNEL}" ${options} "${ARGUMENT}"
                WORKING_DIRECTORY "${DIR}"
                OUTPUT_FILE "${OUTPUT}.tmp"
                RESULT_VARIABLE status)
if(NOT status STREQUAL "0")
  file(REMOVE "${OUTPUT}.tmp" "${OUTPUT}")
  message(FATAL_ERROR "quarnel failed on ${DIR}/${ARGUMENT}: ${status}")
endif()
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
