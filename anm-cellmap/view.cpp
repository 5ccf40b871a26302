#include "view.h"

#include <cstdio>

#include "cellmap_settings.h"

int run_view()
{
    std::fprintf(stderr, "%s: view: not yet\n", program_name);
    return 1;
}
