#include "c_writer.h"

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "anm_reader.h"
#include "quarnel.h"

// One group is read whole before its lines are written (so -r can turn it
// round); a group holds 1 to 127 entries, never more.
constexpr std::uint32_t max_group_size = 127;
static SpriteEntry group_buffer[max_group_size];

// Longest sprite line: "  spt(" + 19 numbers of up to 11 characters, each
// followed by ',' or ')', + ",\n".
constexpr std::size_t max_sprite_line = 6 + 19 * 12 + 2;

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

static void write_header(std::FILE* in)
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

static Counts read_counts(std::FILE* in)
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

static void write_sequence_table(std::FILE* in, const char* label, int nsequence)
{
    out_str("/* sequence\n * seq(atr,time,sprgpno,x,y)\n */\n");
    out_printf("%sSEQ %s_seq[%d+1] = {\n", static_prefix(), label, nsequence);
    for (int i = 0; i < nsequence; ++i) {
        SequenceEntry entry;
        read_sequence(in, entry);
        out_printf("  seq(%d,%d,%d,%d,%d),\n", entry.atr, entry.time, entry.sprgpno,
                   entry.x, entry.y);
    }
    out_str("  seq(0,0,0,0,0)\t/* End mark */\n};\n");
}

static inline char* put_literal(char* at, const char* text, std::size_t length)
{
    std::memcpy(at, text, length);
    return at + length;
}

// Many fields of a sprite are a single digit, so that case skips the general
// conversion. `at` needs room for 11 characters.
static inline char* put_decimal(char* at, int value)
{
    if (static_cast<unsigned>(value) < 10) {
        *at = static_cast<char>('0' + value);
        return at + 1;
    }
    return std::to_chars(at, at + 11, value).ptr;
}

// Each number is followed by ',' and the last one by ')'.
static inline char* put_field(char* at, int value, char separator)
{
    at = put_decimal(at, value);
    *at = separator;
    return at + 1;
}

static char* put_sprite_line(char* at, const SpriteEntry& e)
{
    at = put_literal(at, "  spt(", 6);
    at = put_field(at, e.ox, ',');
    at = put_field(at, e.oy, ',');
    at = put_field(at, e.u, ',');
    at = put_field(at, e.v, ',');
    at = put_field(at, e.w, ',');
    at = put_field(at, e.h, ',');
    at = put_field(at, e.clx, ',');
    at = put_field(at, e.cly, ',');
    at = put_field(at, e.bno, ',');
    at = put_field(at, e.csn, ',');
    at = put_field(at, e.tpf, ',');
    at = put_field(at, e.tpn, ',');
    at = put_field(at, e.abe, ',');
    at = put_field(at, e.abr, ',');
    at = put_field(at, e.rotf, ',');
    at = put_field(at, e.rot, ',');
    at = put_field(at, e.rsz, ',');
    at = put_field(at, e.x, ',');
    at = put_field(at, e.y, ')');
    return put_literal(at, ",\n", 2);
}

static void write_sprite_group(std::FILE* in, const char* label, int group)
{
    std::uint32_t nsprt = read_word(in);
    int shown_nsprt = static_cast<std::int32_t>(nsprt);
    out_printf("static SPT %s_%03d[%d+1] = {\n", label, group, shown_nsprt);
    // nsprt - 1 wraps round for 0, so one comparison keeps 1..127.
    if (nsprt - 1 >= max_group_size)
        fail("%s: invalid nsprt %d!\n", dumper_settings.program_name, shown_nsprt);

    for (std::uint32_t i = 0; i < nsprt; ++i) read_sprite(in, group_buffer[i]);
    for (std::uint32_t i = 0; i < nsprt; ++i) {
        const SpriteEntry& entry = group_buffer[dumper_settings.reverse ? nsprt - 1 - i : i];
        out_commit(put_sprite_line(out_reserve(max_sprite_line), entry));
    }
    out_str("  spt(0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0)\t/* End mark */\n};\n");
}

static void write_pointer_table(const char* label, int nspritegp)
{
    out_printf("%sSPT *%s_ptr[%d+1] = {\n", static_prefix(), label, nspritegp);
    for (int group = 0; group < nspritegp; ++group) out_printf("  %s_%03d,\n", label, group);
    out_str("  NULL\n};\n");
}

int dump_file(std::FILE* in, const char* stream_name)
{
    dumper_settings.current_file_name = stream_name;
    write_file_comment(stream_name);
    char* label = make_label(stream_name);

    write_header(in);
    Counts counts = read_counts(in);
    write_sequence_table(in, label, counts.nsequence);

    out_str("/* Sprite group */\n");
    out_str("/* spt(ox,oy,u,v,w,h,clx,cly,bno,csn,tpf,tpn,abe,abr,rotf,rot,rsz,x,y) */\n");
    for (int group = 0; group < counts.nspritegp; ++group) write_sprite_group(in, label, group);

    write_pointer_table(label, counts.nspritegp);
    std::free(label);
    return 0;
}
