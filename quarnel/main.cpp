#include "quarnel.h"

int main(int argc, char** argv)
{
    return quarnel_main(argc, argv);
}
