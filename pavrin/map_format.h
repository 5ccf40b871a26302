// The cell map file: an 8-byte header, then map height rows of map width
// cells, top row first, each cell 2 bytes. Cells are never interpreted, only
// moved, so their byte order is the file's business, not ours.
//
// Header bytes: 0 id (0x23 when written, never checked when read), 1-3 zero
// when written and ignored when read, 4 map width and 5 map height in cells,
// 6 cell width and 7 cell height in pixels; every size is one unsigned byte.
// The header is taken apart and put together byte by byte, so the layout is
// the same on every host whatever its byte order and padding.
#ifndef PAVRIN_MAP_FORMAT_H
#define PAVRIN_MAP_FORMAT_H

#include <cstddef>

// What a header read says; the id is not among it.
struct MapHeader {
    unsigned char map_width;    // cells
    unsigned char map_height;   // cells
    unsigned char cell_width;   // pixels
    unsigned char cell_height;  // pixels
};

constexpr std::size_t map_header_size = 8;
constexpr std::size_t cell_bytes = 2;
constexpr unsigned char map_id = 0x23;

#endif
