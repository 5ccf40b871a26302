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

Imported Targets
^^^^^^^^^^^^^^^^

``quarnel-pavrin::quarnel``, ``quarnel-pavrin::pavrin``
  The two programs. When the project is added with ``add_subdirectory()``
  these are ALIAS targets of the programs it builds; in a cross build
  those run on the target only, so there the functions below stop and ask
  for the host package.

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
    the ``quarnel`` program changes; a failed run leaves no ``NAME.c``.
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

Both functions stop the configure step on an unknown keyword, and on an
input (``HEADER``, ``FILES``, ``INPUTS``) that, at the end of the calling
directory's configure step, neither exists nor has the ``GENERATED``
property, which a file gets from the ``OUTPUT`` of ``add_custom_command()``.
#]=======================================================================]

include("${CMAKE_CURRENT_LIST_DIR}/quarnel-pavrin-targets.cmake")
include("${CMAKE_CURRENT_LIST_DIR}/quarnel-pavrin-functions.cmake")
