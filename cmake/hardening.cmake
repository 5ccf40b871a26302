# Hardened ELF binaries, as Debian expects of a package: fortified libc
# calls, a stack protector, position-independent executables and a
# relocation table made read-only and bound at start-up. MinGW does not
# link these, so Windows builds go without.
include(CheckPIESupported)

set(hardening_default OFF)
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang" AND NOT WIN32 AND NOT APPLE)
  set(hardening_default ON)
endif()
option(QUARNEL_PAVRIN_HARDENING "Fortify, stack protector, PIE, RELRO and BIND_NOW" ${hardening_default})

if(QUARNEL_PAVRIN_HARDENING)
  check_pie_supported(LANGUAGES CXX)
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  add_compile_options(-fstack-protector-strong)
  add_link_options(LINKER:-z,relro,-z,now)
  # Fortification only works with optimisation, and it wraps the same libc
  # calls that AddressSanitizer and libFuzzer intercept, hiding accesses
  # from them. Some compilers define it already: redefine, do not warn.
  if(NOT QUARNEL_PAVRIN_FUZZING AND NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize")
    add_compile_options(
      "$<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
  endif()
endif()

# A static build runs on any Linux of its processor, whatever C library it
# has, or none. Hardened, it is linked static-pie and keeps the address
# randomisation. -static-pie among the link flags would not do: CMake puts
# its own -fPIE -pie after them, and the result is dynamic again, so the
# PIE link options themselves are replaced.
option(QUARNEL_PAVRIN_STATIC "Link the programs statically (static-pie when hardened)" OFF)
if(QUARNEL_PAVRIN_STATIC)
  if(QUARNEL_PAVRIN_HARDENING)
    set(CMAKE_CXX_LINK_OPTIONS_PIE -fPIE -static-pie)
  else()
    add_link_options(-static)
  endif()
endif()
