# Runs one step of the build of quarnel and pavrin for the build machine
# that a cross build makes (host-tools.cmake), its output kept in LOG. The
# target's compilers and flags in the environment are left out: that build
# would take them for its own. A failure says which build failed and shows
# the log's error lines in the game's build output.
#
#   cmake -DSTEP=<step> -DLOG=<file> -DCOMPILER=<compiler> -P host-build-step.cmake -- <command>...
foreach(variable CC CXX CFLAGS CXXFLAGS LDFLAGS CMAKE_TOOLCHAIN_FILE)
  unset(ENV{${variable}})
endforeach()
math(EXPR last "${CMAKE_ARGC} - 1")
set(command)
foreach(i RANGE ${last})
  if(after_dashes)
    list(APPEND command "${CMAKE_ARGV${i}}")
  elseif(CMAKE_ARGV${i} STREQUAL "--")
    set(after_dashes ON)
  endif()
endforeach()
execute_process(COMMAND ${command} OUTPUT_FILE "${LOG}" ERROR_FILE "${LOG}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  # A CMake error's indented lines say what went wrong.
  file(STRINGS "${LOG}" lines)
  set(errors)
  set(cmake_error OFF)
  foreach(line IN LISTS lines)
    if(line MATCHES "^CMake Error")
      set(cmake_error ON)
    elseif(NOT line MATCHES "^(  |$)")
      set(cmake_error OFF)
    endif()
    if((cmake_error AND line) OR line MATCHES "[Ee][Rr][Rr][Oo][Rr]")
      list(APPEND errors "${line}")
    endif()
  endforeach()
  list(JOIN errors "\n  " errors)
  message(FATAL_ERROR "quarnel-pavrin: the ${STEP} step of the build of quarnel and pavrin "
    "for the build machine, with the C++ compiler ${COMPILER}, failed (${status}); "
    "the error lines of its log, ${LOG}:\n  ${errors}")
endif()
