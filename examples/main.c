/* Uses the tables that quarnel made from walk.anm, as engine code would. */
#include <stdio.h>

/* Made by the build beside walk.anm.c: includes anm.h and declares the two
   tables other files can reach, anm_walk_anm_seq and anm_walk_anm_ptr (the
   group tables they point to are static). */
#include "walk.anm.h"

int main(void)
{
    int groups = 0;
    while (anm_walk_anm_ptr[groups] != NULL) /* the pointer table ends in NULL */
        ++groups;
    printf("walk.anm: %d sprite group(s), first sprite %dx%d, first step %d frames\n", groups,
           anm_walk_anm_ptr[0][0].w, anm_walk_anm_ptr[0][0].h, anm_walk_anm_seq[0].time);
    return 0;
}
