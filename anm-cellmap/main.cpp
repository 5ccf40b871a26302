#include "anm-cellmap.h"

// The MinGW runtime expands wildcards before main(), as a Unix shell would;
// asked once per program (anm-cellmap links both tools' modules).
#if defined(__MINGW32__)
extern "C" { int _dowildcard = -1; }
#endif

int main(int argc, char** argv)
{
    return anm_cellmap_main(argc, argv);
}
