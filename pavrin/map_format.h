// The cell map file: an 8-byte header, then map height rows of map width
// cells, top row first, never interpreted (their byte order is the file's
// business). Header bytes: 0 id (0x23 written, never checked), 1-3 zero
// written and ignored read, 4-5 map width and height in cells, 6-7 cell width
// and height in pixels; taken byte by byte, the same on every host.
#ifndef PAVRIN_MAP_FORMAT_H
#define PAVRIN_MAP_FORMAT_H

#include <cstddef>

constexpr std::size_t map_header_size = 8;
constexpr std::size_t cell_bytes = 2;
constexpr unsigned char map_id = 0x23;

struct MapHeader {
    unsigned char id;
    unsigned char map_width;    // cells
    unsigned char map_height;   // cells
    unsigned char cell_width;   // pixels
    unsigned char cell_height;  // pixels
};

inline MapHeader map_header_from(const unsigned char* b) { return {b[0], b[4], b[5], b[6], b[7]}; }

#endif
