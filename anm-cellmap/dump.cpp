#include "dump.h"

#include <cstdint>
#include <cstdio>

#include "anm_walk.h"
#include "cellmap_settings.h"
#include "number_text.h"
#include "output.h"
#include "settings.h"

// The JSON goes through quarnel's output buffer, its numbers through
// quarnel's number tables: each put_* writes a number and a comma, and
// each key literal below starts with the space that follows that comma. The
// last number of an entry gives its comma back (the "- 1"). Every entry is
// written in one piece, in room reserved for its longest text.

constexpr std::size_t entry_room = 640;

// ---- animation ----

static void put_head(std::uint32_t header)
{
    char* at = out_reserve(entry_room);
    at = put_literal(at, ",\n \"header\": {\"id\": ");
    at = put_small(at, static_cast<unsigned>(field(header, 0, 8)));
    at = put_literal(at, " \"version\": ");
    at = put_small(at, static_cast<unsigned>(field(header, 8, 8)));
    at = put_literal(at, " \"tpf\": ");
    at = put_digit(at, static_cast<unsigned>(field(header, 16, 2)));
    at = put_literal(at, " \"clt\": ");
    at = put_small(at, static_cast<unsigned>(field(header, 28, 4)));
    if (unsigned bits = static_cast<unsigned>(field(header, 18, 10))) {
        at = put_literal(at, " \"bits_18_27\": ");
        at = put_unsigned(at, bits);
    }
    out_commit(put_literal(at - 1, "}"));
}

static void put_sequence(std::uint32_t a, std::uint32_t b, bool first)
{
    char* at = out_reserve(entry_room);
    at = first ? put_literal(at, "\n  {\"atr\": ") : put_literal(at, ",\n  {\"atr\": ");
    at = put_digit(at, static_cast<unsigned>(field(a, 28, 2)));
    at = put_literal(at, " \"time\": ");
    at = put_small(at, static_cast<unsigned>(field(a, 16, 8)));
    at = put_literal(at, " \"sprgpno\": ");
    at = put_unsigned(at, static_cast<unsigned>(field(a, 0, 16)));
    at = put_literal(at, " \"x\": ");
    at = put_signed(at, signed_half(b, 0));
    at = put_literal(at, " \"y\": ");
    at = put_signed(at, signed_half(b, 16));
    if (unsigned bits = static_cast<unsigned>(field(a, 24, 4))) {
        at = put_literal(at, " \"a_bits_24_27\": ");
        at = put_small(at, bits);
    }
    if (unsigned bits = static_cast<unsigned>(field(a, 30, 2))) {
        at = put_literal(at, " \"a_bits_30_31\": ");
        at = put_digit(at, bits);
    }
    out_commit(put_literal(at - 1, "}"));
}

