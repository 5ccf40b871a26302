#[=======================================================================[.rst:
quarnel-pavrin
--------------

The build machine's ``quarnel`` (sprite animations to C tables) and
``pavrin`` (cell map joiner), and functions that run them at build time::

  find_package(quarnel-pavrin 1.0 CONFIG REQUIRED)

The package holds host programs only, so it fits any target: in a cross
build whose toolchain file confines package search to the target's root
(``CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY``), point it at the host's copy
with ``-Dquarnel-pavrin_DIR=<host prefix>/share/cmake/quarnel-pavrin``, or
call ``find_package(quarnel-pavrin 1.0 CONFIG REQUIRED NO_CMAKE_FIND_ROOT_PATH)``
with the host prefix in ``CMAKE_PREFIX_PATH``. The package is relocatable,
and a build folder of the project works as ``quarnel-pavrin_DIR`` too.

Vendored or fetched
^^^^^^^^^^^^^^^^^^^

A game can instead keep the project's source in its own tree (a git
submodule at a commit) or fetch it at configure time, pinned to a commit,
and then use the functions below with the same lines natively and in a
cross build::

  add_subdirectory(third_party/quarnel-pavrin)

or::

  include(FetchContent)
  FetchContent_Declare(quarnel-pavrin
    GIT_REPOSITORY <url of the repository>
    GIT_TAG <commit>
    FIND_PACKAGE_ARGS 1.0 CONFIG)
  FetchContent_MakeAvailable(quarnel-pavrin)

With ``FIND_PACKAGE_ARGS``, ``FetchContent_MakeAvailable()`` first calls
``find_package(quarnel-pavrin 1.0 CONFIG)`` and, when that finds an
installed package, takes it and fetches nothing. A toolchain file that
confines package search to the target's root hides a host prefix from it:
name the package with ``quarnel-pavrin_DIR``, or add
``NO_CMAKE_FIND_ROOT_PATH`` to ``FIND_PACKAGE_ARGS`` and put the host prefix
in ``CMAKE_PREFIX_PATH``. A package the game loaded with ``find_package()``
before taking the project in is kept.

Natively, the tools are built as part of the game, and their tests,
benchmark and packaging stay out. Nothing is installed unless the game sets
``QUARNEL_PAVRIN_INSTALL`` to ``ON`` (it is on by default only when the
project is the top level).

In a cross build (``CMAKE_CROSSCOMPILING``) the tools must still run on the
build machine, so the project compiles nothing with the target's compilers
and enables no language: a toolchain with a C compiler only will do. Its
tools come from a build of the same source for the build machine, made
with ``ExternalProject`` in ``host/`` of the project's build folder
(``<game build>/third_party/quarnel-pavrin/host``,
``<game build>/_deps/quarnel-pavrin-build/host``): in Release, without
tests, with the build machine's default C++ compiler and no toolchain file,
not even one named by the ``CMAKE_TOOLCHAIN_FILE`` environment variable;
the target's ``CC``, ``CXX``, ``CFLAGS``, ``CXXFLAGS`` and ``LDFLAGS`` in the
environment are left out of it too.
That build is part of the game's build. It is made before the first table
or map that needs the tools, and made again by a build of the game when a
file in ``quarnel/``, ``pavrin/`` or ``cmake/`` or the project's
``CMakeLists.txt`` has changed; a tool it relinks makes its outputs again,
and otherwise nothing more is done. Its configure and build steps write
their output to ``configure.log`` and ``build.log`` in
``quarnel_pavrin_host-prefix/src/quarnel_pavrin_host-stamp/`` of the
project's build folder; a step that fails says, in the game's build
output, that this build of the tools for the build machine failed, with
which compiler, and shows the error lines of its log. With
``QUARNEL_PAVRIN_INSTALL`` set to ``ON`` the tools are also built for the
target and installed with the game, package and all; the functions still
run the build machine's.

Cache variables of a cross build:

``QUARNEL_PAVRIN_HOST_CXX_COMPILER``
  The C++ compiler for the build of the tools for the build machine.
  Empty (the default): the one CMake finds on the ``PATH`` (``c++``
  first); ``CXX`` in the environment is the target's and is ignored.
  A name that is no program of the build machine stops the configure step.
``QUARNEL_PAVRIN_HOST_CXX_FLAGS``
  The C++ compiler flags of that build (default: none).
``QUARNEL_PAVRIN_HOST_PREFIX``
  The prefix of a quarnel-pavrin installed for the build machine. Its
  package is loaded, from outside the target's root, and nothing is built.
``quarnel-pavrin_DIR``
  Set by the user, the same: the package in that folder
  (``<host prefix>/share/cmake/quarnel-pavrin``, or a build folder of the
  project) is loaded and nothing is built.

Imported Targets
^^^^^^^^^^^^^^^^

``quarnel-pavrin::quarnel``, ``quarnel-pavrin::pavrin``
  The two programs. When the project is added with ``add_subdirectory()``
  or ``FetchContent`` to a native build, these are ALIAS targets of the
  programs it builds; in a cross build, imported programs of its build for
  the build machine (see above). In a cross build of the project itself,
  whose programs run on the target only, the functions below stop and ask
  for the host package.

