#include "view.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include "anm_walk.h"
#include "cellmap_settings.h"
#include "output_file.h"

// An RGB picture, row by row.
struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> pixels;
};

// An image read from a file by stb: a tile sheet or a texture page.
struct Sheet {
    int width = 0, height = 0;
    unsigned char* pixels = nullptr;  // RGB
};

constexpr std::uint32_t past_sheet_colour = 0xff00ff;  // a cell whose tile the sheet lacks
constexpr std::uint32_t grid_colour = 0x404040;
constexpr std::uint32_t frame_colours[2] = {0x181818, 0x282828};  // frames alternate

// ---- colours and pixels ----

// The value's bits spread by a multiplier, each channel kept above 64.
std::uint32_t value_colour(unsigned value)
{
    if (value == 0) return 0;
    std::uint32_t mixed = (value * 2654435761u) ^ (value * 40503u >> 3);
    std::uint32_t r = 64 + (mixed >> 24) % 192, g = 64 + (mixed >> 12 & 0xff) % 192,
                  b = 64 + (mixed & 0xff) % 192;
    return r << 16 | g << 8 | b;
}

static void put_pixel(Picture& picture, int x, int y, std::uint32_t colour)
{
    unsigned char* at = &picture.pixels[(static_cast<std::size_t>(y) * picture.width + x) * 3];
    at[0] = static_cast<unsigned char>(colour >> 16);
    at[1] = static_cast<unsigned char>(colour >> 8);
    at[2] = static_cast<unsigned char>(colour);
}

static void fill(Picture& picture, int left, int top, int width, int height, std::uint32_t colour)
{
    for (int y = top; y < top + height; ++y)
        for (int x = left; x < left + width; ++x) put_pixel(picture, x, y, colour);
}

static std::uint32_t sheet_pixel(const Sheet& sheet, int x, int y)
{
    const unsigned char* at = sheet.pixels + (static_cast<std::size_t>(y) * sheet.width + x) * 3;
    return static_cast<std::uint32_t>(at[0]) << 16 | at[1] << 8 | at[2];
}

// ---- input and output ----

// Opened here, not by stb, whose only word for a file it cannot open is
// "can't fopen": the system's reason tells a missing file from a locked one.
static bool load_sheet(const char* name, Sheet& sheet)
{
    std::FILE* file = std::fopen(name, "rb");
    if (!file) {
        std::fprintf(stderr, "%s: %s: %s\n", program_name, name, std::strerror(errno));
        return false;
    }
    int channels = 0;
    sheet.pixels = stbi_load_from_file(file, &sheet.width, &sheet.height, &channels, 3);
    std::fclose(file);
    if (sheet.pixels) return true;
    std::fprintf(stderr, "%s: %s: %s\n", program_name, name, stbi_failure_reason());
    return false;
}

// Refused beyond the limit, with the way to a smaller picture.
static bool make_picture(Picture& picture, std::uint64_t width, std::uint64_t height,
                         const char* name, const char* smaller)
{
    if (width * height > most_pixels) {
        std::fprintf(stderr, "%s: %s: the picture would be %llux%llu pixels, over 64 Mpixel; %s\n",
                     program_name, name, static_cast<unsigned long long>(width),
                     static_cast<unsigned long long>(height), smaller);
        return false;
    }
    picture.width = static_cast<int>(width);
    picture.height = static_cast<int>(height);
    picture.pixels.assign(static_cast<std::size_t>(width * height * 3), 0);
    return true;
}

static void write_png_bytes(void* stream, void* bytes, int size)
{
    std::fwrite(bytes, 1, static_cast<std::size_t>(size), static_cast<std::FILE*>(stream));
}

// The one place view meets pavrin's output module: a file is replaced
// only once written whole.
static bool write_picture(const char* name, const Picture& picture)
{
    OutputFile out;
    prepare_process();
    if (!open_output(std::strcmp(name, "-") ? name : nullptr, out, output_texts)) return false;
    bool encoded = stbi_write_png_to_func(write_png_bytes, out.stream, picture.width,
                                          picture.height, 3, picture.pixels.data(),
                                          picture.width * 3) != 0;
    if (encoded && !std::ferror(out.stream)) return close_output(out, output_texts);
    discard_output(out);
    std::fprintf(stderr, output_texts.write_error, program_name, name);
    return false;
}

// ---- a cell map ----

