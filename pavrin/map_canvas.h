// The canvas the inputs are joined on. Each map read is copied to it at the
// cursor; the cursor then moves to its right (horizontal) or below it
// (vertical) and the totals grow to cover it. The map written is the
// top-left part of the canvas the totals cover, resized by -w/-h. Cells no
// input covers stay zero.
#ifndef PAVRIN_MAP_CANVAS_H
#define PAVRIN_MAP_CANVAS_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "map_format.h"

// Cells per canvas row and per column; a row always takes this many cells,
// whatever the maps' widths.
constexpr std::int32_t canvas_side = 1024;

struct CanvasPoint { std::int32_t x, y; };
struct CanvasSize { std::int32_t width, height; };

extern unsigned char* canvas;  // canvas_side rows of canvas_side cells, row-major
extern CanvasPoint cursor;     // where the next map's top-left cell goes
extern CanvasSize totals;      // the result's size; write_map applies -w/-h to it

// A zeroed canvas, the cursor and totals at (0, 0); false when the memory
// cannot be had (the caller reports it). Calling it again releases the last
// canvas and the kept cell size source name, not the settings.
bool init_canvas();

// Each of the rest returns 0, or 1 after writing a message.
// One map read from `in` onto the canvas at the cursor, and the cursor moved on.
int read_map(std::FILE* in, const char* name);
// Refuses a result whose size with -w/-h applied, or whose cell size, the
// header cannot hold; writes nothing else, so it can run before the output
// is opened.
int check_result_size();
// -w/-h applied to the totals and the result written to `out`;
// `output_name` is nullptr for standard output.
int write_map(std::FILE* out, const char* output_name);

#endif
