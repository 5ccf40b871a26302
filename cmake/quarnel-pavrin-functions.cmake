# quarnel_add_tables() and pavrin_join(), documented at the top of
# quarnel-pavrin-config.cmake. Messages have no full stop inside them:
# CMake puts two blanks after one.

# Stops on unknown words or a keyword without its value, one per line as
# CMake shows indented lines; each further argument is the message for a
# missing required keyword, its first word.
function(_quarnel_pavrin_check_arguments caller)
  set(kinds UNPARSED_ARGUMENTS KEYWORDS_MISSING_VALUES)
  set(problems "unknown arguments" "no value given for")
  foreach(kind problem IN ZIP_LISTS kinds problems)
    if(arg_${kind})
      list(JOIN arg_${kind} "\n  " words)
      message(FATAL_ERROR "${caller}: ${problem}:\n  ${words}")
    endif()
  endforeach()
  foreach(required IN LISTS ARGN)
    string(REGEX MATCH "^[A-Z]+" keyword "${required}")
    if(NOT arg_${keyword})
      message(FATAL_ERROR "${caller}: ${required}")
    endif()
  endforeach()
endfunction()

# Names no rule can carry stop the configure step: CMake reads \ as a folder
# separator, a line break ends a command, a made file holds none of MADE,
# and make reads *, ? and [ in a rule as patterns.
function(_quarnel_pavrin_check_name caller file made)
  if(file MATCHES "[\\\n${made}]")
    message(FATAL_ERROR "${caller}: ${file}: CMake cannot carry a name with \\ or a line break "
      "into a rule, nor one with #, < or > into a file it makes, nor $ into one it compiles; rename it")
  endif()
  if(CMAKE_GENERATOR MATCHES "Makefiles" AND file MATCHES "[*?[]")
    message(FATAL_ERROR "${caller}: ${file}: make would read *, ? or [ in a rule as a "
      "pattern that matches other files; rename it, or use the Ninja generator")
  endif()
endfunction()

# A missing input outside the build folder that no rule added so far makes
# is a mistake no later rule can mend (rules write into the build folder):
# stopping here shows the call in CMake's call stack.
function(_quarnel_pavrin_check_inputs caller)
  foreach(file IN LISTS ARGN)
    _quarnel_pavrin_check_name(${caller} "${file}" "")
    get_source_file_property(generated "${file}" GENERATED)
    cmake_path(IS_PREFIX CMAKE_BINARY_DIR "${file}" in_build)
    if(NOT EXISTS "${file}" AND NOT generated AND NOT in_build)
      message(FATAL_ERROR "${caller}: ${file} does not exist, and no rule of this build makes it")
    endif()
  endforeach()
endfunction()

# Adds the rule that makes OUTPUT with COMMAND (the tool's target first);
# RENAME <from> <to> then moves the output into place. make and Ninja hand
# it to /bin/sh, where VERBATIM leaves ?, [, ], { and } bare (m[1].map would
# be m1.map), so there every word but the tool (CMake quotes it) and the
# shell's operators is single-quoted here, ' as '\'' and $ doubled.
function(_quarnel_pavrin_add_command caller output)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "COMMENT;WORKING_DIRECTORY" "COMMAND;DEPENDS;RENAME")
  if(NOT (CMAKE_HOST_UNIX AND CMAKE_GENERATOR MATCHES "^(Ninja|Unix Makefiles)"))
    if(arg_RENAME)
      list(APPEND arg_COMMAND && "${CMAKE_COMMAND}" -E rename ${arg_RENAME})
    endif()
    add_custom_command(OUTPUT "${output}" COMMAND ${arg_COMMAND} DEPENDS ${arg_DEPENDS}
      WORKING_DIRECTORY "${arg_WORKING_DIRECTORY}" COMMENT "${arg_COMMENT}" VERBATIM)
    return()
  endif()
  if(arg_WORKING_DIRECTORY MATCHES "[][?{}]")
    message(FATAL_ERROR "${caller}: CMake cannot run a command in ${arg_WORKING_DIRECTORY}, "
      "whose name holds ?, [, ], { or }; move the files")
  endif()
  # A failed run removes both files of RENAME: neither passes for up to date.
  if(arg_RENAME)
    list(APPEND arg_COMMAND && mv -f ${arg_RENAME} || "(" rm -f ${arg_RENAME} && false ")")
  endif()
  list(POP_FRONT arg_COMMAND command)
  foreach(word IN LISTS arg_COMMAND)
    if(NOT word MATCHES "^(>|&&|[|][|]|[()])$")
      string(REPLACE "'" "'\\''" word "${word}")
      string(REPLACE "$" "$$" word "${word}")
      string(REPLACE " " "' '" word "${word}")
      set(word "'${word}'")
    endif()
    list(APPEND command "${word}")
  endforeach()
  add_custom_command(OUTPUT "${output}" COMMAND ${command} DEPENDS ${arg_DEPENDS}
    WORKING_DIRECTORY "${arg_WORKING_DIRECTORY}" COMMENT "${arg_COMMENT}")
