// The cell map file: an 8-byte header, then map height rows of map width
// cells, top row first, each cell 2 bytes. Cells are never interpreted, only
// moved, so their byte order is the file's business, not ours.
//
// Header bytes: 0 id (0x23 when written, never checked when read), 1-3 zero
// when written and ignored when read, 4 map width and 5 map height in cells,
// 6 cell width and 7 cell height in pixels; every size is one unsigned byte.
#ifndef PAVRIN_MAP_FORMAT_H
#define PAVRIN_MAP_FORMAT_H

#include <cstddef>
#include <cstdio>

struct MapHeader {
    unsigned char id;
    unsigned char map_width;    // cells
    unsigned char map_height;   // cells
    unsigned char cell_width;   // pixels
    unsigned char cell_height;  // pixels
};

constexpr std::size_t map_header_size = 8;
constexpr std::size_t cell_bytes = 2;
constexpr unsigned char map_id = 0x23;

// The header is taken apart and put together byte by byte, so the file
// layout is the same on every host whatever its byte order and padding.
// Each returns false when fewer bytes or whole cells than asked for came or
// went. A row is one request of `width` cells; a lone byte left at the end of
// a file is not a cell.
bool read_map_header(std::FILE* in, MapHeader& header);
bool read_map_row(std::FILE* in, unsigned char* cells, std::size_t width);
bool write_map_header(std::FILE* out, const MapHeader& header);
bool write_map_row(std::FILE* out, const unsigned char* cells, std::size_t width);

#endif
