#include "quarnel.h"

// Windows shells leave wildcards to the program; the MinGW runtime expands
// them before main() when asked to, as a Unix shell would. Asked here, once
// per program: anm-cellmap links the modules of both other tools.
#if defined(__MINGW32__)
extern "C" {
int _dowildcard = -1;
}
#endif

int main(int argc, char** argv)
{
    return quarnel_main(argc, argv);
}
