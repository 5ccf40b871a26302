# quarnel_add_tables() and pavrin_join(), documented at the top of
# quarnel-pavrin-config.cmake. Loaded by that file, and by the project's own
# CMakeLists.txt so that they also work when it is added with
# add_subdirectory().

# The tools run at build time, so they must be programs of the build machine.
# Added with add_subdirectory() to a cross build they are built for the
# target instead, and running them would fail only later, at build time.
function(_quarnel_pavrin_require_host_tool caller tool)
  if(NOT TARGET quarnel-pavrin::${tool})
    message(FATAL_ERROR "${caller}: there is no target quarnel-pavrin::${tool}; "
      "load the tools with find_package(quarnel-pavrin 1.0 CONFIG REQUIRED).")
  endif()
  get_target_property(built_here quarnel-pavrin::${tool} ALIASED_TARGET)
  if(built_here AND CMAKE_CROSSCOMPILING)
    message(FATAL_ERROR "${caller}: this is a cross build, so the ${tool} built here "
      "with add_subdirectory() runs on the target, not on this machine. Build and "
      "install quarnel-pavrin for this machine and load that instead: "
      "find_package(quarnel-pavrin 1.0 CONFIG REQUIRED) with "
      "-Dquarnel-pavrin_DIR=<host prefix>/share/cmake/quarnel-pavrin.")
  endif()
endfunction()

# Stops on arguments the caller did not mean: unknown words, or a keyword
# without its value.
function(_quarnel_pavrin_check_arguments caller)
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "${caller}: unexpected arguments: ${arg_UNPARSED_ARGUMENTS}")
  endif()
  if(arg_KEYWORDS_MISSING_VALUES)
    message(FATAL_ERROR "${caller}: no value given for: ${arg_KEYWORDS_MISSING_VALUES}")
  endif()
endfunction()

# The name stem quarnel gives the tables of a file it reads as <name>: "anm_"
# and the name, with -l lower-casing it, then every character outside
# [0-9A-Za-z_] (every byte of a non-ASCII one, too) made '_'.
function(_quarnel_label name lower out_var)
  set(label "anm_${name}")
  if(lower)
    string(TOLOWER "${label}" label)
  endif()
  string(REGEX REPLACE "[^0-9A-Za-z_]" "_" label "${label}")
  set(${out_var} "${label}" PARENT_SCOPE)
endfunction()

# Two files whose tables would land on the same KEY (a file name in one
# folder, or a label in one target) are refused at configure time rather
# than overwriting each other or clashing at link time. The keys and the
# files that took them are kept in global properties named after SPACE.
function(_quarnel_claim space key file problem)
  get_property(keys GLOBAL PROPERTY "_quarnel_keys:${space}")
  get_property(files GLOBAL PROPERTY "_quarnel_files:${space}")
  list(FIND keys "${key}" index)
  if(index GREATER -1)
    list(GET files ${index} earlier)
    message(FATAL_ERROR "quarnel_add_tables: ${file} and ${earlier} ${problem}")
  endif()
  set_property(GLOBAL APPEND PROPERTY "_quarnel_keys:${space}" "${key}")
  set_property(GLOBAL APPEND PROPERTY "_quarnel_files:${space}" "${file}")
endfunction()

# Generated headers and wrappers are rewritten only when their text changes,
# so a new configure run does not recompile what includes them.
function(_quarnel_write_if_changed path text)
  if(EXISTS "${path}")
    file(READ "${path}" old)
    if(old STREQUAL text)
      return()
    endif()
  endif()
  file(WRITE "${path}" "${text}")
endfunction()

