#include "map_canvas.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "pavrin.h"

unsigned char* canvas = nullptr;
CanvasPoint cursor = {0, 0};
CanvasSize totals = {0, 0};

// The copy of the name of the input that set the cell size. The input's own
// name may not outlive its read, but the mismatch warning quotes it for the
// rest of the run; kept here so a later input that takes over can free it.
static char* cell_size_source_copy = nullptr;

// A result the header can describe always lies inside the canvas, so the
// size check alone keeps write_map from reading past it.
constexpr std::int32_t max_header_size_value = 255;
static_assert(max_header_size_value <= canvas_side, "a writable result must fit on the canvas");

static unsigned char* canvas_cell(std::int32_t x, std::int32_t y)
{
    std::size_t cell = static_cast<std::size_t>(y) * canvas_side + static_cast<std::size_t>(x);
    return canvas + cell * cell_bytes;
}

bool init_canvas()
{
    std::free(canvas);
    if (concatenator_settings.cell_size_source == cell_size_source_copy)
        concatenator_settings.cell_size_source = "<default>";
    std::free(cell_size_source_copy);
    cell_size_source_copy = nullptr;
    cursor = {0, 0};
    totals = {0, 0};
    // calloc hands back zero pages that are only touched when a map lands
    // on them, so a small join stays small in memory.
    canvas = static_cast<unsigned char*>(
        std::calloc(static_cast<std::size_t>(canvas_side) * canvas_side, cell_bytes));
    return canvas != nullptr;
}

// ---- reading ----

// Only the cell width says whether the run has a cell size yet, so -c0, or
// an input whose cell width is 0, leaves it to the next input. A mismatch is
// only a warning: the map is still placed and the run's size stays.
static int agree_cell_size(const MapHeader& header, const char* name)
{
    ConcatenatorSettings& settings = concatenator_settings;
    if (settings.cell_width != 0) {
        if (header.cell_width != settings.cell_width || header.cell_height != settings.cell_height)
            std::fprintf(stderr, "%s: cell size miss match %s:%dx%d and %s:%dx%d\n",
                         settings.program_name, settings.cell_size_source, settings.cell_width,
                         settings.cell_height, name, header.cell_width, header.cell_height);
        return 0;
    }
    char* copy = strdup(name);
    if (!copy) {
        std::fprintf(stderr, "%s: more core!\n", settings.program_name);
        return 1;
    }
    std::free(cell_size_source_copy);
    settings.cell_size_source = cell_size_source_copy = copy;
    settings.cell_width = header.cell_width;
    settings.cell_height = header.cell_height;
    return 0;
}

static void advance_cursor(const MapHeader& header)
{
    std::int32_t width = header.map_width;
    std::int32_t height = header.map_height;
    if (concatenator_settings.horizontal) {
        cursor.x += width;
        totals.width += width;
        totals.height = std::max(totals.height, height);
    } else {
        cursor.y += height;
        totals.height += height;
        totals.width = std::max(totals.width, width);
    }
}

// A short row ends the run, which then writes nothing, so what was read
// before it may stay on the canvas.
int read_map(std::FILE* in, const char* name)
{
    const ConcatenatorSettings& settings = concatenator_settings;
    unsigned char bytes[map_header_size];
    if (std::fread(bytes, 1, map_header_size, in) != map_header_size) {
        std::fprintf(stderr, "%s: ``%s''header read error!\n", settings.program_name, name);
        return 1;
    }
    MapHeader header = map_header_from(bytes);
    if (agree_cell_size(header, name) != 0) return 1;
    if (settings.verbose)
        std::fprintf(stderr, "%4d x %4d %+5d %+5d %s\n", header.map_width, header.map_height,
                     cursor.x, cursor.y, name);
    // The cursor stays inside the canvas because every map placed so far
    // fitted, so these sums cannot overflow.
    if (cursor.x + header.map_width > canvas_side || cursor.y + header.map_height > canvas_side) {
        std::fprintf(stderr, "%s: ``%s'' does not fit on the canvas!\n", settings.program_name,
                     name);
        return 1;
    }
    std::size_t width = header.map_width;
    for (std::int32_t r = 0; r < header.map_height; ++r)
        if (std::fread(canvas_cell(cursor.x, cursor.y + r), cell_bytes, width, in) != width) {
            std::fprintf(stderr, "%s: ``%s'' read error!\n", settings.program_name, name);
            return 1;
        }
    advance_cursor(header);
    return 0;
}

// ---- writing ----

// A forced size of 0 means none was given for that side.
static CanvasSize result_size()
{
    CanvasSize size = totals;
    if (concatenator_settings.new_width != 0) size.width = concatenator_settings.new_width;
    if (concatenator_settings.new_height != 0) size.height = concatenator_settings.new_height;
    return size;
}

// 0 where both fit a header byte, else 1 after saying which `kind` of size.
static int out_of_range(const char* kind, std::int32_t width, std::int32_t height)
{
    if (std::min(width, height) >= 0 && std::max(width, height) <= max_header_size_value) return 0;
    std::fprintf(stderr, "%s: %s size %dx%d out of range!\n", concatenator_settings.program_name,
                 kind, width, height);
    return 1;
}

// Checked on the size that will be written, so a join wider than the header
// allows that -w crops back into range is still fine.
int check_result_size()
{
    const ConcatenatorSettings& settings = concatenator_settings;
    CanvasSize size = result_size();
    if (out_of_range("map", size.width, size.height) != 0) return 1;
    return out_of_range("cell", settings.cell_width, settings.cell_height);
}

// The canvas itself is left alone: a smaller size crops the result to its
// top-left part, a larger one takes in the zero cells right and below.
int write_map(std::FILE* out, const char* output_name)
{
    const ConcatenatorSettings& settings = concatenator_settings;
    // The driver checks before it opens the output; checking again here
    // keeps write_map itself from ever reading rows outside the canvas or
    // writing a header that does not match them.
    if (check_result_size() != 0) return 1;
    CanvasSize size = result_size();
    if (settings.verbose && (settings.new_width != 0 || settings.new_height != 0))
        std::fprintf(stderr, "change map size %dx%d -> %dx%d\n", totals.width, totals.height,
                     size.width, size.height);
    totals = size;
    if (settings.verbose)
        std::fprintf(stderr, "%4d x %4d %s\n", totals.width, totals.height,
                     output_name ? output_name : "<stdout>");

    // check_result_size has kept every size within 0-255.
    const std::int32_t sizes[] = {totals.width, totals.height, settings.cell_width,
                                  settings.cell_height};
    unsigned char header[map_header_size] = {map_id};
    for (int i = 0; i < 4; ++i) header[4 + i] = static_cast<unsigned char>(sizes[i]);
    std::size_t width = static_cast<std::size_t>(totals.width);
    bool written = std::fwrite(header, 1, map_header_size, out) == map_header_size;
    for (std::int32_t r = 0; written && r < totals.height; ++r)
        written = std::fwrite(canvas_cell(0, r), cell_bytes, width, out) == width;
    if (!written) {
        std::fprintf(stderr, "%s: write error!\n", settings.program_name);
        return 1;
    }
    return 0;
}
