// Reading the .anm format: little-endian 32-bit words, read front to back.
//
// File layout, in order: a header word, a count word (nspritegp in bits 0-15,
// nsequence in bits 16-31), nsequence sequence entries of two words, then
// nspritegp groups, each an nsprt word followed by nsprt sprite entries of
// four or five words. Nothing after the last group is read.
#ifndef QUARNEL_ANM_READER_H
#define QUARNEL_ANM_READER_H

#include <cstddef>
#include <cstdint>

#include "input.h"

// One sprite entry as read: its words, and for a square sprite (which has
// no size word) a size word made up from the size code, so that every entry
// has the same five. Its 19 fields are taken from the words by the sprite_*
// functions below, where they are used: the writer formats most of them
// straight from a word held in a register, which costs less than unpacking
// all of them first.
struct SpriteEntry {
    std::uint32_t offset_uv;  // W1
    std::uint32_t flags;      // W2
    std::uint32_t size;       // W3
    std::uint32_t rotation;   // W4
    std::uint32_t position;   // W5
};

// One decoded sequence entry (words A and B).
struct SequenceEntry {
    int atr, time, sprgpno, x, y;
};

constexpr std::size_t max_sprite_bytes = 20;  // the longest entry: five words

// Name of the header's tpf field: "4bit", "8bit" or "unknown".
const char* tpf_name(std::uint32_t tpf);

// ---- words ----

// Bytes are put together by value, least significant first, so the result is
// the same on every host; compilers turn this into a single load where the
// host's byte order allows.
inline std::uint32_t load_word(const unsigned char* bytes)
{
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

inline int field(std::uint32_t word, int first, int count)
{
    return static_cast<int>((word >> first) & ((1u << count) - 1));
}

// The 16 bits at `first` as a two's complement number.
inline int signed_half(std::uint32_t word, int first)
{
    return (field(word, first, 16) ^ 0x8000) - 0x8000;
}

// ---- reading ----

// Reads one word. On a short stream reports "reach end of file" (or "read
// error" when the stream says so) and ends the process with status 1.
std::uint32_t read_word(Input& in);

// Reads the next sequence entry.
void read_sequence(Input& in, SequenceEntry& entry);

// Reads the next sprite entry; with -d each raw word is echoed to stdout as
// a comment line right after it is read.
void read_sprite(Input& in, SpriteEntry& entry);

// A size code other than 0 in the flags word makes a square sprite of
// code x 8 pixels, whose entry has no size word; this is the size word it
// stands for.
inline std::uint32_t square_size_word(std::uint32_t flags)
{
    std::uint32_t side = (flags >> 28) * 8;
    return side | side << 16;
}

// Reads until the whole next sprite entry is at hand, and not a byte more;
// a short stream ends the dump as in read_word.
void need_sprite(Input& in);

// Takes the sprite entry at hand in the input. The bulk of a dump runs
// through here: the words come straight from memory, and the entry's length
// is a computed step, not a branch that random data would mispredict. A
// square sprite's entry is four words: the word where the size word would
// be is loaded all the same (it is the rotation word) and then not used.
inline void take_sprite(Input& in, SpriteEntry& entry)
{
    const unsigned char* bytes = in.next;
    entry.offset_uv = load_word(bytes);
    entry.flags = load_word(bytes + 4);
    // All ones for a square sprite, whose entry has no size word, else 0.
    std::uint32_t square = 0u - static_cast<std::uint32_t>(entry.flags >> 28 != 0);
    entry.size = (square_size_word(entry.flags) & square) | (load_word(bytes + 8) & ~square);
    bytes += 12 - (square & 4);
    entry.rotation = load_word(bytes);
    entry.position = load_word(bytes + 4);
    in.next = bytes + 8;
}

// ---- the fields of a sprite entry ----

// The fields of a sprite entry that the sprite line writes one by one, in
// its order.
inline int sprite_ox(const SpriteEntry& e) { return field(e.offset_uv, 16, 8); }
inline int sprite_oy(const SpriteEntry& e) { return field(e.offset_uv, 24, 8); }
inline int sprite_u(const SpriteEntry& e) { return field(e.offset_uv, 0, 8); }
inline int sprite_v(const SpriteEntry& e) { return field(e.offset_uv, 8, 8); }
inline int sprite_w(const SpriteEntry& e) { return field(e.size, 0, 8); }
inline int sprite_h(const SpriteEntry& e) { return field(e.size, 16, 8); }
inline int sprite_clx(const SpriteEntry& e) { return field(e.flags, 0, 6); }
inline int sprite_cly(const SpriteEntry& e) { return field(e.flags, 6, 9); }
inline int sprite_rotf(const SpriteEntry& e) { return field(e.flags, 27, 1); }
inline int sprite_rot(const SpriteEntry& e) { return field(e.rotation, 0, 16); }
inline int sprite_rsz(const SpriteEntry& e) { return field(e.flags, 26, 1); }
inline int sprite_x(const SpriteEntry& e) { return signed_half(e.position, 0); }
inline int sprite_y(const SpriteEntry& e) { return signed_half(e.position, 16); }

// Fields that lie side by side in one word, taken together.
inline int sprite_bno_csn(const SpriteEntry& e)  // bno << 6 | csn
{
    return field(e.rotation, 24, 8);
}
inline int sprite_tpf_abr_tpn_abe(const SpriteEntry& e)  // tpf << 8 | abr << 6 | tpn << 1 | abe
{
    return field(e.flags, 15, 10);
}

#endif
