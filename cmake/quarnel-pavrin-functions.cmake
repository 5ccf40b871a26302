# quarnel_add_tables() and pavrin_join(), documented at the top of
# quarnel-pavrin-config.cmake. Loaded by that file, and by the project's own
# CMakeLists.txt so that they also work when it is added with
# add_subdirectory().
#
# Messages are worded with no full stop inside them: CMake puts two blanks
# after one.

# The tools run at build time, so they must be programs of the build machine:
# a package's, those a cross build that takes this project in builds apart
# for the build machine (host-tools.cmake), or those of a native build. Only
# a cross build of this project itself has tools for the target alone.
function(_quarnel_pavrin_require_host_tool caller tool)
  if(NOT TARGET quarnel-pavrin::${tool})
    message(FATAL_ERROR "${caller}: there is no target quarnel-pavrin::${tool}; "
      "load the tools with find_package(quarnel-pavrin 1.0 CONFIG REQUIRED).")
  endif()
  get_target_property(built_here quarnel-pavrin::${tool} ALIASED_TARGET)
  if(built_here AND CMAKE_CROSSCOMPILING)
    message(FATAL_ERROR "${caller}: this is a cross build of quarnel-pavrin itself, so the "
      "${tool} built here runs on the target, not on this machine; load the build "
      "machine's tools with find_package(quarnel-pavrin 1.0 CONFIG REQUIRED) and "
      "-Dquarnel-pavrin_DIR=<host prefix>/share/cmake/quarnel-pavrin")
  endif()
endfunction()

# Tools built apart for the build machine must be built before <target>
# runs them.
function(_quarnel_pavrin_wait_for_tools target)
  get_property(host_build GLOBAL PROPERTY quarnel_pavrin_host_build)
  if(host_build)
    add_dependencies(${target} ${host_build})
  endif()
endfunction()

# Stops on arguments the caller did not mean: unknown words, or a keyword
# without its value. The words go one per line, as CMake shows indented lines.
function(_quarnel_pavrin_check_arguments caller)
  if(arg_UNPARSED_ARGUMENTS)
    list(JOIN arg_UNPARSED_ARGUMENTS "\n  " words)
    message(FATAL_ERROR "${caller}: unknown arguments:\n  ${words}")
  endif()
  if(arg_KEYWORDS_MISSING_VALUES)
    list(JOIN arg_KEYWORDS_MISSING_VALUES "\n  " words)
    message(FATAL_ERROR "${caller}: no value given for:\n  ${words}")
  endif()
endfunction()

# An input must exist, or be made by a rule of the build, once the calling
# directory's configure step is over and every such rule is known; a missing
# one would otherwise only show at build time, as make's or ninja's "no rule".
# The file that made the call is kept, to name in the message.
function(_quarnel_pavrin_expect_inputs caller)
  get_property(scheduled DIRECTORY PROPERTY _quarnel_pavrin_files SET)
  if(NOT scheduled)
    cmake_language(DEFER CALL _quarnel_pavrin_check_inputs)
  endif()
  foreach(file IN LISTS ARGN)
    set_property(DIRECTORY APPEND PROPERTY _quarnel_pavrin_callers "${caller}")
    set_property(DIRECTORY APPEND PROPERTY _quarnel_pavrin_files "${file}")
    set_property(DIRECTORY APPEND PROPERTY _quarnel_pavrin_list_files "${CMAKE_CURRENT_LIST_FILE}")
  endforeach()
endfunction()

function(_quarnel_pavrin_check_inputs)
  get_property(callers DIRECTORY PROPERTY _quarnel_pavrin_callers)
  get_property(files DIRECTORY PROPERTY _quarnel_pavrin_files)
  get_property(list_files DIRECTORY PROPERTY _quarnel_pavrin_list_files)
  foreach(caller file list_file IN ZIP_LISTS callers files list_files)
    get_source_file_property(generated "${file}" GENERATED)
    if(NOT EXISTS "${file}" AND NOT generated)
      _quarnel_pavrin_call_site(${caller} "${list_file}" "${file}" site)
      message(SEND_ERROR "${site}: ${caller}: ${file} does not exist, and no rule of this build makes it")
    endif()
  endforeach()
endfunction()

