// Test inputs as bytes: .anm files from their fields and cell maps from
// their cells, laid out as the formats say. The C++ tests link this code;
// the shell tests and the benchmark run it as the bytes program.
#ifndef TESTS_BYTES_H
#define TESTS_BYTES_H

#include <cstdint>
#include <random>
#include <string>
#include <vector>

// Little-endian 32-bit words as bytes, the .anm encoding.
std::string le_words(const std::vector<std::uint32_t>& words);

struct Sequence {
    int atr, time, sprgpno, x, y;
};

struct Sprite {
    int ox, oy, u, v, w, h, clx, cly, bno, csn, tpf, tpn, abe, abr, rotf, rot, rsz, x, y;
    int size_code;  // 0: w and h go in a word of their own; else both are 8 * size_code
};

struct Animation {
    std::uint32_t header = 0x10010321;
    std::vector<Sequence> sequences;
    std::vector<std::vector<Sprite>> groups;
};

std::string anm_bytes(const Animation& anm);
// The same in parts, for files too large to hold as one record: the header
// and sequence table, then each group.
std::string anm_head_bytes(std::uint32_t header, const std::vector<Sequence>& sequences,
                           int nspritegp);
std::string group_bytes(const std::vector<Sprite>& group);

// Fields drawn over their whole ranges, with short numbers now and then;
// two sprites in five carry a size word.
using Rng = std::mt19937;
int pick(Rng& rng, int low, int high);
Sequence random_sequence(Rng& rng);
Sprite random_sprite(Rng& rng);
Animation random_animation(Rng& rng, int nsequence, const std::vector<int>& group_sizes);

// A cell map: the 8-byte header, then the cells row by row as 16-bit
// little-endian values.
std::string map_bytes(int width, int height, int cell_width, int cell_height,
                      const std::vector<int>& cells);

#endif
