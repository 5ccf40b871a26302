#include "c_writer.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "anm_reader.h"
#include "output.h"
#include "settings.h"

// One group is read whole before its lines are committed (so -r can turn it
// round, and a group cut short shows none of its lines); a group holds 1 to
// 127 entries, never more.
constexpr std::uint32_t max_group_size = 127;
static SpriteEntry group_buffer[max_group_size];

// ---- decimal text ----
//
// The dump is mostly numbers, and printf-style conversion would cost more
// than everything else together. Every field's text comes from a table the
// compiler builds: small numbers whole, fields that follow each other on the
// line from the same word together, larger numbers as their hundreds and a
// digit pair.

// A number's text and the comma after it, in eight bytes so that a single
// copy moves it; `length` counts the characters, comma included.
struct NumberText {
    char text[7];
    unsigned char length;
};

// The same for a run of up to four fields.
struct FieldsText {
    char text[15];
    unsigned char length;
};

template <typename Text, std::size_t size>
struct Texts {
    Text of[size];
};

// Appends `value` and a comma.
template <typename Text>
constexpr void append_number(Text& entry, unsigned value)
{
    if (value >= 100) entry.text[entry.length++] = static_cast<char>('0' + value / 100);
    if (value >= 10) entry.text[entry.length++] = static_cast<char>('0' + value / 10 % 10);
    entry.text[entry.length++] = static_cast<char>('0' + value % 10);
    entry.text[entry.length++] = ',';
}

// "0," to "999,".
constexpr Texts<NumberText, 1000> make_small_numbers()
{
    Texts<NumberText, 1000> table{};
    for (unsigned value = 0; value < 1000; ++value) append_number(table.of[value], value);
    return table;
}

// "00," to "99,": the last two digits of a larger number.
constexpr Texts<NumberText, 100> make_digit_pairs()
{
    Texts<NumberText, 100> table{};
    for (unsigned value = 0; value < 100; ++value) {
        table.of[value] = NumberText{{static_cast<char>('0' + value / 10),
                                      static_cast<char>('0' + value % 10), ','}, 3};
    }
    return table;
}

// "bno,csn,", indexed by the bits they share in the rotation word.
constexpr Texts<NumberText, 256> make_bno_csn()
{
    Texts<NumberText, 256> table{};
    for (unsigned key = 0; key < 256; ++key) {
        append_number(table.of[key], key >> 6);
        append_number(table.of[key], key & 63);
    }
    return table;
}

// "tpf,tpn,abe,abr,", indexed by the ten bits they share in the flags word.
constexpr Texts<FieldsText, 1024> make_tpf_tpn_abe_abr()
{
    Texts<FieldsText, 1024> table{};
    for (unsigned key = 0; key < 1024; ++key) {
        append_number(table.of[key], key >> 8);
        append_number(table.of[key], key >> 1 & 31);
        append_number(table.of[key], key & 1);
        append_number(table.of[key], key >> 6 & 3);
    }
    return table;
}

static constexpr Texts<NumberText, 1000> small_numbers = make_small_numbers();
static constexpr Texts<NumberText, 100> digit_pairs = make_digit_pairs();
static constexpr Texts<NumberText, 256> bno_csn_texts = make_bno_csn();
static constexpr Texts<FieldsText, 1024> tpf_tpn_abe_abr_texts = make_tpf_tpn_abe_abr();

// The put functions write at `at` and return the end of what they wrote.
// They may write up to put_slack bytes past that end, which the next put or
// the caller overwrites, so room is reserved with that much to spare.
constexpr std::size_t put_slack = 16;

static inline char* put_literal(char* at, const char* text, std::size_t length)
{
    std::memcpy(at, text, length);
    return at + length;
}

// Copies the whole entry, length byte and all, in one move; what follows
// the text is overwritten next.
template <typename Text>
static inline char* put_text(char* at, const Text& entry)
{
    std::memcpy(at, &entry, sizeof entry);
    return at + entry.length;
}

// `value` is 0-999; writes it and a comma.
static inline char* put_small(char* at, unsigned value)
{
    return put_text(at, small_numbers.of[value]);
}

// `value` is 0-9; writes it and a comma.
static inline char* put_digit(char* at, unsigned value)
{
    at[0] = static_cast<char>('0' + value);
    at[1] = ',';
    return at + 2;
}