# Where in LIST_FILE the call of CALLER that named INPUT stands, as
# "<file>:<line>". CMake tells a function which file called it but not the
# line, so the line is looked up in the file: the call whose text holds
# INPUT's file name, or else the file's only call of CALLER; failing both,
# the file alone.
function(_quarnel_pavrin_call_site caller list_file input out_var)
  file(READ "${list_file}" text)
  # Command names ignore case; the line break in front finds a call on line 1.
  string(TOLOWER "\n${text}" text)
  cmake_path(GET input FILENAME name)
  string(TOLOWER "${name}" name)
  set(line 0)
  set(calls)
  set(naming)
  while(text MATCHES "\n[ \t]*${caller}[ \t]*\\(")
    string(FIND "${text}" "${CMAKE_MATCH_0}" at)
    string(LENGTH "${CMAKE_MATCH_0}" length)
    math(EXPR at "${at} + ${length}")
    string(SUBSTRING "${text}" 0 ${at} before)
    string(SUBSTRING "${text}" ${at} -1 text)
    string(REGEX MATCHALL "\n" breaks "${before}")
    list(LENGTH breaks count)
    math(EXPR line "${line} + ${count}")
    list(APPEND calls ${line})
    string(FIND "${text}" ")" end)
    string(SUBSTRING "${text}" 0 ${end} arguments)
    string(FIND "${arguments}" "${name}" named)
    if(named GREATER -1)
      list(APPEND naming ${line})
    endif()
  endwhile()
  list(LENGTH naming count)
  if(NOT count EQUAL 1)
    set(naming ${calls})
  endif()
  list(LENGTH naming count)
  set(site "${list_file}")
  if(count EQUAL 1)
    string(APPEND site ":${naming}")
  endif()
  set(${out_var} "${site}" PARENT_SCOPE)
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

# Tables of one label in two targets are fine until both targets end up in
# one program, which CMake cannot foresee: a warning, not a refusal.
function(_quarnel_warn_shared_label label file target)
  get_property(earlier GLOBAL PROPERTY "_quarnel_label_owner:${label}")
  if(earlier)
    list(GET earlier 0 earlier_target)
    list(GET earlier 1 earlier_file)
    if(NOT earlier_target STREQUAL target)
      message(WARNING "quarnel_add_tables: ${file} (target ${target}) and ${earlier_file} "
        "(target ${earlier_target}) give the same table names (${label}_seq, ${label}_ptr), "
        "which clash if the two targets are linked into one program")
    endif()
  else()
    set_property(GLOBAL PROPERTY "_quarnel_label_owner:${label}" "${target}" "${file}")
  endif()
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

# The texts of NAME.h and of the wrapper, from the template that the Make
# fragment reads too: beside the fragment in an install
# (share/quarnel-pavrin/), beside the package files in a build folder, in
# make/ in the source tree. A change to it configures the project again.
function(_quarnel_read_template header_var wrapper_var)
  set(here "${CMAKE_CURRENT_FUNCTION_LIST_DIR}")
  foreach(dir "${here}/../../quarnel-pavrin" "${here}" "${here}/../make")
    if(EXISTS "${dir}/quarnel-pavrin-template.mk")
      set(template "${dir}/quarnel-pavrin-template.mk")
      break()
    endif()
  endforeach()
  if(NOT template)
    message(FATAL_ERROR "quarnel_add_tables: quarnel-pavrin-template.mk is missing "
      "from the quarnel-pavrin package in ${here}; install the package again")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${template}")
  file(READ "${template}" text)
  # Each text is what lies between its define line and the endef line.
  foreach(part header wrapper)
    set(start "\ndefine quarnel_pavrin_${part}_text\n")
    string(FIND "${text}" "${start}" begin)
    string(LENGTH "${start}" length)
    math(EXPR begin "${begin} + ${length}")
    string(SUBSTRING "${text}" ${begin} -1 rest)
    string(FIND "${rest}" "\nendef\n" end)
    string(SUBSTRING "${rest}" 0 ${end} body)
    set(${${part}_var} "${body}\n" PARENT_SCOPE)
  endforeach()
endfunction()

# The template's text with the file's name, label and header filled in, as
# the Make fragment fills it in.
function(_quarnel_fill text name label header out_var)
  string(REPLACE "@NAME@" "${name}" text "${text}")
  string(REPLACE "@LABEL@" "${label}" text "${text}")
  string(REPLACE "@HEADER@" "${header}" text "${text}")
  set(${out_var} "${text}" PARENT_SCOPE)
endfunction()