// Cell value N is tile N of the sheet cut into cells, row by row.
static void draw_tile(Picture& picture, const Sheet& sheet, unsigned tile, int left, int top,
                      int cell_width, int cell_height)
{
    int tiles_a_row = sheet.width / cell_width;
    int tile_left = static_cast<int>(tile % tiles_a_row) * cell_width;
    int tile_top = static_cast<int>(tile / tiles_a_row) * cell_height;
    for (int y = 0; y < cell_height; ++y)
        for (int x = 0; x < cell_width; ++x)
            put_pixel(picture, left + x, top + y, sheet_pixel(sheet, tile_left + x, tile_top + y));
}

// A grid line along each cell's top and left edge, where the cell is large
// enough to keep a colour beside it.
static void draw_cell(Picture& picture, unsigned value, int left, int top, int cell_width,
                      int cell_height)
{
    fill(picture, left, top, cell_width, cell_height, value_colour(value));
    if (cell_width < 4 || cell_height < 4) return;
    fill(picture, left, top, cell_width, 1, grid_colour);
    fill(picture, left, top, 1, cell_height, grid_colour);
}

static bool view_map(Walk& walk, const Sheet* tiles, Picture& picture)
{
    unsigned char head[map_header_size];
    MapHeader header;
    if (!walk_map_head(walk, head, header)) return false;
    // PNG has no picture of width or height 0: readers refuse one.
    if (header.map_width == 0 || header.map_height == 0) {
        std::fprintf(stderr, "%s: %s: no cell to draw: the map is %ux%u cells\n", program_name,
                     walk.name, header.map_width, header.map_height);
        return false;
    }
    int cell_width = header.cell_width ? header.cell_width : 8;
    int cell_height = header.cell_height ? header.cell_height : 8;
    if (!make_picture(picture, std::uint64_t{header.map_width} * cell_width,
                      std::uint64_t{header.map_height} * cell_height, walk.name,
                      "a map this large is not drawn"))
        return false;
    unsigned tile_count = 0;
    if (tiles)
        tile_count =
            static_cast<unsigned>((tiles->width / cell_width) * (tiles->height / cell_height));
    std::uint64_t past_sheet = 0;
    std::vector<unsigned char> cells(header.map_width * cell_bytes + 1);
    for (int row = 0; row < header.map_height; ++row) {
        std::size_t whole_cells = 0;
        if (!walk_map_row(walk, cells.data(), whole_cells)) return false;
        for (int column = 0; column < header.map_width; ++column) {
            unsigned value = cells[column * 2] | cells[column * 2 + 1] << 8;
            int left = column * cell_width, top = row * cell_height;
            if (!tiles) {
                draw_cell(picture, value, left, top, cell_width, cell_height);
            } else if ((value & cellmap_settings.index_mask) < tile_count) {
                draw_tile(picture, *tiles, value & cellmap_settings.index_mask, left, top,
                          cell_width, cell_height);
            } else {
                fill(picture, left, top, cell_width, cell_height, past_sheet_colour);
                ++past_sheet;
            }
        }
    }
    if (past_sheet)
        std::fprintf(
            stderr, "%s: %s: warning: %llu %s a tile past the %u of %s, drawn in magenta\n",
            program_name, walk.name, static_cast<unsigned long long>(past_sheet),
            past_sheet == 1 ? "cell names" : "cells name", tile_count, cellmap_settings.tiles_name);
    return true;
}

// ---- an animation ----

// Frame `frame`'s top left corner.
static void frame_corner(int frame, int& left, int& top)
{
    left = frame % frames_a_row * frame_size;
    top = frame / frames_a_row * frame_size;
}

// The sprite's rectangle around the frame's origin, clipped to the frame:
// filled from the texture page at (u, v) when there is one, then outlined.
static void draw_sprite(Picture& picture, const SpriteEntry& sprite, int frame, unsigned number,
                        const Sheet* texture)
{
    int frame_left, frame_top;
    frame_corner(frame, frame_left, frame_top);
    int left = frame_size / 2 + sprite_x(sprite), top = frame_size / 2 + sprite_y(sprite);
    int width = sprite_w(sprite), height = sprite_h(sprite);
    std::uint32_t colour = value_colour(number + 1);
    int right = std::min(left + width, frame_size), bottom = std::min(top + height, frame_size);
    for (int y = std::max(top, 0); y < bottom; ++y) {
        for (int x = std::max(left, 0); x < right; ++x) {
            bool edge = x == left || y == top || x == left + width - 1 || y == top + height - 1;
            int u = sprite_u(sprite) + x - left, v = sprite_v(sprite) + y - top;
            if (edge)
                put_pixel(picture, frame_left + x, frame_top + y, colour);
            else if (texture && u < texture->width && v < texture->height)
                put_pixel(picture, frame_left + x, frame_top + y, sheet_pixel(*texture, u, v));
        }
    }
}