endfunction()

# The tools run at build time, so they must be the build machine's: a
# package's, a native build's, or the host build's (host-tools.cmake), which
# TARGET then waits for. A cross build of this project has target tools.
function(_quarnel_pavrin_use_tool caller tool target)
  if(NOT TARGET quarnel-pavrin::${tool})
    message(FATAL_ERROR "${caller}: there is no target quarnel-pavrin::${tool}; "
      "load the tools with find_package(quarnel-pavrin 1.0 CONFIG REQUIRED)")
  endif()
  get_target_property(built_here quarnel-pavrin::${tool} ALIASED_TARGET)
  if(built_here AND CMAKE_CROSSCOMPILING)
    message(FATAL_ERROR "${caller}: this is a cross build of quarnel-pavrin itself, so the ${tool} "
      "built here runs on the target, not on this machine; load the build machine's tools with "
      "find_package(quarnel-pavrin 1.0 CONFIG REQUIRED) and "
      "-Dquarnel-pavrin_DIR=<host prefix>/share/cmake/quarnel-pavrin")
  endif()
  get_property(host_build GLOBAL PROPERTY quarnel_pavrin_host_build)
  if(host_build)
    add_dependencies(${target} ${host_build})
  endif()
endfunction()

# Two calls whose outputs land on one KEY (a file name in a folder, a label
# in a target, a join's output) are refused rather than overwrite each
# other, race or clash at link time; a label in two targets clashes only if
# both go into one program: LEVEL WARNING. Keys and owners are kept in
# global properties named after SPACE.
function(_quarnel_pavrin_claim caller space key owner problem)
  get_property(keys GLOBAL PROPERTY "_quarnel_keys:${space}")
  get_property(owners GLOBAL PROPERTY "_quarnel_owners:${space}")
  list(FIND keys "${key}" index)
  if(index GREATER -1)
    list(GET owners ${index} earlier)
    set(level ${ARGN} FATAL_ERROR)
    list(GET level 0 level)
    message(${level} "${caller}: ${owner} and ${earlier} ${problem}")
    return()
  endif()
  set_property(GLOBAL APPEND PROPERTY "_quarnel_keys:${space}" "${key}")
  set_property(GLOBAL APPEND PROPERTY "_quarnel_owners:${space}" "${owner}")
endfunction()

# The texts of NAME.h and of the wrapper, from the template the Make fragment
# reads too: in share/quarnel-pavrin/ installed, beside the package in a
# build folder, in make/ in the source tree. A change to it reconfigures.
function(_quarnel_read_template header_var wrapper_var)
  set(here "${CMAKE_CURRENT_FUNCTION_LIST_DIR}")
  find_file(template quarnel-pavrin-template.mk NO_CACHE NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH
            PATHS "${here}/../../quarnel-pavrin" "${here}" "${here}/../make")
  if(NOT template)
    message(FATAL_ERROR "quarnel_add_tables: quarnel-pavrin-template.mk is missing "
      "from the quarnel-pavrin package in ${here}; install the package again")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${template}")
  file(READ "${template}" text)
  foreach(part header wrapper)  # between its define line and its endef line
    string(REGEX REPLACE ".*\ndefine quarnel_pavrin_${part}_text\n" "" body "${text}")
    string(REGEX REPLACE "\nendef\n.*" "\n" body "${body}")
    set(${${part}_var} "${body}" PARENT_SCOPE)
  endforeach()
endfunction()

