#include "c_writer.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "anm_reader.h"
#include "number_text.h"
#include "output.h"
#include "settings.h"

// The C text of one dump, in the order it is written: the file comment, the
// label that names the tables, the header, the sequence table, the sprite
// groups and the pointer table.

// One group is read whole before its lines are committed (so -r can turn it
// round, and a group cut short shows none of its lines); a group holds 1 to
// 127 entries, never more.
constexpr std::uint32_t max_group_size = 127;
static SpriteEntry group_buffer[max_group_size];

// Length of the line splice at `at`, or 0: a backslash (or its trigraph
// "??/"), then blanks that compilers tolerate there, then a newline. The
// compiler removes splices before it looks for the end of a comment.
static std::size_t splice_length(const char* at)
{
    std::size_t length = 0;
    if (at[0] == '\\') length = 1;
    else if (at[0] == '?' && at[1] == '?' && at[2] == '/') length = 3;
    else return 0;
    while (at[length] == ' ' || at[length] == '\t' || at[length] == '\r' ||
           at[length] == '\v' || at[length] == '\f')
        ++length;
    return at[length] == '\n' ? length + 1 : 0;
}

// The stream name goes into a comment, where a "*/" would end the comment
// early and break the generated C; it is written as "*\/". The '*' and '/'
// may also meet only once line splices are removed ("*\<newline>/"), so the
// '/' gets its backslash whenever it follows a '*' with nothing but splices
// between them.
static void write_file_comment(const char* stream_name)
{
    out_str("/* file: ");
    bool after_star = false;
    for (const char* at = stream_name; *at;) {
        if (std::size_t splice = splice_length(at)) {
            out_text(at, splice);
            at += splice;
            continue;
        }
        if (*at == '/' && after_star) out_str("\\");
        after_star = *at == '*';
        out_text(at, 1);
        ++at;
    }
    out_str(" */\n");
}

static bool is_identifier_char(unsigned char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
           (c >= 'a' && c <= 'z') || c == '_';
}

char* make_label(const char* stream_name)
{
    static const char prefix[] = "anm_";
    constexpr std::size_t prefix_length = sizeof prefix - 1;

    // Only '/' separates directories; a '\' stays and becomes '_'.
    const char* slash = std::strrchr(stream_name, '/');
    const char* base = slash ? slash + 1 : stream_name;
    std::size_t base_length = std::strlen(base);

    char* label = static_cast<char*>(std::malloc(prefix_length + base_length + 1));
    if (!label) fail("%s: more core!\n", dumper_settings.program_name);
    std::memcpy(label, prefix, prefix_length);
    std::memcpy(label + prefix_length, base, base_length + 1);

    for (char* c = label; *c; ++c) {
        unsigned char ch = static_cast<unsigned char>(*c);
        if (dumper_settings.lower && ch >= 'A' && ch <= 'Z') ch = static_cast<unsigned char>(ch - 'A' + 'a');
        if (!is_identifier_char(ch)) ch = '_';
        *c = static_cast<char>(ch);
    }
    return label;
}

// A label and its length, taken once per dump: table names are written
// many times over.
struct Label {
    const char* text;
    std::size_t length;
};

static void write_header(Input& in)
{
    out_str("/* header *\n");
    std::uint32_t header = read_word(in);
    std::uint32_t tpf = (header >> 16) & 0x3;
    out_printf(" * 0x%08x\n", header);
    out_printf(" *  id: 0x%02x\n", header & 0xff);
    out_printf(" *  version: 0x%02x\n", (header >> 8) & 0xff);
    out_str(" *  flag:\n");
    out_printf(" *   clt: %x\n", header >> 28);
    out_printf(" *   tpf: %x (%s)\n", tpf, tpf_name(tpf));
    out_str(" * \n");
}

struct Counts {
    int nsequence;
    int nspritegp;
};

