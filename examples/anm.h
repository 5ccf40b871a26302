/*
 * anm.h - the types and initialisers that quarnel's output uses.
 *
 * quarnel writes tables of SEQ and SPT built with seq(...) and spt(...) but
 * defines none of them, so that each game can choose its own layout. This
 * header is one such choice; copy it into your project and adapt it.
 *
 * The tables are const here, so a compiler may place them in read-only
 * memory; the generated text is the same either way.
 */
#ifndef ANM_H
#define ANM_H

#include <stddef.h> /* NULL, used by the pointer table */

/* One step of an animation: show sprite group `sprgpno` for `time` frames
   at offset (x, y); atr holds two attribute bits. */
typedef const struct anm_seq {
    unsigned char atr;
    unsigned char time;
    unsigned short sprgpno;
    short x;
    short y;
} SEQ;

/* One sprite of a group: texture page and rectangle, palette (clut),
   blending and rotation settings, and its offset within the group. */
typedef const struct anm_spt {
    unsigned char ox, oy;     /* origin within the sprite */
    unsigned char u, v;       /* top-left texel on the texture page */
    unsigned char w, h;       /* size in pixels */
    unsigned short clx, cly;  /* clut position */
    unsigned char bno, csn;
    unsigned char tpf, tpn;   /* texture depth and page */
    unsigned char abe, abr;   /* semi-transparency on/off and rate */
    unsigned char rotf;       /* rotation on/off */
    unsigned short rot;       /* rotation angle */
    unsigned char rsz;
    short x, y;               /* position within the group */
} SPT;

#define seq(atr, time, sprgpno, x, y) { (atr), (time), (sprgpno), (x), (y) }

#define spt(ox, oy, u, v, w, h, clx, cly, bno, csn, tpf, tpn, abe, abr, rotf, rot, rsz, x, y) \
    { (ox), (oy), (u), (v), (w), (h), (clx), (cly), (bno), (csn),                            \
      (tpf), (tpn), (abe), (abr), (rotf), (rot), (rsz), (x), (y) }

#endif