# <target> must compile sources of its own, in an enabled language; sets the
# wrappers' extension.
function(_quarnel_check_target caller target language extension_var)
  if(NOT TARGET "${target}")
    message(FATAL_ERROR "${caller}: ${target} is not a target; create it first "
      "(add_library() or add_executable())")
  endif()
  get_target_property(type "${target}" TYPE)
  get_target_property(imported "${target}" IMPORTED)
  if(imported OR type STREQUAL "INTERFACE_LIBRARY" OR type STREQUAL "UTILITY")
    message(FATAL_ERROR "${caller}: ${target} compiles no sources of its own; "
      "give a library or an executable of this project")
  endif()
  if(language STREQUAL "C")
    set(${extension_var} .c PARENT_SCOPE)
  elseif(language STREQUAL "CXX")
    set(${extension_var} .cpp PARENT_SCOPE)
  else()
    message(FATAL_ERROR "${caller}: LANGUAGE must be C or CXX, not ${language}")
  endif()
  get_property(languages GLOBAL PROPERTY ENABLED_LANGUAGES)
  if(NOT language IN_LIST languages)
    message(FATAL_ERROR "${caller}: the tables of ${target} are compiled as "
      "${language}, which this project has not enabled; add it to the "
      "LANGUAGES of project() or call enable_language(${language}), "
      "or choose the other one with LANGUAGE")
  endif()
endfunction()

# One .anm file: its claims on a name and a label, the rule that makes
# NAME.c, and NAME.h and the wrapper written now. Reads the settings of
# quarnel_add_tables() (target, out_dir, options, header texts).
function(_quarnel_add_file file tables_var wrapper_var)
  cmake_path(GET file FILENAME name)
  cmake_path(GET file PARENT_PATH dir)
  _quarnel_label("${name}" "${arg_LOWER}" label)
  _quarnel_claim("${out_dir}" "${name}" "${file}"
    "have the same name, so their tables would overwrite each other in ${out_dir}; rename one or give the target another OUTPUT_DIR")
  _quarnel_claim("${target}" "${label}" "${file}"
    "give the same table names (${label}_seq, ${label}_ptr), which would clash when ${target} is linked; rename one")
  _quarnel_warn_shared_label("${label}" "${file}" "${target}")

  # quarnel shows the name it was given in the text and takes its label from
  # it, so it runs in the file's folder on the bare name: no build path in
  # the output, the same bytes from every build folder. It reads "--x" as
  # the file -x.
  if(name STREQUAL "-")
    message(FATAL_ERROR "quarnel_add_tables: ${file}: quarnel reads a file named - only as "
      "standard input; rename it")
  endif()
  set(argument "${name}")
  if(name MATCHES "^-")
    set(argument "-${name}")
  endif()
  set(tables "${out_dir}/${name}.c")
  set(quarnel "$<TARGET_FILE:quarnel-pavrin::quarnel>")
  # Found beside this file, so the package works wherever its prefix went.
  set(dump_script "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/quarnel-pavrin-dump.cmake")
  add_custom_command(
    OUTPUT "${tables}"
    COMMAND "${CMAKE_COMMAND}" "-DQUARNEL=${quarnel}" "-DDIR=${dir}" "-DARGUMENT=${argument}"
            "-DOUTPUT=${tables}" ${options} -P "${dump_script}"
    DEPENDS "${file}" "${quarnel}" "${dump_script}"
    COMMENT "Generating ${name}.c with quarnel"
    VERBATIM)

  _quarnel_fill("${header_text}" "${name}" "${label}" "${header_name}" text)
  _quarnel_write_if_changed("${out_dir}/${name}.h" "${text}")
  set(wrapper "${out_dir}/wrap/${name}${wrapper_extension}")
  _quarnel_fill("${wrapper_text}" "${name}" "${label}" "${header_name}" text)
  _quarnel_write_if_changed("${wrapper}" "${text}")
  set(${tables_var} "${tables}" PARENT_SCOPE)
  set(${wrapper_var} "${wrapper}" PARENT_SCOPE)
endfunction()

# The commands that make the tables belong to a target of the calling
# directory, which <target> waits for: CMake only runs a custom command for
# targets of the directory that added it, and <target> may live elsewhere.
function(_quarnel_add_generator target outputs)
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
  _quarnel_pavrin_wait_for_tools(${generator})
  add_dependencies(${target} ${generator})
endfunction()

function(quarnel_add_tables target)
  set(caller quarnel_add_tables)
  cmake_parse_arguments(PARSE_ARGV 1 arg "LOWER;REVERSE" "HEADER;LANGUAGE;OUTPUT_DIR" "FILES")
  _quarnel_pavrin_check_arguments(${caller})
  if(NOT arg_HEADER)
    message(FATAL_ERROR "${caller}: HEADER <header> is required: the header that "
      "defines SEQ, SPT, seq() and spt() for the generated tables")
  endif()
  if(NOT arg_FILES)
    message(FATAL_ERROR "${caller}: FILES is required, followed by the .anm files")
  endif()
  if(NOT arg_LANGUAGE)
    set(arg_LANGUAGE C)
  endif()
  _quarnel_check_target(${caller} "${target}" "${arg_LANGUAGE}" wrapper_extension)
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
  _quarnel_read_template(header_text wrapper_text)

  set(files)
  set(outputs)
  set(wrappers)
  foreach(file IN LISTS arg_FILES)
    cmake_path(ABSOLUTE_PATH file NORMALIZE)
    _quarnel_add_file("${file}" tables wrapper)
    list(APPEND files "${file}")
    list(APPEND outputs "${tables}")
    list(APPEND wrappers "${wrapper}")
  endforeach()
  _quarnel_pavrin_expect_inputs(${caller} "${header}" ${files})
  _quarnel_add_generator(${target} "${outputs}")
  target_sources(${target} PRIVATE ${wrappers})
  target_include_directories(${target} PUBLIC "$<BUILD_INTERFACE:${out_dir}>"
                                              "$<BUILD_INTERFACE:${header_dir}>")
