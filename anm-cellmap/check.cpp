#include "check.h"

#include <cstdio>
#include <cstring>

// Indexed by Warning.
static const char* const warning_names[warning_count] = {
    "cut", "nsprt", "sprgpno", "trailing", "reserved", "id", "cell-size",
};

const char* warning_name(Warning warning)
{
    return warning_names[warning];
}

Warning find_warning(const char* name)
{
    int warning = 0;
    while (warning < warning_count && std::strcmp(warning_names[warning], name) != 0) ++warning;
    return static_cast<Warning>(warning);
}

int run_check()
{
    std::fprintf(stderr, "%s: check: not yet\n", program_name);
    return 1;
}
