// view: a cell map or an animation's frames as a PNG picture.
//
// A map is drawn cell by cell at its cell size, a colour per cell value or
// a tile of a sheet per value; an animation a frame per group, each
// sprite's rectangle outlined around the frame's origin and filled from a
// texture page when one is given. The picture is held whole (the PNG
// writer takes it so), and refused beyond 64 Mpixel.
#ifndef ANM_CELLMAP_VIEW_H
#define ANM_CELLMAP_VIEW_H

#include <cstdint>

// An animation frame's size; the group's origin is at its centre.
constexpr int frame_size = 256;
constexpr int frames_a_row = 8;
constexpr std::uint64_t most_pixels = 64u << 20;

// The colour a cell value (or sprite number) is drawn in, as 0xRRGGBB: 0
// is black, and every other value a bright colour of its own.
std::uint32_t value_colour(unsigned value);

// Draws cellmap_settings.files[0] into cellmap_settings.output_name;
// returns the exit status.
int run_view();

#endif