static void put_sprite(const SpriteEntry& e, int words, bool first)
{
    char* at = out_reserve(entry_room);
    at = first ? put_literal(at, "\n   {\"ox\": ") : put_literal(at, ",\n   {\"ox\": ");
    at = put_small(at, static_cast<unsigned>(sprite_ox(e)));
    at = put_literal(at, " \"oy\": ");
    at = put_small(at, static_cast<unsigned>(sprite_oy(e)));
    at = put_literal(at, " \"u\": ");
    at = put_small(at, static_cast<unsigned>(sprite_u(e)));
    at = put_literal(at, " \"v\": ");
    at = put_small(at, static_cast<unsigned>(sprite_v(e)));
    at = put_literal(at, " \"w\": ");
    at = put_small(at, static_cast<unsigned>(sprite_w(e)));
    at = put_literal(at, " \"h\": ");
    at = put_small(at, static_cast<unsigned>(sprite_h(e)));
    at = put_literal(at, " \"clx\": ");
    at = put_small(at, static_cast<unsigned>(sprite_clx(e)));
    at = put_literal(at, " \"cly\": ");
    at = put_small(at, static_cast<unsigned>(sprite_cly(e)));
    int bno_csn = sprite_bno_csn(e);
    at = put_literal(at, " \"bno\": ");
    at = put_digit(at, static_cast<unsigned>(bno_csn >> 6));
    at = put_literal(at, " \"csn\": ");
    at = put_small(at, static_cast<unsigned>(bno_csn & 63));
    int texture = sprite_tpf_abr_tpn_abe(e);  // tpf << 8 | abr << 6 | tpn << 1 | abe
    at = put_literal(at, " \"tpf\": ");
    at = put_digit(at, static_cast<unsigned>(texture >> 8));
    at = put_literal(at, " \"tpn\": ");
    at = put_small(at, static_cast<unsigned>(texture >> 1 & 31));
    at = put_literal(at, " \"abe\": ");
    at = put_digit(at, static_cast<unsigned>(texture & 1));
    at = put_literal(at, " \"abr\": ");
    at = put_digit(at, static_cast<unsigned>(texture >> 6 & 3));
    at = put_literal(at, " \"rotf\": ");
    at = put_digit(at, static_cast<unsigned>(sprite_rotf(e)));
    at = put_literal(at, " \"rot\": ");
    at = put_unsigned(at, static_cast<unsigned>(sprite_rot(e)));
    at = put_literal(at, " \"rsz\": ");
    at = put_digit(at, static_cast<unsigned>(sprite_rsz(e)));
    at = put_literal(at, " \"x\": ");
    at = put_signed(at, sprite_x(e));
    at = put_literal(at, " \"y\": ");
    at = put_signed(at, sprite_y(e));
    // The bits no field takes, which are nearly always 0: one test for all.
    std::uint32_t size_bits = words == five_words ? e.size & 0xff00ff00u : 0;
    if (words == four_words) {
        at = put_literal(at, " \"size\": ");
        at = put_small(at, e.flags >> 28);
    }
    if ((e.flags & 1u << 25) | size_bits | (e.rotation & 0x00ff0000u)) {
        if (unsigned bit = static_cast<unsigned>(field(e.flags, 25, 1))) {
            at = put_literal(at, " \"w2_bit_25\": ");
            at = put_digit(at, bit);
        }
        if (unsigned bits = static_cast<unsigned>(field(size_bits, 8, 8))) {
            at = put_literal(at, " \"w3_bits_8_15\": ");
            at = put_small(at, bits);
        }
        if (unsigned bits = static_cast<unsigned>(field(size_bits, 24, 8))) {
            at = put_literal(at, " \"w3_bits_24_31\": ");
            at = put_small(at, bits);
        }
        if (unsigned bits = static_cast<unsigned>(field(e.rotation, 16, 8))) {
            at = put_literal(at, " \"w4_bits_16_23\": ");
            at = put_small(at, bits);
        }
    }
    out_commit(put_literal(at - 1, "}"));
}

// ---- both formats ----

// The bytes after the last entry, as hexadecimal text.
static bool put_trailing(Walk& walk)
{
    static const char digits[] = "0123456789abcdef";
    unsigned char bytes[4096];
    bool any = false;
    while (std::size_t count = walk_rest(walk, bytes, sizeof bytes)) {
        char* at = out_reserve(2 * sizeof bytes + 32);
        if (!any) at = put_literal(at, ",\n \"trailing\": \"");
        any = true;
        for (std::size_t i = 0; i < count; ++i) {
            *at++ = digits[bytes[i] >> 4];
            *at++ = digits[bytes[i] & 15];
        }
        out_commit(at);
    }
    if (any) out_text("\"", 1);  // closed before a cut too
    return !walk.cut;
}

// Closes what is open (`closing`), then "cut" as the last key.
static void put_cut(const Walk& walk, const char* closing)
{
    out_str(closing);
    out_printf(",\n \"cut\": {\"offset\": %llu, \"place\": \"",
               static_cast<unsigned long long>(walk.cut_offset));
    for (const char* c = walk.place; *c; ++c) {
        if (*c == '"' || *c == '\\') out_text("\\", 1);
        out_text(c, 1);
    }
    out_str("\"}\n}\n");
}