endfunction()

# What pavrin makes of the number in -wN, -hN or -cN, as strtol() reads it
# with base 0: decimal, 0x hexadecimal or 0 octal. A value with anything
# else in it, which pavrin would cut short, is refused here, as is one the
# map header cannot hold (0-255).
function(_pavrin_check_number caller setting value)
  if(value MATCHES "^0[xX]([0-9a-fA-F]+)$")
    set(base 16)
  elseif(value MATCHES "^0([0-7]*)$")
    set(base 8)
  elseif(value MATCHES "^([1-9][0-9]*)$")
    set(base 10)
  else()
    message(FATAL_ERROR "${caller}: ${setting} ${value} is not a number "
      "(pavrin reads decimal, 0x hexadecimal and 0 octal)")
  endif()
  # Past three digits, leading zeros aside, the value is above 255 in any base.
  string(REGEX REPLACE "^0+" "" digits "${CMAKE_MATCH_1}")
  string(REGEX MATCHALL "." digits "${digits}")
  list(LENGTH digits length)
  set(number 256)
  if(length LESS_EQUAL 3)
    set(number 0)
    foreach(digit IN LISTS digits)
      math(EXPR number "${number} * ${base} + 0x${digit}")
    endforeach()
  endif()
  if(number GREATER 255)
    message(FATAL_ERROR "${caller}: ${setting} ${value} lies outside 0-255, "
      "the sizes a map header holds")
  endif()
endfunction()

# One output, one pavrin_join(): two rules for one file would race, or be
# CMake's own less telling error.
function(_pavrin_claim_output output target)
  get_property(earlier GLOBAL PROPERTY "_pavrin_join_output:${output}")
  if(earlier)
    message(FATAL_ERROR "pavrin_join: TARGET ${target} and TARGET ${earlier} "
      "both make ${output}; give one of them another output")
  endif()
  set_property(GLOBAL PROPERTY "_pavrin_join_output:${output}" "${target}")
endfunction()

function(pavrin_join output)
  set(caller pavrin_join)
  cmake_parse_arguments(PARSE_ARGV 1 arg "HORIZONTAL" "TARGET;WIDTH;HEIGHT;CELL" "INPUTS")
  _quarnel_pavrin_check_arguments(${caller})
  if(NOT arg_TARGET)
    message(FATAL_ERROR "${caller}: TARGET <name> is required: the target that makes ${output}")
  endif()
  if(TARGET "${arg_TARGET}")
    message(FATAL_ERROR "${caller}: a target named ${arg_TARGET} already exists")
  endif()
  if(NOT arg_INPUTS)
    message(FATAL_ERROR "${caller}: INPUTS is required, followed by the .map files")
  endif()
  _quarnel_pavrin_require_host_tool(${caller} pavrin)

  set(options)
  if(arg_HORIZONTAL)
    list(APPEND options -x)
  endif()
  set(settings WIDTH HEIGHT CELL)
  set(flags -w -h -c)
  foreach(setting option IN ZIP_LISTS settings flags)
    if(DEFINED arg_${setting})
      _pavrin_check_number(${caller} ${setting} "${arg_${setting}}")
      list(APPEND options "${option}${arg_${setting}}")
    endif()
  endforeach()

  cmake_path(ABSOLUTE_PATH output BASE_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}" NORMALIZE)
  _pavrin_claim_output("${output}" "${arg_TARGET}")
  cmake_path(GET output PARENT_PATH output_dir)
  file(MAKE_DIRECTORY "${output_dir}")
  set(inputs)
  foreach(input IN LISTS arg_INPUTS)
    cmake_path(ABSOLUTE_PATH input NORMALIZE)
    list(APPEND inputs "${input}")
  endforeach()
  _quarnel_pavrin_expect_inputs(${caller} ${inputs})

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
  _quarnel_pavrin_wait_for_tools(${arg_TARGET})
endfunction()
