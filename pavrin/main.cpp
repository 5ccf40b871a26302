#include "pavrin.h"

int main(int argc, char** argv)
{
    return pavrin_main(argc, argv);
}