function(quarnel_add_tables target)
  set(caller quarnel_add_tables)
  cmake_parse_arguments(PARSE_ARGV 1 arg "LOWER;REVERSE" "HEADER;LANGUAGE;OUTPUT_DIR" "FILES")
  _quarnel_pavrin_check_arguments(${caller})
  if(NOT TARGET "${target}")
    message(FATAL_ERROR "${caller}: ${target} is not a target; create it first "
      "(add_library() or add_executable()).")
  endif()
  get_target_property(type "${target}" TYPE)
  get_target_property(imported "${target}" IMPORTED)
  if(imported OR type STREQUAL "INTERFACE_LIBRARY" OR type STREQUAL "UTILITY")
    message(FATAL_ERROR "${caller}: ${target} compiles no sources of its own; "
      "give a library or an executable of this project.")
  endif()
  if(NOT arg_HEADER)
    message(FATAL_ERROR "${caller}: HEADER <header> is required: the header that "
      "defines SEQ, SPT, seq() and spt() for the generated tables.")
  endif()
  if(NOT arg_FILES)
    message(FATAL_ERROR "${caller}: FILES <file.anm>... is required.")
  endif()
  if(NOT arg_LANGUAGE)
    set(arg_LANGUAGE C)
  endif()
  if(arg_LANGUAGE STREQUAL "C")
    set(wrapper_extension .c)
  elseif(arg_LANGUAGE STREQUAL "CXX")
    set(wrapper_extension .cpp)
  else()
    message(FATAL_ERROR "${caller}: LANGUAGE must be C or CXX, not ${arg_LANGUAGE}.")
  endif()
  get_property(languages GLOBAL PROPERTY ENABLED_LANGUAGES)
  if(NOT arg_LANGUAGE IN_LIST languages)
    message(FATAL_ERROR "${caller}: the tables of ${target} are compiled as "
      "${arg_LANGUAGE}, which this project has not enabled; add it to "
      "project(... LANGUAGES ...) or call enable_language(${arg_LANGUAGE}), "
      "or choose the other one with LANGUAGE.")
  endif()
  _quarnel_pavrin_require_host_tool(${caller} quarnel)

  cmake_path(ABSOLUTE_PATH arg_HEADER NORMALIZE OUTPUT_VARIABLE header)
  cmake_path(GET header FILENAME header_name)
  cmake_path(GET header PARENT_PATH header_dir)
  if(arg_OUTPUT_DIR)
    cmake_path(ABSOLUTE_PATH arg_OUTPUT_DIR BASE_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}"
      NORMALIZE OUTPUT_VARIABLE out_dir)
  else()
    set(out_dir "${CMAKE_CURRENT_BINARY_DIR}/${target}_quarnel")
  endif()
  file(MAKE_DIRECTORY "${out_dir}/wrap")

  set(options)
  if(arg_LOWER)
    list(APPEND options -DLOWER=ON)
  endif()
  if(arg_REVERSE)
    list(APPEND options -DREVERSE=ON)
  endif()
  set(quarnel "$<TARGET_FILE:quarnel-pavrin::quarnel>")
  # Found beside this file, so the package works wherever its prefix went.
  set(dump_script "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/quarnel-pavrin-dump.cmake")

  set(outputs)
  set(wrappers)
  foreach(file IN LISTS arg_FILES)
    cmake_path(ABSOLUTE_PATH file NORMALIZE)
    cmake_path(GET file FILENAME name)
    cmake_path(GET file PARENT_PATH dir)
    _quarnel_label("${name}" "${arg_LOWER}" label)
    _quarnel_claim("${out_dir}" "${name}" "${file}"
      "have the same name, so their tables would overwrite each other in ${out_dir}; rename one or give the target another OUTPUT_DIR.")
    _quarnel_claim("${target}" "${label}" "${file}"
      "give the same table names (${label}_seq, ${label}_ptr), which would clash when ${target} is linked; rename one.")

    # quarnel shows the name it was given in the text and takes its label from
    # it, so it runs in the file's folder on the bare name: no build path in
    # the output, the same bytes from every build folder. It reads "--x" as
    # the file -x.
    if(name STREQUAL "-")
      message(FATAL_ERROR "${caller}: ${file}: quarnel reads a file named - only as "
        "standard input; rename it.")
    endif()
    set(argument "${name}")
    if(name MATCHES "^-")
      set(argument "-${name}")
    endif()
    set(tables "${out_dir}/${name}.c")
    add_custom_command(
      OUTPUT "${tables}"
      COMMAND "${CMAKE_COMMAND}" "-DQUARNEL=${quarnel}" "-DDIR=${dir}" "-DARGUMENT=${argument}"
              "-DOUTPUT=${tables}" ${options} -P "${dump_script}"
      DEPENDS "${file}" "${quarnel}" "${dump_script}"
      COMMENT "Generating ${name}.c with quarnel"
      VERBATIM)
    list(APPEND outputs "${tables}")

    _quarnel_write_if_changed("${out_dir}/${name}.h"
"/* The tables that quarnel makes from ${name} into ${name}.c. */
#ifndef QUARNEL_TABLES_${label}
#define QUARNEL_TABLES_${label}

#include \"${header_name}\"

#ifdef __cplusplus
extern \"C\" {
#endif

extern SEQ ${label}_seq[];
extern SPT *${label}_ptr[];

#ifdef __cplusplus
}
#endif

