// check: findings in the compiler's form, named so that each can be turned
// off or made an error.
#ifndef ANM_CELLMAP_CHECK_H
#define ANM_CELLMAP_CHECK_H

#include "cellmap_settings.h"

// The name after -W, e.g. "cell-size"; find_warning gives warning_count for
// an unknown name.
const char* warning_name(Warning warning);
Warning find_warning(const char* name);

// Checks every file of cellmap_settings; returns the exit status.
int run_check();

#endif
