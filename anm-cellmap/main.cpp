#include "anm-cellmap.h"

int main(int argc, char** argv)
{
    return anm_cellmap_main(argc, argv);
}
