// Reading the .anm format: little-endian 32-bit words, read front to back.
//
// File layout, in order: a header word, a count word (nspritegp in bits 0-15,
// nsequence in bits 16-31), nsequence sequence entries of two words, then
// nspritegp groups, each an nsprt word followed by nsprt sprite entries of
// four or five words. Nothing after the last group is read.
#ifndef QUARNEL_ANM_READER_H
#define QUARNEL_ANM_READER_H

#include <cstdint>
#include <cstdio>

// One decoded sprite entry, fields in the order the writer prints them.
struct SpriteEntry {
    int ox, oy;
    unsigned char u, v, w, h;
    int clx, cly, bno, csn, tpf, tpn, abe, abr, rotf, rot, rsz;
    int x, y;
};

// One decoded sequence entry (words A and B).
struct SequenceEntry {
    int atr, time, sprgpno, x, y;
};

// Name of the header's tpf field: "4bit", "8bit" or "unknown".
const char* tpf_name(std::uint32_t tpf);

// Reads one word. On a short stream reports "reach end of file" (or "read
// error" when the stream says so) and ends the process with status 1.
std::uint32_t read_word(std::FILE* in);

// Reads the next sequence entry.
void read_sequence(std::FILE* in, SequenceEntry& entry);

// Reads the next sprite entry; with -d each raw word is echoed to stdout as
// a comment line right after it is read.
void read_sprite(std::FILE* in, SpriteEntry& entry);

#endif
