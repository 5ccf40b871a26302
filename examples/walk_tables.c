/* The C text that quarnel writes uses SEQ, SPT, seq() and spt() but includes
   no header, so this file brings in their definitions and then the generated
   walk.anm.c. A wrapper like this works with every C compiler; compiling
   walk.anm.c with "-include anm.h" instead needs GCC or Clang. */
#include "anm.h"
#include "walk.anm.c"
