#include "dump.h"

#include <cstdio>

#include "settings.h"

int run_dump()
{
    std::fprintf(stderr, "%s: dump: not yet\n", program_name);
    return 1;
}