#endif
")
    # The declarations come first: compiled as C++, const tables would
    # otherwise have internal linkage and be out of other files' reach.
    set(wrapper "${out_dir}/wrap/${name}${wrapper_extension}")
    _quarnel_write_if_changed("${wrapper}"
"/* Compiles the tables of ${name} after their declarations. */
#include \"../${name}.h\"
#include \"../${name}.c\"
")
    list(APPEND wrappers "${wrapper}")
  endforeach()

  # The generating commands belong to a target of this directory, which
  # <target> waits for: CMake only runs a custom command for targets of the
  # directory that added it, and <target> may live elsewhere.
  get_property(count GLOBAL PROPERTY "_quarnel_generators:${target}")
  if(NOT count)
    set(count 0)
  endif()
  math(EXPR count "${count} + 1")
  set_property(GLOBAL PROPERTY "_quarnel_generators:${target}" ${count})
  set(generator "${target}_quarnel_tables")
  if(count GREATER 1)
    string(APPEND generator "_${count}")
  endif()
  add_custom_target(${generator} DEPENDS ${outputs})
  add_dependencies(${target} ${generator})

  target_sources(${target} PRIVATE ${wrappers})
  target_include_directories(${target} PUBLIC "$<BUILD_INTERFACE:${out_dir}>"
                                              "$<BUILD_INTERFACE:${header_dir}>")
endfunction()

function(pavrin_join output)
  set(caller pavrin_join)
  cmake_parse_arguments(PARSE_ARGV 1 arg "HORIZONTAL" "TARGET;WIDTH;HEIGHT;CELL" "INPUTS")
  _quarnel_pavrin_check_arguments(${caller})
  if(NOT arg_TARGET)
    message(FATAL_ERROR "${caller}: TARGET <name> is required: the target that makes ${output}.")
  endif()
  if(TARGET "${arg_TARGET}")
    message(FATAL_ERROR "${caller}: a target named ${arg_TARGET} already exists.")
  endif()
  if(NOT arg_INPUTS)
    message(FATAL_ERROR "${caller}: INPUTS <file.map>... is required.")
  endif()
  _quarnel_pavrin_require_host_tool(${caller} pavrin)

  set(options)
  if(arg_HORIZONTAL)
    list(APPEND options -x)
  endif()
  set(settings WIDTH HEIGHT CELL)
  set(flags -w -h -c)
  foreach(setting option IN ZIP_LISTS settings flags)
    set(value "${arg_${setting}}")
    if(NOT value STREQUAL "")
      if(NOT value MATCHES "^([0-9]+|0[xX][0-9a-fA-F]+)$")
        message(FATAL_ERROR "${caller}: ${setting} must be a number, not ${value}.")
      endif()
      list(APPEND options "${option}${value}")
    endif()
  endforeach()

  cmake_path(ABSOLUTE_PATH output BASE_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}" NORMALIZE)
  cmake_path(GET output PARENT_PATH output_dir)
  file(MAKE_DIRECTORY "${output_dir}")
  set(inputs)
  foreach(input IN LISTS arg_INPUTS)
    cmake_path(ABSOLUTE_PATH input NORMALIZE)
    list(APPEND inputs "${input}")
  endforeach()

  # pavrin reads every input before it opens the output, and a failed run
  # leaves the output untouched, so it writes the output itself.
  set(pavrin "$<TARGET_FILE:quarnel-pavrin::pavrin>")
  add_custom_command(
    OUTPUT "${output}"
    COMMAND "${pavrin}" ${options} "-o${output}" ${inputs}
    DEPENDS ${inputs} "${pavrin}"
    COMMENT "Joining maps into ${output} with pavrin"
    VERBATIM)
  add_custom_target(${arg_TARGET} ALL DEPENDS "${output}")
endfunction()