# The tables are compiled in an enabled language, C (the default) or CXX;
# sets the wrappers' extension.
function(_quarnel_check_language caller target language extension_var)
  if(language STREQUAL "")
    set(language C)
  elseif(NOT language MATCHES "^(C|CXX)$")
    message(FATAL_ERROR "${caller}: LANGUAGE must be C or CXX, not ${language}")
  endif()
  get_property(languages GLOBAL PROPERTY ENABLED_LANGUAGES)
  if(NOT language IN_LIST languages)
    message(FATAL_ERROR "${caller}: the tables of ${target} are compiled as ${language}, which "
      "this project has not enabled; add it to the LANGUAGES of project() or call "
      "enable_language(${language}), or choose the other one with LANGUAGE")
  endif()
  string(REPLACE CXX .cpp extension "${language}")
  string(REPLACE C .c extension "${extension}")
  set(${extension_var} ${extension} PARENT_SCOPE)
endfunction()

# One .anm file: its claims on a name and a label, the rule that makes
# NAME.c, and NAME.h and the wrapper written now (file(CONFIGURE) leaves an
# unchanged file alone, so reconfiguring recompiles nothing). Reads the
# settings of quarnel_add_tables() and adds to its outputs and wrappers.
function(_quarnel_add_file file)
  cmake_path(GET file FILENAME NAME)
  cmake_path(GET file PARENT_PATH dir)
  _quarnel_pavrin_check_name(${caller} "${file}" "#<>$")
  # The name stem quarnel gives the tables: "anm_" and the name, with -l
  # lower-casing it, then every character outside [0-9A-Za-z_] (every byte
  # of a non-ASCII one, too) made '_'.
  set(LABEL "anm_${NAME}")
  if(arg_LOWER)
    string(TOLOWER "${LABEL}" LABEL)
  endif()
  string(REGEX REPLACE "[^0-9A-Za-z_]" "_" LABEL "${LABEL}")
  set(overwrite "have the same name, so their tables would overwrite each other in ${out_dir}")
  _quarnel_pavrin_claim(${caller} "${out_dir}" "${NAME}" "${file}"
    "${overwrite}; rename one or give the target another OUTPUT_DIR")
  set(same "give the same table names (${LABEL}_seq, ${LABEL}_ptr), which")
  _quarnel_pavrin_claim(${caller} "target ${target}" "${LABEL}" "${file}"
    "${same} would clash when ${target} is linked; rename one")
  _quarnel_pavrin_claim(${caller} "all targets" "${LABEL}" "${file} (target ${target})"
    "${same} clash if the two targets are linked into one program" WARNING)
  # quarnel shows the name it was given and takes its label from it, so it
  # runs in the file's folder on the bare name ("--x" is the file -x). It
  # writes part of its text before it notices a bad input, so its output is
  # renamed into place only on success; a temporary file an interrupted
  # build left is written over by the next build, which finds no NAME.c.
  if(NAME STREQUAL "-")
    message(FATAL_ERROR "${caller}: ${file}: quarnel reads a file named - only as "
      "standard input; rename it")
  endif()
  string(REGEX REPLACE "^-" "--" argument "${NAME}")
  set(tables "${out_dir}/${NAME}.c")
  _quarnel_pavrin_add_command(${caller} "${tables}"
    COMMAND quarnel-pavrin::quarnel ${options} "${argument}" > "${tables}.tmp"
    RENAME "${tables}.tmp" "${tables}"
    WORKING_DIRECTORY "${dir}"
    DEPENDS "${file}" "$<TARGET_FILE:quarnel-pavrin::quarnel>"
    COMMENT "Generating ${NAME}.c with quarnel")
  set(HEADER "${header_name}")
  file(CONFIGURE OUTPUT "${out_dir}/${NAME}.h" CONTENT "${header_text}" @ONLY)
  set(wrapper "${out_dir}/wrap/${NAME}${wrapper_extension}")
  file(CONFIGURE OUTPUT "${wrapper}" CONTENT "${wrapper_text}" @ONLY)
  set(outputs ${outputs} "${tables}" PARENT_SCOPE)
  set(wrappers ${wrappers} "${wrapper}" PARENT_SCOPE)
endfunction()

