// Reading both formats front to back, an entry at a time, with the byte
// offset and the place of every entry and word kept, so that dump, check and
// view report a file cut short the same way: the offset where it stops and
// the word it stops in ("group 3 of 5, sprite 2 of 4, word "FLAG2 ROT" (bytes
// 1232-1235)"). Groups, sprites, sequence entries and rows are numbered from
// 1 in these texts.
//
// The walk holds one entry, never a count's worth of them, so its memory is
// the same whatever the counts in a file say. The bytes come through
// quarnel's block input.
#ifndef ANM_CELLMAP_ANM_WALK_H
#define ANM_CELLMAP_ANM_WALK_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "anm_reader.h"
#include "input.h"
#include "map_format.h"
#include "cellmap_settings.h"

// How an animation's sprite entry was stored.
constexpr int four_words = 4;  // the size code in W2 gives w = h; no W3
constexpr int five_words = 5;

struct Walk {
    const char* name = "";           // as given; "-" is standard input
    Input in;                        // large: a Walk is made once, as a static
    std::uint64_t offset = 0;        // bytes taken so far
    std::uint64_t entry_offset = 0;  // where the entry last taken starts

    // Where the walk is in an animation: counts from the file, and the
    // number (from 1) of the entry last taken or being taken; 0 before the
    // first.
    unsigned nsequence = 0, nspritegp = 0;
    unsigned sequence = 0, group = 0;
    std::uint32_t nsprt = 0, sprite = 0;
    // ... and in a cell map.
    unsigned width = 0, height = 0, row = 0;

    // Set when a walk function returns false: the file ends (or cannot be
    // read) before the entry it was asked for is whole.
    bool cut = false;
    bool read_failed = false;        // a read error rather than the end
    int read_errno = 0;              // its reason
    std::uint64_t cut_offset = 0;    // the first byte missing
    std::uint64_t cut_word = 0;      // where the word or cell it is in starts
    char place[192] = "";
};

// True when `name` is read as an animation: --anm and --map decide, else a
// name ending in ".anm", in any case.
bool is_animation(const char* name, FormatChoice format);

// Opens `name` ("-": standard input) and starts a walk over it; nullptr,
// with the message given, when it cannot be opened.
std::FILE* walk_open(Walk& walk, const char* name);
void walk_close(std::FILE* file);

// Starts a walk over `file`, named `name` in places and messages.
void walk_start(Walk& walk, std::FILE* file, const char* name);

// ---- animation ----

// The header and count words; sets nsequence and nspritegp.
bool walk_anm_head(Walk& walk, std::uint32_t& header, std::uint32_t& counts);
// The next sequence entry, words A and B.
bool walk_sequence(Walk& walk, std::uint32_t& a, std::uint32_t& b);
// The next group's nsprt word, which walk_sprite then counts down.
bool walk_group(Walk& walk, std::uint32_t& nsprt);
// The group's next sprite entry, with `words` four_words or five_words.
bool walk_sprite(Walk& walk, SpriteEntry& entry, int& words);

// ---- cell map ----

// The 8 header bytes as they are, and taken apart; sets width and height.
bool walk_map_head(Walk& walk, unsigned char bytes[map_header_size], MapHeader& header);
// The next row into `cells` (room for width * cell_bytes); on a cut,
// `whole_cells` says how many cells of it did come.
bool walk_map_row(Walk& walk, unsigned char* cells, std::size_t& whole_cells);

// ---- both ----

// The bytes after the last entry, up to `room` at a time; 0 at the end, or
// with `cut` set on a read error.
std::size_t walk_rest(Walk& walk, unsigned char* bytes, std::size_t room);

// "anm-cellmap: NAME: cut at byte N: PLACE" (or the read error) on
// standard error.
void report_cut(const Walk& walk);

#endif