// `value` is 0-99999; writes it and a comma. From 100 up, its hundreds come
// from the small numbers (their comma overwritten) and the rest is a digit
// pair: two look-ups and one test, which is nearly always decided the same
// way for a field, so the branch costs little.
static inline char* put_unsigned(char* at, unsigned value)
{
    if (value < 100) return put_small(at, value);
    at = put_small(at, value / 100) - 1;
    return put_text(at, digit_pairs.of[value % 100]);
}

// `value` is -99999 to 99999; writes it and a comma. The sign costs no
// branch: the '-' is always written and kept only for a negative value.
static inline char* put_signed(char* at, int value)
{
    *at = '-';
    at += value < 0;
    return put_unsigned(at, static_cast<unsigned>(value < 0 ? -value : value));
}

// Group numbers have at least three digits: 000, 001, ... 999, 1000.
static inline char* put_group_number(char* at, unsigned group)
{
    if (group >= 1000) return put_unsigned(at, group) - 1;  // no comma
    *at = static_cast<char>('0' + group / 100);
    return put_text(at + 1, digit_pairs.of[group % 100]) - 1;  // no comma
}

// ---- the text of one dump ----

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

// "  seq(%d,%d,%d,%d,%d),\n" at most.
constexpr std::size_t max_sequence_line = 6 + 2 + 4 + 6 + 7 + 7 + 2;

static char* put_sequence_line(char* at, const SequenceEntry& e)
{
    at = put_literal(at, "  seq(", 6);
    at = put_digit(at, static_cast<unsigned>(e.atr));
    at = put_small(at, static_cast<unsigned>(e.time));
    at = put_unsigned(at, static_cast<unsigned>(e.sprgpno));
    at = put_signed(at, e.x);
    at = put_signed(at, e.y);
    at[-1] = ')';  // after the last number
    return put_literal(at, ",\n", 2);
}

static void write_sequence_table(Input& in, const char* label, int nsequence)
{
    out_str("/* sequence\n * seq(atr,time,sprgpno,x,y)\n */\n");
    out_printf("%sSEQ %s_seq[%d+1] = {\n", static_prefix(), label, nsequence);
    for (int i = 0; i < nsequence; ++i) {
        SequenceEntry entry;
        read_sequence(in, entry);
        out_commit(put_sequence_line(out_reserve(max_sequence_line + put_slack), entry));
    }
    out_str("  seq(0,0,0,0,0)\t/* End mark */\n};\n");
}

// Longest sprite line: "  spt(", six fields of up to 3 digits, clx, cly,
// bno, csn, tpf, tpn, abe, abr, rotf (2, 3, 1, 2, 1, 2, 1, 1, 1 digits), rot
// (5 digits), rsz, x and y (a sign and 5 digits), each with its ',' or
// ')', and ",\n".
constexpr std::size_t max_sprite_line = 6 + 6 * 4 + 3 + 4 + 2 + 3 + 2 + 3 + 2 + 2 + 2 + 6 + 2 +
                                        7 + 7 + 2;

// The sprite line: one field after the other, or a run of them, each with
// the cheapest conversion its range allows.
static inline char* put_sprite_line(char* at, const SpriteEntry e)
{
    at = put_literal(at, "  spt(", 6);
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
    return put_literal(at, ",\n", 2);
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
    char* at = out_reserve(nsprt * max_sprite_line + put_slack);
    for (std::uint32_t i = 0; i < nsprt; ++i)
        at = put_sprite_line(at, group_buffer[dumper_settings.reverse ? nsprt - 1 - i : i]);
    return at;
}

static void write_table_name(const Label& label, int group)
{
    out_text(label.text, label.length);
    char* at = out_reserve(8 + put_slack);
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
    char* at = out_reserve(12 + put_slack);
    at = put_small(put_literal(at, "[", 1), nsprt) - 1;  // no comma
    out_commit(put_literal(at, "+1] = {\n", 8));

    if (dumper_settings.debug || dumper_settings.reverse) {
        out_commit(put_group_in_two_passes(in, nsprt));
    } else {
        char* room = out_reserve(nsprt * max_sprite_line + put_slack);
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
