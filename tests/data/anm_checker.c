/* Prints every value of a dumped animation, walking its tables the way
   engine code would: the sequence table up to its end mark, the pointer
   table up to NULL, each group up to its end mark. */
#include <stdio.h>
#include <string.h>

#include "anm.h"

static int is_seq_end(SEQ *entry)
{
    return !entry->atr && !entry->time && !entry->sprgpno && !entry->x && !entry->y;
}

static int is_spt_end(SPT *e)
{
    static const struct anm_spt zero;
    return e->ox == zero.ox && e->oy == zero.oy && e->u == zero.u && e->v == zero.v &&
           e->w == zero.w && e->h == zero.h && e->clx == zero.clx && e->cly == zero.cly &&
           e->bno == zero.bno && e->csn == zero.csn && e->tpf == zero.tpf &&
           e->tpn == zero.tpn && e->abe == zero.abe && e->abr == zero.abr &&
           e->rotf == zero.rotf && e->rot == zero.rot && e->rsz == zero.rsz &&
           e->x == zero.x && e->y == zero.y;
}

void print_anm(const char *name, SEQ *seq_table, SPT **ptr_table)
{
    int group;
    printf("anm %s\n", name);
    for (; !is_seq_end(seq_table); ++seq_table)
        printf("seq %d %d %d %d %d\n", seq_table->atr, seq_table->time, seq_table->sprgpno,
               seq_table->x, seq_table->y);
    for (group = 0; ptr_table[group] != NULL; ++group) {
        SPT *e;
        printf("group %d\n", group);
        for (e = ptr_table[group]; !is_spt_end(e); ++e)
            printf("spt %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d\n", e->ox,
                   e->oy, e->u, e->v, e->w, e->h, e->clx, e->cly, e->bno, e->csn, e->tpf,
                   e->tpn, e->abe, e->abr, e->rotf, e->rot, e->rsz, e->x, e->y);
    }
}
