# The text of the two files written beside each NAME.c made from an .anm
# file, for code that includes the tables' declarations: NAME.h and the
# wrapper wrap/NAME.c that compiles the tables after them. Both
# quarnel_add_tables() in CMake and quarnel-pavrin.mk read it from here, so
# the two write the same bytes. @NAME@ is the .anm file's name, @LABEL@ the
# label its tables are named after, @HEADER@ the file name of the header
# that defines SEQ, SPT, seq(), spt() and NULL. Each text ends with the
# line before its endef.

define quarnel_pavrin_header_text
/* The tables that quarnel makes from @NAME@ into @NAME@.c. */
#ifndef QUARNEL_TABLES_@LABEL@
#define QUARNEL_TABLES_@LABEL@

#include "@HEADER@"

#ifdef __cplusplus
extern "C" {
#endif

extern SEQ @LABEL@_seq[];
extern SPT *@LABEL@_ptr[];

#ifdef __cplusplus
}
#endif

#endif
endef

# The declarations come first: compiled as C++, const tables would otherwise
# have internal linkage and be out of other files' reach.
define quarnel_pavrin_wrapper_text
/* Compiles the tables of @NAME@ after their declarations. */
#include "../@NAME@.h"
#include "../@NAME@.c"
endef
