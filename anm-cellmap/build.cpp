#include "build.h"

#include <cstdio>

#include "cellmap_settings.h"

int run_build()
{
    std::fprintf(stderr, "%s: build: not yet\n", program_name);
    return 1;
}