static Counts read_counts(Input& in)
{
    std::uint32_t word = read_word(in);
    Counts counts{static_cast<int>(word >> 16), static_cast<int>(word & 0xffff)};
    out_printf(" * 0x%08x\n", word);
    out_printf(" *  nsequence: %d\n", counts.nsequence);
    out_printf(" *  nspritegp: %d\n", counts.nspritegp);
    out_str(" */\n");
    return counts;
}

static const char* static_prefix()
{
    return dumper_settings.static_symbols ? "static " : "";
}

// The widest sequence line, each field at its widest text with its comma
// (the last one's becomes the ')'): atr 0-3, time 0-255, sprgpno 0-65535,
// x and y -32768 to 32767.
constexpr std::size_t max_sequence_line = width("  seq(") + digit_width + small_width(255) +
                                          unsigned_width(65535) + 2 * signed_width(32768) +
                                          width(",\n");

static char* put_sequence_line(char* at, const SequenceEntry& e)
{
    at = put_literal(at, "  seq(");
    at = put_digit(at, static_cast<unsigned>(e.atr));
    at = put_small(at, static_cast<unsigned>(e.time));
    at = put_unsigned(at, static_cast<unsigned>(e.sprgpno));
    at = put_signed(at, e.x);
    at = put_signed(at, e.y);
    at[-1] = ')';  // after the last number
    return put_literal(at, ",\n");
}

static void write_sequence_table(Input& in, const char* label, int nsequence)
{
    out_str("/* sequence\n * seq(atr,time,sprgpno,x,y)\n */\n");
    out_printf("%sSEQ %s_seq[%d+1] = {\n", static_prefix(), label, nsequence);
    for (int i = 0; i < nsequence; ++i) {
        SequenceEntry entry;
        read_sequence(in, entry);
        out_commit(put_sequence_line(out_reserve(max_sequence_line), entry));
    }
    out_str("  seq(0,0,0,0,0)\t/* End mark */\n};\n");
}

// The widest sprite line, likewise: ox, oy, u, v, w, h 0-255, clx 0-63, cly
// 0-511, the runs from their tables, rotf and rsz one digit, rot 0-65535, x
// and y -32768 to 32767.
constexpr std::size_t max_sprite_line =
    width("  spt(") + 6 * small_width(255) + small_width(63) + small_width(511) +
    widest(bno_csn_texts) + widest(tpf_tpn_abe_abr_texts) + digit_width + unsigned_width(65535) +
    digit_width + 2 * signed_width(32768) + width(",\n");
static_assert(max_group_size * max_sprite_line + out_slack <= out_capacity,
              "a whole group's lines fit in the output buffer");

// The sprite line: one field after the other, or a run of them, each with
// the cheapest conversion its range allows.
static inline char* put_sprite_line(char* at, const SpriteEntry e)
{
    at = put_literal(at, "  spt(");
    at = put_small(at, static_cast<unsigned>(sprite_ox(e)));
    at = put_small(at, static_cast<unsigned>(sprite_oy(e)));
    at = put_small(at, static_cast<unsigned>(sprite_u(e)));
    at = put_small(at, static_cast<unsigned>(sprite_v(e)));
    at = put_small(at, static_cast<unsigned>(sprite_w(e)));
    at = put_small(at, static_cast<unsigned>(sprite_h(e)));
    at = put_small(at, static_cast<unsigned>(sprite_clx(e)));
    at = put_small(at, static_cast<unsigned>(sprite_cly(e)));
    at = put_text(at, bno_csn_texts.of[sprite_bno_csn(e)]);
    at = put_text(at, tpf_tpn_abe_abr_texts.of[sprite_tpf_abr_tpn_abe(e)]);
    at = put_digit(at, static_cast<unsigned>(sprite_rotf(e)));
    at = put_unsigned(at, static_cast<unsigned>(sprite_rot(e)));
    at = put_digit(at, static_cast<unsigned>(sprite_rsz(e)));
    at = put_signed(at, sprite_x(e));
    at = put_signed(at, sprite_y(e));
    at[-1] = ')';
    return put_literal(at, ",\n");
}