``quarnel-pavrin::anm-cellmap``
  The inspector (``anm-cellmap dump``, ``build``, ``check``, ``view``), for a
  game's own build steps, such as ``check`` over its assets. There when the
  package was built with it (it needs RapidJSON and stb's headers); test
  with ``if(TARGET quarnel-pavrin::anm-cellmap)``. A native build that adds
  the project has it as an ALIAS target; a cross build's tools for the build
  machine do not include it.

Functions
^^^^^^^^^

.. command:: quarnel_add_tables

  Compiles the tables of ``.anm`` files into a target::

    quarnel_add_tables(<target> HEADER <header> [LOWER] [REVERSE]
                       [LANGUAGE C|CXX] [OUTPUT_DIR <dir>]
                       FILES <file.anm>...)

  For each file, with ``NAME`` its file name (``walk.anm``), writes into
  the output folder:

  ``NAME.c``
    ``quarnel``'s output, byte for byte, for the file's name without its
    folder (quarnel runs in the file's folder), so it holds no build path
    and every build folder gets the same bytes. Remade when the file or
    the ``quarnel`` program changes; a failed run leaves no ``NAME.c``
    and no temporary file, so the next build makes it again (with
    generators other than make and Ninja on a Unix host, the ``NAME.c``
    of the last good run and a ``NAME.c.tmp`` stay, and the next build
    makes it again all the same).
  ``NAME.h``
    Includes ``<header>`` by its file name and declares the file's two
    visible tables, ``<label>_seq`` and ``<label>_ptr``, where the label is
    ``anm_`` and ``NAME`` with every character other than a letter, digit
    or ``_`` made ``_``: ``#include "Walk-1.anm.h"`` declares
    ``anm_Walk_1_anm_seq`` and ``anm_Walk_1_anm_ptr``. They are declared
    ``extern "C"`` in C++, so C and C++ code can share them.

  A generated wrapper ``wrap/NAME.c`` (``.cpp`` for C++), compiled into
  ``<target>``, includes ``NAME.h`` and then ``NAME.c``. The text of
  ``NAME.h`` and of the wrapper comes from ``quarnel-pavrin-template.mk``
  beside the Make fragment, which writes the same bytes.

  ``HEADER <header>``
    Defines ``SEQ``, ``SPT``, ``seq()``, ``spt()`` and ``NULL`` for the
    tables. Its folder and the output folder become PUBLIC include
    directories of ``<target>``.
  ``LOWER``
    Lower-cases the label (``quarnel -l``).
  ``REVERSE``
    Lists each group's sprites last-first (``quarnel -r``).
  ``LANGUAGE C|CXX``
    Compiles the tables as C (the default) or C++; the language must be
    enabled.
  ``OUTPUT_DIR <dir>``
    Where the files go; a relative folder is taken from
    ``CMAKE_CURRENT_BINARY_DIR``. Default:
    ``${CMAKE_CURRENT_BINARY_DIR}/<target>_quarnel``.

  ``HEADER`` and ``FILES`` paths are taken relative to
  ``CMAKE_CURRENT_SOURCE_DIR``. Two files with the same ``NAME`` in one
  output folder, or two files of one target whose names give the same
  label, stop the configure step; two files of different targets with the
  same label draw a warning naming both, as the targets clash only when
  linked into one program. ``<target>`` may have been created in another
  directory. ``quarnel -s`` is not offered: static tables cannot be reached
  from other files.

.. command:: pavrin_join

  Joins cell maps::

    pavrin_join(<output> TARGET <name> [HORIZONTAL] [WIDTH <n>]
                [HEIGHT <n>] [CELL <n>] INPUTS <file.map>...)

  Makes ``<output>`` (a relative path is taken from
  ``CMAKE_CURRENT_BINARY_DIR``) through a new target ``<name>`` that is
  part of ``all``, and makes it again when an input or the ``pavrin``
  program changes. The maps go one below the other, or side by side with
  ``HORIZONTAL`` (``pavrin -x``). ``WIDTH`` and ``HEIGHT`` force the
  result's size in cells (``-w``, ``-h``); ``CELL`` sets the cell size in
  pixels (``-c``). Each is a number as ``pavrin`` reads it, decimal, ``0x``
  hexadecimal or ``0`` octal (``0377`` is 255), from 0 to 255; anything
  else stops the configure step, and so does a second ``pavrin_join()``
  for one ``<output>``. ``INPUTS`` are taken relative to
  ``CMAKE_CURRENT_SOURCE_DIR``.

Both functions stop the configure step on an unknown keyword, and, at the
call, on an input (``HEADER``, ``FILES``, ``INPUTS``) outside the build
folder that neither exists nor is the ``OUTPUT`` of an
``add_custom_command()`` called before; CMake's call stack shows the line.
A missing input inside the build folder is left to the build.

With make or Ninja on a Unix host, every file name and option reaches the
tool as one argument, untouched by the shell; other generators get CMake's
own ``VERBATIM`` quoting. Names CMake cannot carry stop the configure step,
naming the file: one with ``\`` or a line break; ``#``, ``<`` or ``>`` in a
file the build makes (``NAME.c``, ``<output>``); ``$`` in an ``.anm`` file's
name (its wrapper is compiled); with the Makefile generators, ``*``, ``?``
or ``[``, which make reads as patterns; and, with make or Ninja, an
``.anm`` file in a folder whose name holds ``?``, ``[``, ``]``, ``{`` or
``}``.
#]=======================================================================]

include("${CMAKE_CURRENT_LIST_DIR}/quarnel-pavrin-targets.cmake")
include("${CMAKE_CURRENT_LIST_DIR}/quarnel-pavrin-functions.cmake")