function(quarnel_add_tables target)
  set(caller quarnel_add_tables)
  cmake_parse_arguments(PARSE_ARGV 1 arg "LOWER;REVERSE" "HEADER;LANGUAGE;OUTPUT_DIR" "FILES")
  _quarnel_pavrin_check_arguments(${caller}
    "HEADER <header> is required: the header that defines SEQ, SPT, seq() and spt() for the generated tables"
    "FILES is required, followed by the .anm files")
  _quarnel_check_language(${caller} "${target}" "${arg_LANGUAGE}" wrapper_extension)
  cmake_path(ABSOLUTE_PATH arg_HEADER NORMALIZE OUTPUT_VARIABLE header)
  cmake_path(GET header FILENAME header_name)
  cmake_path(GET header PARENT_PATH header_dir)
  set(out_dir "${target}_quarnel")
  if(arg_OUTPUT_DIR)
    set(out_dir "${arg_OUTPUT_DIR}")
  endif()
  cmake_path(ABSOLUTE_PATH out_dir BASE_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}" NORMALIZE)
  file(MAKE_DIRECTORY "${out_dir}/wrap")
  set(options)
  if(arg_LOWER)
    list(APPEND options -l)
  endif()
  if(arg_REVERSE)
    list(APPEND options -r)
  endif()
  _quarnel_read_template(header_text wrapper_text)
  set(files)
  set(outputs)
  set(wrappers)
  foreach(file IN LISTS arg_FILES)
    cmake_path(ABSOLUTE_PATH file NORMALIZE)
    _quarnel_add_file("${file}")
    list(APPEND files "${file}")
  endforeach()
  _quarnel_pavrin_check_inputs(${caller} "${header}" ${files})
  # CMake runs a custom command only for targets of the directory that
  # added it, and <target> may live elsewhere: it waits for one made here.
  set(generator "${target}_quarnel_tables")
  set(count 1)
  while(TARGET ${generator})
    math(EXPR count "${count} + 1")
    set(generator "${target}_quarnel_tables_${count}")
  endwhile()
  add_custom_target(${generator} DEPENDS ${outputs})
  _quarnel_pavrin_use_tool(${caller} quarnel ${generator})
  add_dependencies(${target} ${generator})
  target_sources(${target} PRIVATE ${wrappers})
  target_include_directories(${target} PUBLIC "$<BUILD_INTERFACE:${out_dir}>"
                                              "$<BUILD_INTERFACE:${header_dir}>")
endfunction()

# -wN, -hN and -cN as pavrin's strtol() reads them (decimal, 0x hexadecimal,
# 0 octal): anything else, which pavrin would cut short, is refused, as is
# a value the map header cannot hold (0-255).
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
  # Past three digits (leading zeros aside) it is over 255 in any base.
  string(REGEX REPLACE "^0+" "" digits "${CMAKE_MATCH_1}")
  string(REGEX REPLACE "^.*(.)(.)(.)$" "(0x\\1*${base}+0x\\2)*${base}+0x\\3" number "000${digits}")
  math(EXPR number "${number}")
  if(digits MATCHES "...." OR number GREATER 255)
    message(FATAL_ERROR "${caller}: ${setting} ${value} lies outside 0-255, "
      "the sizes a map header holds")
  endif()
endfunction()

function(pavrin_join output)
  set(caller pavrin_join)
  cmake_parse_arguments(PARSE_ARGV 1 arg "HORIZONTAL" "TARGET;WIDTH;HEIGHT;CELL" "INPUTS")
  _quarnel_pavrin_check_arguments(${caller}
    "TARGET <name> is required: the target that makes ${output}"
    "INPUTS is required, followed by the .map files")
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
  _quarnel_pavrin_check_name(${caller} "${output}" "#<>")
  _quarnel_pavrin_claim(${caller} "pavrin_join outputs" "${output}" "TARGET ${arg_TARGET}"
    "both make ${output}; give one of them another output")
  cmake_path(GET output PARENT_PATH output_dir)
  file(MAKE_DIRECTORY "${output_dir}")
  set(inputs)
  foreach(input IN LISTS arg_INPUTS)
    cmake_path(ABSOLUTE_PATH input NORMALIZE)
    list(APPEND inputs "${input}")
  endforeach()
  _quarnel_pavrin_check_inputs(${caller} ${inputs})
  # pavrin reads every input before it opens the output and leaves it
  # untouched on failure, so it writes the output itself.
  _quarnel_pavrin_add_command(${caller} "${output}"
    COMMAND quarnel-pavrin::pavrin ${options} "-o${output}" ${inputs}
    DEPENDS ${inputs} "$<TARGET_FILE:quarnel-pavrin::pavrin>"
    COMMENT "Joining maps into ${output} with pavrin")
  add_custom_target(${arg_TARGET} ALL DEPENDS "${output}")
  _quarnel_pavrin_use_tool(${caller} pavrin ${arg_TARGET})
endfunction()
