/* Prints what the generated tables hold, reached through the names their
   headers declare; the Jump tables are compiled as C++. */
#include <stdio.h>

#include "-Run-2.anm.h"
#include "Jump.anm.h"
#include "walk.anm.h"

static void show(const char *name, SEQ *seq, SPT **ptr)
{
    int steps = 0, groups = 0;
    while (seq[steps].time != 0)
        ++steps;
    while (ptr[groups] != NULL)
        ++groups;
    printf("%s: %d step(s), %d group(s), first sprite %dx%d, first step %d frames\n", name,
           steps, groups, ptr[0][0].w, ptr[0][0].h, seq[0].time);
}

int main(void)
{
    show("walk.anm", anm_walk_anm_seq, anm_walk_anm_ptr);
    show("-Run-2.anm", anm__Run_2_anm_seq, anm__Run_2_anm_ptr);
    show("Jump.anm", anm_jump_anm_seq, anm_jump_anm_ptr);
    return 0;
}