static bool view_animation(Walk& walk, const Sheet* texture, Picture& picture)
{
    std::uint32_t header, counts, a, b;
    if (!walk_anm_head(walk, header, counts)) return false;
    for (unsigned s = 0; s < walk.nsequence; ++s)
        if (!walk_sequence(walk, a, b)) return false;
    unsigned first = cellmap_settings.groups_given ? cellmap_settings.first_group : 0;
    unsigned last =
        cellmap_settings.groups_given ? cellmap_settings.last_group : walk.nspritegp - 1;
    if (walk.nspritegp == 0) {
        std::fprintf(stderr, "%s: %s: no sprite group to draw\n", program_name, walk.name);
        return false;
    }
    if (first >= walk.nspritegp) {
        std::fprintf(stderr, "%s: %s: no group %u to draw: the groups are 0-%u\n", program_name,
                     walk.name, first, walk.nspritegp - 1);
        return false;
    }
    if (last >= walk.nspritegp) {
        last = walk.nspritegp - 1;
        std::fprintf(stderr, "%s: %s: warning: the groups are 0-%u; %u-%u drawn\n", program_name,
                     walk.name, last, first, last);
    }
    std::uint64_t frames = last - first + 1;
    std::uint64_t columns = frames < frames_a_row ? frames : frames_a_row;
    if (!make_picture(picture, columns * frame_size,
                      (frames + frames_a_row - 1) / frames_a_row * frame_size, walk.name,
                      "pick fewer groups with --groups A-B (1024 at most)"))
        return false;
    for (unsigned group = 0; group <= last; ++group) {
        std::uint32_t nsprt;
        if (!walk_group(walk, nsprt)) return false;
        int frame = static_cast<int>(group - first);
        if (group >= first) {
            int left, top;
            frame_corner(frame, left, top);
            fill(picture, left, top, frame_size, frame_size,
                 frame_colours[(frame + frame / frames_a_row) % 2]);
        }
        for (std::uint32_t number = 0; number < nsprt; ++number) {
            SpriteEntry sprite;
            int words;
            if (!walk_sprite(walk, sprite, words)) return false;
            if (group >= first) draw_sprite(picture, sprite, frame, number, texture);
        }
    }
    return true;
}

// ---- the command ----

// An option of the other format's picture is a wrong command line.
static bool options_fit(const char* name, bool animation, const CellmapSettings& settings)
{
    const char* misplaced = nullptr;
    if (animation && settings.tiles_name) misplaced = "--tiles";
    if (!animation && settings.texture_name) misplaced = "--texture";
    if (!animation && settings.groups_given) misplaced = "--groups";
    if (!misplaced) return true;
    std::fprintf(stderr, "%s: view: %s is for %s, and %s is read as %s (--anm and --map choose)\n"
                 "Try '%s --help'.\n", program_name, misplaced,
                 animation ? "a cell map" : "an animation", name,
                 animation ? "an animation" : "a cell map", program_name);
    return false;
}

int run_view()
{
    static Walk walk;
    const CellmapSettings& settings = cellmap_settings;
    const char* name = settings.files[0];
    bool animation = is_animation(name, settings.format);
    if (!options_fit(name, animation, settings)) return 2;
    const char* sheet_name = animation ? settings.texture_name : settings.tiles_name;
    Sheet sheet;
    if (sheet_name && !load_sheet(sheet_name, sheet)) return 1;
    std::FILE* file = walk_open(walk, name);
    bool drawn = false;
    Picture picture;
    if (file) {
        const Sheet* given = sheet_name ? &sheet : nullptr;
        drawn = animation ? view_animation(walk, given, picture) : view_map(walk, given, picture);
        walk_close(file);
        if (walk.cut) report_cut(walk);
    }
    stbi_image_free(sheet.pixels);
    return drawn && write_picture(settings.output_name, picture) ? 0 : 1;
}