// The usual case, no -d and no -r: each entry is written as soon as it is
// read, in one pass, straight from the bytes in memory; only an entry that
// is not wholly at hand costs a call. The lines are committed only once the
// whole group was read, so a group cut short shows none of them, as in the
// two-pass case.
static char* put_group_in_one_pass(Input& in, std::uint32_t nsprt, char* at)
{
    for (std::uint32_t i = 0; i < nsprt; ++i) {
        if (input_available(in) < max_sprite_bytes) need_sprite(in);
        SpriteEntry entry;
        take_sprite(in, entry);
        at = put_sprite_line(at, entry);
    }
    return at;
}

// -d echoes every word as it is read, before the group's first line, and -r
// needs the last entry first, so the whole group is read before any line.
static char* put_group_in_two_passes(Input& in, std::uint32_t nsprt)
{
    for (std::uint32_t i = 0; i < nsprt; ++i) read_sprite(in, group_buffer[i]);
    char* at = out_reserve(nsprt * max_sprite_line);
    for (std::uint32_t i = 0; i < nsprt; ++i)
        at = put_sprite_line(at, group_buffer[dumper_settings.reverse ? nsprt - 1 - i : i]);
    return at;
}

static void write_table_name(const Label& label, int group)
{
    out_text(label.text, label.length);
    char* at = out_reserve(width("_") + group_number_width(65534));
    *at = '_';
    out_commit(put_group_number(at + 1, static_cast<unsigned>(group)));
}

static void write_sprite_group(Input& in, const Label& label, int group)
{
    std::uint32_t nsprt = read_word(in);
    int shown_nsprt = static_cast<std::int32_t>(nsprt);
    out_text("static SPT ", 11);
    write_table_name(label, group);
    // nsprt - 1 wraps round for 0, so one comparison keeps 1..127.
    if (nsprt - 1 >= max_group_size) {
        out_printf("[%d+1] = {\n", shown_nsprt);
        input_give_back(in);
        fail("%s: invalid nsprt %d!\n", dumper_settings.program_name, shown_nsprt);
    }
    char* at = out_reserve(width("[") + small_width(max_group_size) - 1 + width("+1] = {\n"));
    at = put_small(put_literal(at, "["), nsprt) - 1;  // no comma
    out_commit(put_literal(at, "+1] = {\n"));

    if (dumper_settings.debug || dumper_settings.reverse) {
        out_commit(put_group_in_two_passes(in, nsprt));
    } else {
        char* room = out_reserve(nsprt * max_sprite_line);
        out_commit(put_group_in_one_pass(in, nsprt, room));
    }
    static const char end_mark[] = "  spt(0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0)\t/* End mark */\n};\n";
    out_text(end_mark, sizeof end_mark - 1);
}

static void write_pointer_table(const Label& label, int nspritegp)
{
    out_printf("%sSPT *%s_ptr[%d+1] = {\n", static_prefix(), label.text, nspritegp);
    for (int group = 0; group < nspritegp; ++group) {
        out_text("  ", 2);
        write_table_name(label, group);
        out_text(",\n", 2);
    }
    out_str("  NULL\n};\n");
}

int dump_file(Input& in, const char* stream_name)
{
    dumper_settings.current_file_name = stream_name;
    write_file_comment(stream_name);
    char* label_text = make_label(stream_name);
    const Label label{label_text, std::strlen(label_text)};

    write_header(in);
    Counts counts = read_counts(in);
    write_sequence_table(in, label.text, counts.nsequence);

    out_str("/* Sprite group */\n");
    out_str("/* spt(ox,oy,u,v,w,h,clx,cly,bno,csn,tpf,tpn,abe,abr,rotf,rot,rsz,x,y) */\n");
    for (int group = 0; group < counts.nspritegp; ++group) write_sprite_group(in, label, group);

    write_pointer_table(label, counts.nspritegp);
    std::free(label_text);
    input_give_back(in);
    return 0;
}