// Each part is written as soon as it is read; on a cut, the text so far is
// closed where it stands.
static bool dump_animation(Walk& walk)
{
    out_str("{\"format\": \"anm\"");
    std::uint32_t header, counts;
    if (!walk_anm_head(walk, header, counts)) {
        put_cut(walk, "");
        return false;
    }
    put_head(header);

    out_str(",\n \"sequences\": [");
    for (unsigned i = 0; i < walk.nsequence; ++i) {
        std::uint32_t a, b;
        if (!walk_sequence(walk, a, b)) {
            put_cut(walk, i ? "\n ]" : "]");
            return false;
        }
        put_sequence(a, b, i == 0);
    }
    out_str(walk.nsequence ? "\n ],\n \"groups\": [" : "],\n \"groups\": [");

    for (unsigned group = 0; group < walk.nspritegp; ++group) {
        std::uint32_t nsprt;
        if (!walk_group(walk, nsprt)) {
            put_cut(walk, group ? "\n ]" : "]");
            return false;
        }
        out_str(group ? ",\n  [" : "\n  [");
        for (std::uint32_t sprite = 0; sprite < nsprt; ++sprite) {
            SpriteEntry entry;
            int words;
            if (!walk_sprite(walk, entry, words)) {
                put_cut(walk, sprite ? "\n  ]\n ]" : "]\n ]");
                return false;
            }
            put_sprite(entry, words, sprite == 0);
        }
        out_str(nsprt ? "\n  ]" : "]");
    }
    out_str(walk.nspritegp ? "\n ]" : "]");
    if (!put_trailing(walk)) {
        put_cut(walk, "");
        return false;
    }
    out_str("\n}\n");
    return true;
}

// One row of `count` cells, each read least significant byte first.
static void put_row(const unsigned char* cells, std::size_t count, bool first)
{
    char* at = out_reserve(4 + count * 7 + 2);
    at = first ? put_literal(at, "\n  [") : put_literal(at, ",\n  [");
    for (std::size_t i = 0; i < count; ++i) {
        at = put_unsigned(at, cells[2 * i] | static_cast<unsigned>(cells[2 * i + 1]) << 8);
        *at++ = ' ';
    }
    if (count) at -= 2;
    out_commit(put_literal(at, "]"));
}

static bool dump_map(Walk& walk)
{
    out_str("{\"format\": \"map\"");
    unsigned char head[map_header_size];
    MapHeader header;
    if (!walk_map_head(walk, head, header)) {
        put_cut(walk, "");
        return false;
    }
    out_printf(", \"id\": %u, \"width\": %u, \"height\": %u, \"cell_width\": %u, "
               "\"cell_height\": %u", head[0], head[4], head[5], head[6], head[7]);
    if (head[1] | head[2] | head[3])
        out_printf(", \"padding\": [%u, %u, %u]", head[1], head[2], head[3]);
    out_str(",\n \"rows\": [");
    unsigned char cells[255 * cell_bytes];
    for (unsigned row = 0; row < walk.height; ++row) {
        std::size_t whole_cells;
        bool whole = walk_map_row(walk, cells, whole_cells);
        put_row(cells, whole ? walk.width : whole_cells, row == 0);
        if (!whole) {
            put_cut(walk, "\n ]");
            return false;
        }
    }
    out_str(walk.height ? "\n ]" : "]");
    if (!put_trailing(walk)) {
        put_cut(walk, "");
        return false;
    }
    out_str("\n}\n");
    return true;
}

int run_dump()
{
    static Walk walk;
    const char* name = cellmap_settings.files[0];
    std::FILE* file = walk_open(walk, name);
    if (!file) return 1;
    dumper_settings.program_name = program_name;  // in the output buffer's messages
    out_start();
    bool whole = is_animation(name, cellmap_settings.format) ? dump_animation(walk)
                                                              : dump_map(walk);
    walk_close(file);
    out_flush();
    if (!whole) report_cut(walk);
    // Lost output is named as build and view name it, rather than in
    // quarnel's words; it is the last message, after a cut.
    if (!out_flush() || std::fclose(stdout) != 0) {
        std::fprintf(stderr, output_texts.write_error, program_name, "<stdout>");
        return 1;
    }
    return whole ? 0 : 1;
}
