#include "build.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <climits>
#include <cmath>
#include <string_view>
#include <vector>

#include <rapidjson/error/en.h>
#include <rapidjson/filereadstream.h>
#include <rapidjson/reader.h>

#include "cellmap_settings.h"
#include "output_file.h"

// ---- the fields ----

// A number field of an entry: where it sits in the entry's words, and
// whether it is a signed 16-bit number. For a map's header, `word` is the
// header byte.
struct FieldSpec {
    const char* name;
    unsigned char word, first, bits;
    bool is_signed;
};

// What an object of fields is, for the messages.
struct EntryKind {
    const char* what;
    const FieldSpec* fields;
    int count;
};

static const FieldSpec header_fields[] = {
    {"id", 0, 0, 8, false},   {"version", 0, 8, 8, false},      {"tpf", 0, 16, 2, false},
    {"clt", 0, 28, 4, false}, {"bits_18_27", 0, 18, 10, false},
};
static const FieldSpec sequence_fields[] = {
    {"atr", 0, 28, 2, false}, {"time", 0, 16, 8, false}, {"sprgpno", 0, 0, 16, false},
    {"x", 1, 0, 16, true},    {"y", 1, 16, 16, true},    {"a_bits_24_27", 0, 24, 4, false},
    {"a_bits_30_31", 0, 30, 2, false},
};
// Words 0-4 are W1-W5; a sprite with a size code has no W3.
static const FieldSpec sprite_fields[] = {
    {"ox", 0, 16, 8, false},    {"oy", 0, 24, 8, false},   {"u", 0, 0, 8, false},
    {"v", 0, 8, 8, false},      {"w", 2, 0, 8, false},     {"h", 2, 16, 8, false},
    {"clx", 1, 0, 6, false},    {"cly", 1, 6, 9, false},   {"bno", 3, 30, 2, false},
    {"csn", 3, 24, 6, false},   {"tpf", 1, 23, 2, false},  {"tpn", 1, 16, 5, false},
    {"abe", 1, 15, 1, false},   {"abr", 1, 21, 2, false},  {"rotf", 1, 27, 1, false},
    {"rot", 3, 0, 16, false},   {"rsz", 1, 26, 1, false},  {"x", 4, 0, 16, true},
    {"y", 4, 16, 16, true},     {"size", 1, 28, 4, false}, {"w2_bit_25", 1, 25, 1, false},
    {"w3_bits_8_15", 2, 8, 8, false}, {"w3_bits_24_31", 2, 24, 8, false},
    {"w4_bits_16_23", 3, 16, 8, false},
};
enum SpriteField { sprite_w = 4, sprite_h = 5, sprite_w3_low = 21, sprite_w3_high = 22 };
// The map's header bytes that have a key of their own.
static const FieldSpec map_fields[] = {
    {"id", 0, 0, 8, false},         {"width", 4, 0, 8, false},       {"height", 5, 0, 8, false},
    {"cell_width", 6, 0, 8, false}, {"cell_height", 7, 0, 8, false},
};
enum MapField { map_width = 1, map_height = 2 };

static const EntryKind header_kind = {"the header", header_fields, 5};
static const EntryKind sequence_kind = {"a sequence entry", sequence_fields, 7};
static const EntryKind sprite_kind = {"a sprite entry", sprite_fields, 24};

// "ox, oy, u, ..."
static std::string key_list(const FieldSpec* fields, int count)
{
    std::string list;
    for (int i = 0; i < count; ++i) list += (i ? ", " : "") + std::string(fields[i].name);
    return list;
}

static int find_field(const FieldSpec* fields, int count, std::string_view name)
{
    for (int i = 0; i < count; ++i)
        if (name == fields[i].name) return i;
    return -1;
}

// ---- the top level ----

enum TopKey {
    key_format,
    key_header,
    key_sequences,
    key_groups,
    key_rows,
    key_padding,
    key_trailing,
    key_cut,
    key_map_field
};
static const char* const top_names[] = {"format", "header",  "sequences", "groups",
                                        "rows",   "padding", "trailing",  "cut"};
static const char anm_keys[] = "format, header, sequences, groups, trailing";
static const char map_keys[] =
    "format, id, width, height, cell_width, cell_height, padding, rows, trailing";

enum class Format { unknown, anm, map };

// Which format a top-level key belongs to; unknown for both.
static Format key_format_of(int key)
{
    if (key == key_header || key == key_sequences || key == key_groups) return Format::anm;
    if (key == key_rows || key == key_padding || key >= key_map_field) return Format::map;
    return Format::unknown;
}

// ---- the reader's state ----

// The containers the text can be in, from the outside in.
enum class Where { top, header, sequences, sequence, groups, group, sprite, padding, rows, row };

// A JSON value as it comes. Its text is made only for a message.
struct Value {
    enum Kind { a_number, a_string, a_boolean, a_null, an_object, an_array } kind;
    bool whole = false;  // a number without fraction
    long long number = 0;  // a whole number's value; beyond long long, its largest
    std::string_view text;  // a string's, or a number's that `number` does not hold
};

struct Reader {
    BuiltFile* built;
    std::string* error;
    Where stack[4] = {};
    std::uint64_t elements[4] = {};  // elements begun so far, in each array level
    int depth = 0;
    int top_key = key_format;  // the key whose value is read at the top
    int map_field = 0;  // which map header field, for key_map_field
    unsigned top_given = 0;  // top keys and map fields seen, a bit each
    Format format = Format::unknown;
    std::string first_key_of[3];  // the first top key seen of each format
    // The entry being read: its words, the fields given, the pending key.
    const EntryKind* kind = nullptr;
    std::uint32_t words[5] = {};
    std::uint32_t given = 0;
    int field = -1;
    std::uint32_t header_word = 0;
    std::string sequence_bytes;
    std::uint64_t groups = 0;
    unsigned char map_head[8] = {};
    std::fpos_t group_start = {};  // where the group's nsprt word waits for its count
    std::uint64_t first_row_width = 0;
    std::uint64_t rows = 0;
    std::string row_error;  // the first row of another width
    bool body_failed = false;
};

static const char anm_description[] = "an animation dump";
static const char map_description[] = "a cell map dump";

static std::string number_text(std::uint64_t n)
{
    return std::to_string(n);
}

// "1 row", "2 rows".
static std::string count_text(std::uint64_t n, const char* thing)
{
    return number_text(n) + " " + thing + (n == 1 ? "" : "s");
}

static int map_bit(int field)
{
    return key_map_field + field;
}

// The path of the value now being read (with_element) or of its container.
static std::string path(const Reader& r, bool with_element = true)
{
    std::string text;
    int levels = with_element ? r.depth : r.depth - 1;
    for (int level = 0; level < levels; ++level) {
        Where where = r.stack[level];
        if (where == Where::top)
            text +=
                r.top_key == key_map_field ? map_fields[r.map_field].name : top_names[r.top_key];
        else if (where == Where::header || where == Where::sequence || where == Where::sprite)
            text += std::string(".") + (r.field >= 0 ? r.kind->fields[r.field].name : "");
        else
            text += "[" + number_text(r.elements[level] - 1) + "]";
    }
    return text;
}

// A value as a message shows it: long strings cut short.
static std::string shown(const Value& v)
{
    switch (v.kind) {
        case Value::a_number:
            return v.text.empty() ? std::to_string(v.number) : std::string(v.text);
        case Value::a_string:
            return "\"" + std::string(v.text.size() > 24 ? v.text.substr(0, 20) : v.text) +
                   (v.text.size() > 24 ? "...\"" : "\"");
        case Value::a_boolean: return v.number ? "true" : "false";
        case Value::a_null: return "null";
        case Value::an_object: return "an object";
        case Value::an_array: return "an array";
    }
    return "";
}

static bool fail(Reader& r, const std::string& at, const std::string& what)
{
    *r.error = at + ": " + what;
    return false;
}

static bool wrong_value(Reader& r, const Value& v, const std::string& allowed)
{
    return fail(r, path(r), shown(v) + " is not " + allowed);
}

// ---- the body spool ----

static void spool(Reader& r, const unsigned char* bytes, std::size_t size)
{
    if (std::fwrite(bytes, 1, size, r.built->body) != size) r.body_failed = true;
}

static void put_word(unsigned char* at, std::uint32_t word)
{
    for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(word >> (8 * i));
}

// ---- numbers ----

// A whole number in `layout`'s range, as the field's bits.
static bool field_number(Reader& r, const Value& v, const FieldSpec& layout, std::uint32_t& bits)
{
    long long low = layout.is_signed ? -(1LL << (layout.bits - 1)) : 0;
    long long high = low + (1LL << layout.bits) - 1;
    if (v.kind == Value::a_number && v.whole && v.number >= low && v.number <= high) {
        bits = static_cast<std::uint32_t>(v.number) &
               static_cast<std::uint32_t>((1LL << layout.bits) - 1);
        return true;
    }
    std::string range = std::to_string(low) + (low < 0 ? " to " : "-") + std::to_string(high);
    if (v.kind != Value::a_number) return wrong_value(r, v, "a number in " + range);
    if (!v.whole) return wrong_value(r, v, "a whole number in " + range);
    return fail(r, path(r), shown(v) + " is not in " + range);
}

// ---- entries: the header, a sequence entry, a sprite ----

static void begin_entry(Reader& r, Where where, const EntryKind& kind)
{
    r.stack[r.depth++] = where;
    r.kind = &kind;
    std::memset(r.words, 0, sizeof r.words);
    r.given = 0;
    r.field = -1;
}

// Keys mostly come in the dump's order, so the one after the last is tried
// first.
static bool entry_key(Reader& r, std::string_view key)
{
    int next = r.field + 1 < r.kind->count ? r.field + 1 : 0;
    r.field =
        key == r.kind->fields[next].name ? next : find_field(r.kind->fields, r.kind->count, key);
    if (r.field < 0)
        return fail(r, path(r) + std::string(key),
                    std::string("not a key of ") + r.kind->what + " (" +
                        key_list(r.kind->fields, r.kind->count) + ")");
    if (r.given & 1u << r.field) return fail(r, path(r), "given twice");
    r.given |= 1u << r.field;
    return true;
}

static bool entry_value(Reader& r, const Value& v)
{
    const FieldSpec& layout = r.kind->fields[r.field];
    std::uint32_t bits = 0;
    if (!field_number(r, v, layout, bits)) return false;
    r.words[layout.word] |= bits << layout.first;
    return true;
}

// A sprite with a size code is four words, w and h both size x 8; W3's
// other bits exist only in the five-word form.
static bool end_sprite(Reader& r)
{
    unsigned size = r.words[1] >> 28;
    if (size != 0) {
        unsigned side = size * 8;
        for (int f : {sprite_w, sprite_h}) {
            unsigned given = (r.words[2] >> sprite_fields[f].first) & 0xff;
            if ((r.given & 1u << f) && given != side)
                return fail(r, path(r, false) + "." + sprite_fields[f].name,
                            std::to_string(given) + " is not " + std::to_string(side) +
                                ", which size " + std::to_string(size) +
                                " makes it (or leave size out)");
        }
        for (int f : {sprite_w3_low, sprite_w3_high})
            if ((r.words[2] >> sprite_fields[f].first) & 0xff)
                return fail(r, path(r, false) + "." + sprite_fields[f].name,
                            "only an entry without size has these bits");
    }
    unsigned char bytes[20];
    std::size_t length = 0;
    for (int word = 0; word < 5; ++word) {
        if (word == 2 && size != 0) continue;
        put_word(bytes + length, r.words[word]);
        length += 4;
    }
    spool(r, bytes, length);
    return true;
}

static void end_sequence(Reader& r)
{
    unsigned char bytes[8];
    put_word(bytes, r.words[0]);
    put_word(bytes + 4, r.words[1]);
    r.sequence_bytes.append(reinterpret_cast<const char*>(bytes), 8);
}

// ---- groups and rows ----

// A group's nsprt word is written once its length is known.
static void begin_group(Reader& r)
{
    static const unsigned char zero[4] = {};
    if (std::fgetpos(r.built->body, &r.group_start) != 0) r.body_failed = true;
    spool(r, zero, 4);
}

static void end_group(Reader& r, std::uint64_t sprites)
{
    unsigned char nsprt[4];
    put_word(nsprt, static_cast<std::uint32_t>(sprites));
    if (std::fsetpos(r.built->body, &r.group_start) != 0) r.body_failed = true;
    spool(r, nsprt, 4);
    if (std::fseek(r.built->body, 0, SEEK_END) != 0) r.body_failed = true;
}

// Every row is as wide as the width given before the rows, or else as the
// first row. A row that is not waits to be reported at the end, so that
// the dump of a file cut within a row is refused as cut.
static void end_row(Reader& r, std::uint64_t cells)
{
    bool width_given = r.top_given & 1u << map_bit(map_width);
    if (r.rows++ == 0) r.first_row_width = cells;
    std::uint64_t width = width_given ? r.map_head[4] : r.first_row_width;
    if (cells != width && r.row_error.empty())
        r.row_error = path(r, false) + ": " + count_text(cells, "cell") + ", not " +
                      number_text(width) +
                      (width_given ? " as width says" : " as in the first row");
}

// ---- values, by where they are ----

static bool length_allowed(Reader& r, std::uint64_t elements, std::uint64_t most, const char* what)
{
    if (elements <= most) return true;
    return fail(r, path(r),
                std::string("one of more ") + what + " than the format's " + number_text(most));
}

static int hex_digit(char c)
{
    const char* digits = "0123456789abcdef0123456789ABCDEF";
    const char* at = c ? std::strchr(digits, c) : nullptr;
    return at ? static_cast<int>(at - digits) % 16 : -1;
}

static bool hex_bytes(std::string_view text, std::string& bytes)
{
    if (text.size() % 2) return false;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        int high = hex_digit(text[i]), low = hex_digit(text[i + 1]);
        if (high < 0 || low < 0) return false;
        bytes.push_back(static_cast<char>(high << 4 | low));
    }
    return true;
}

static bool push_array(Reader& r, Where where)
{
    r.elements[r.depth] = 0;
    r.stack[r.depth++] = where;
    return true;
}

static bool top_value(Reader& r, const Value& v)
{
    switch (r.top_key) {
        case key_format:
            if (v.kind == Value::a_string && (v.text == "anm" || v.text == "map")) {
                r.format = v.text == "anm" ? Format::anm : Format::map;
                return true;
            }
            return wrong_value(r, v, "\"anm\" or \"map\"");
        case key_header:
            if (v.kind != Value::an_object) return wrong_value(r, v, "an object of header fields");
            begin_entry(r, Where::header, header_kind);
            return true;
        case key_sequences:
            if (v.kind != Value::an_array) return wrong_value(r, v, "an array of sequence entries");
            return push_array(r, Where::sequences);
        case key_groups:
            if (v.kind != Value::an_array) return wrong_value(r, v, "an array of sprite groups");
            return push_array(r, Where::groups);
        case key_rows:
            if (v.kind != Value::an_array) return wrong_value(r, v, "an array of rows");
            return push_array(r, Where::rows);
        case key_padding:
            if (v.kind != Value::an_array)
                return wrong_value(r, v, "an array of 3 numbers in 0-255");
            return push_array(r, Where::padding);
        case key_trailing:
            if (v.kind == Value::a_string && hex_bytes(v.text, r.built->trailing)) return true;
            return wrong_value(r, v, "hexadecimal text, two digits a byte");
        case key_cut:
            return fail(r, path(r), "the dump is of a file cut short, which cannot be built back");
        default: {
            std::uint32_t bits = 0;
            if (!field_number(r, v, map_fields[r.map_field], bits)) return false;
            r.map_head[map_fields[r.map_field].word] = static_cast<unsigned char>(bits);
            return true;
        }
    }
}

static bool cell_value(Reader& r, const Value& v, std::uint64_t index)
{
    static const FieldSpec cell = {"cell", 0, 0, 16, false};
    std::uint32_t bits = 0;
    if (!length_allowed(r, index, 255, "cells") || !field_number(r, v, cell, bits)) return false;
    unsigned char bytes[2] = {static_cast<unsigned char>(bits),
                              static_cast<unsigned char>(bits >> 8)};
    spool(r, bytes, 2);
    return true;
}

static bool padding_value(Reader& r, const Value& v, std::uint64_t index)
{
    static const FieldSpec padding_byte = {"padding", 0, 0, 8, false};
    std::uint32_t bits = 0;
    if (!length_allowed(r, index, 3, "padding bytes") || !field_number(r, v, padding_byte, bits))
        return false;
    r.map_head[index] = static_cast<unsigned char>(bits);
    return true;
}

// Arrays count their elements as they begin; the lengths are the format's
// counts, so each has the format's limit.
static bool array_element(Reader& r, Where where, const Value& v)
{
    std::uint64_t index = ++r.elements[r.depth - 1];
    switch (where) {
        case Where::sequences:
            if (v.kind != Value::an_object)
                return wrong_value(r, v, "a sequence entry (an object)");
            if (!length_allowed(r, index, 65535, "sequence entries")) return false;
            begin_entry(r, Where::sequence, sequence_kind);
            return true;
        case Where::groups:
            if (v.kind != Value::an_array)
                return wrong_value(r, v, "a sprite group (an array of sprite entries)");
            if (!length_allowed(r, index, 65535, "sprite groups")) return false;
            begin_group(r);
            return push_array(r, Where::group);
        case Where::group:
            if (v.kind != Value::an_object) return wrong_value(r, v, "a sprite entry (an object)");
            if (!length_allowed(r, index, 0xffffffff, "sprite entries")) return false;
            begin_entry(r, Where::sprite, sprite_kind);
            return true;
        case Where::rows:
            if (v.kind != Value::an_array) return wrong_value(r, v, "a row (an array of cells)");
            if (!length_allowed(r, index, 255, "rows")) return false;
            return push_array(r, Where::row);
        case Where::padding: return padding_value(r, v, index);
        default: return cell_value(r, v, index);
    }
}

static bool take_value(Reader& r, const Value& v)
{
    if (r.depth == 0) {
        if (v.kind != Value::an_object)
            return fail(r, "the text", shown(v) + " is not a dump's object");
        r.stack[r.depth++] = Where::top;
        return true;
    }
    Where where = r.stack[r.depth - 1];
    if (where == Where::top) return top_value(r, v);
    if (where == Where::header || where == Where::sequence || where == Where::sprite)
        return entry_value(r, v);
    return array_element(r, where, v);
}

// ---- keys at the top ----

static std::string top_keys_text(Format format)
{
    if (format == Format::anm) return std::string(anm_description) + " (" + anm_keys + ")";
    if (format == Format::map) return std::string(map_description) + " (" + map_keys + ")";
    return std::string("a dump (") + anm_keys + "; or " + map_keys + ")";
}

// A key of the other format than "format" names is refused, at once or,
// when "format" comes later, at the end.
static bool top_key(Reader& r, std::string_view key)
{
    r.map_field = find_field(map_fields, 5, key);
    r.top_key = r.map_field >= 0 ? key_map_field : -1;
    for (int k = 0; k < key_map_field; ++k)
        if (key == top_names[k]) r.top_key = k;
    Format of = r.top_key < 0 ? Format::unknown : key_format_of(r.top_key);
    if (r.top_key < 0 || (of != Format::unknown && r.format != Format::unknown && of != r.format)) {
        r.top_key = key_format;
        return fail(r, std::string(key), "not a key of " + top_keys_text(r.format));
    }
    int bit = r.top_key == key_map_field ? map_bit(r.map_field) : r.top_key;
    if (r.top_given & 1u << bit) return fail(r, std::string(key), "given twice");
    r.top_given |= 1u << bit;
    std::string& first = r.first_key_of[static_cast<int>(of)];
    if (first.empty()) first = key;
    return true;
}

static bool take_key(Reader& r, std::string_view key)
{
    return r.stack[r.depth - 1] == Where::top ? top_key(r, key) : entry_key(r, key);
}

// ---- ends ----

static bool end_anm(Reader& r)
{
    for (int k : {key_sequences, key_groups})
        if (!(r.top_given & 1u << k))
            return fail(r, top_names[k], "missing; the format needs this array");
    unsigned char words[8];
    put_word(words, r.header_word);
    std::uint64_t sequences = r.sequence_bytes.size() / 8;
    put_word(words + 4, static_cast<std::uint32_t>(sequences << 16 | r.groups));
    r.built->head.assign(reinterpret_cast<const char*>(words), 8);
    r.built->head += r.sequence_bytes;
    return true;
}

// An omitted width or height is the rows' own.
static bool end_map(Reader& r)
{
    if (!(r.top_given & 1u << key_rows))
        return fail(r, "rows", "missing; the format needs this array");
    if (!r.row_error.empty()) {
        *r.error = r.row_error;
        return false;
    }
    if (!(r.top_given & 1u << map_bit(map_height)))
        r.map_head[5] = static_cast<unsigned char>(r.rows);
    if (!(r.top_given & 1u << map_bit(map_width)))
        r.map_head[4] = static_cast<unsigned char>(r.first_row_width);
    if (r.rows != r.map_head[5])
        return fail(
            r, "rows",
            count_text(r.rows, "row") + ", not " + number_text(r.map_head[5]) + " as height says");
    if (r.rows && r.first_row_width != r.map_head[4])
        return fail(r, "rows",
                    count_text(r.first_row_width, "cell") + " a row, not " +
                        number_text(r.map_head[4]) + " as width says");
    r.built->head.assign(reinterpret_cast<const char*>(r.map_head), 8);
    return true;
}

static bool end_top(Reader& r)
{
    if (!(r.top_given & 1u << key_format)) return fail(r, "format", "missing; \"anm\" or \"map\"");
    const std::string& foreign =
        r.first_key_of[static_cast<int>(r.format == Format::anm ? Format::map : Format::anm)];
    if (!foreign.empty()) return fail(r, foreign, "not a key of " + top_keys_text(r.format));
    return r.format == Format::anm ? end_anm(r) : end_map(r);
}

// Finishes the innermost container, with the path still at it.
static bool finish_container(Reader& r)
{
    std::uint64_t elements = r.elements[r.depth - 1];
    switch (r.stack[r.depth - 1]) {
        case Where::top: return end_top(r);
        case Where::header: r.header_word = r.words[0]; return true;
        case Where::sequence: end_sequence(r); return true;
        case Where::sprite: return end_sprite(r);
        case Where::group:
            end_group(r, elements);
            ++r.groups;
            return true;
        case Where::row: end_row(r, elements); return true;
        case Where::padding:
            if (elements == 3) return true;
            return fail(r, "padding",
                        count_text(elements, "number") + ", not the header's 3 bytes");
        default: return true;
    }
}

static bool end_container(Reader& r)
{
    if (!finish_container(r)) return false;
    --r.depth;
    return true;
}

// ---- the parser's events ----

// RapidJSON's reader calls these as it reads; each hands its event on.
struct ReaderEvents {
    Reader& r;

    bool Null() { return take_value(r, {Value::a_null, false, 0, {}}); }
    bool Bool(bool b) { return take_value(r, {Value::a_boolean, false, b ? 1 : 0, {}}); }
    bool Int(int n) { return take_value(r, {Value::a_number, true, n, {}}); }
    bool Uint(unsigned n) { return take_value(r, {Value::a_number, true, n, {}}); }
    bool Int64(std::int64_t n) { return take_value(r, {Value::a_number, true, n, {}}); }
    bool Uint64(std::uint64_t n)
    {
        if (n <= static_cast<std::uint64_t>(LLONG_MAX))
            return take_value(r, {Value::a_number, true, static_cast<long long>(n), {}});
        std::string text = std::to_string(n);
        return take_value(r, {Value::a_number, true, LLONG_MAX, text});
    }
    // A fraction, an exponent, or a whole number beyond 64 bits: 16.0 is
    // taken as 16, and one beyond long long as its largest.
    bool Double(double d)
    {
        char text[32];
        std::snprintf(text, sizeof text, "%.10g", d);
        long long number = d >= 0x1p63 ? LLONG_MAX : d <= -0x1p63 ? LLONG_MIN : 0;
        if (number == 0 && std::floor(d) == d) number = static_cast<long long>(d);
        return take_value(r, {Value::a_number, std::floor(d) == d, number, text});
    }
    bool RawNumber(const char*, rapidjson::SizeType, bool) { return false; }  // not asked for
    bool String(const char* text, rapidjson::SizeType length, bool)
    {
        return take_value(r, {Value::a_string, false, 0, std::string_view(text, length)});
    }
    bool StartObject() { return take_value(r, {Value::an_object, false, 0, {}}); }
    bool StartArray() { return take_value(r, {Value::an_array, false, 0, {}}); }
    bool Key(const char* text, rapidjson::SizeType length, bool)
    {
        return take_key(r, std::string_view(text, length));
    }
    bool EndObject(rapidjson::SizeType) { return end_container(r); }
    bool EndArray(rapidjson::SizeType) { return end_container(r); }
};

// ---- reading and writing ----

// Windows' tmpfile() makes its file in the root of the drive, where a user
// without administrator rights may not write; there the spool goes to the
// user's temporary folder instead, and Windows removes it once closed.
static std::FILE* open_spool()
{
#if defined(_WIN32)
    char* name = _tempnam(nullptr, "anm-cellmap");
    std::FILE* spool = name ? std::fopen(name, "w+bTD") : nullptr;
    std::free(name);
    return spool;
#else
    return std::tmpfile();
#endif
}

// The byte order mark some Windows editors write first is skipped; the
// start of one alone is not JSON.
static bool skip_byte_order_mark(rapidjson::FileReadStream& stream)
{
    static const char mark[] = "\xEF\xBB\xBF";
    for (int i = 0; i < 3; ++i) {
        if (stream.Peek() != mark[i]) return i == 0;
        stream.Take();
    }
    return true;
}

bool read_dump(std::FILE* json, BuiltFile& built, std::string& error)
{
    built = BuiltFile{};
    built.body = open_spool();
    if (!built.body) {
        error = std::string("no temporary file for the output: ") + std::strerror(errno);
        return false;
    }
    Reader reader;
    reader.built = &built;
    reader.error = &error;
    ReaderEvents events{reader};
    std::vector<char> buffer(1 << 16);
    rapidjson::FileReadStream stream(json, buffer.data(), buffer.size());
    if (!skip_byte_order_mark(stream)) {
        error = "byte " + std::to_string(stream.Tell()) + ": " +
                rapidjson::GetParseError_En(rapidjson::kParseErrorValueInvalid);
        return false;
    }
    rapidjson::Reader parser;
    rapidjson::ParseResult parsed = parser.Parse(stream, events);
    if (std::ferror(json)) {
        error = std::string("read error: ") + std::strerror(errno);
        return false;
    }
    // A refusal of ours has its message already.
    if (parsed.IsError() && parsed.Code() != rapidjson::kParseErrorTermination)
        error = "byte " + std::to_string(parsed.Offset()) + ": " +
                rapidjson::GetParseError_En(parsed.Code());
    if (!parsed.IsError() && (reader.body_failed || std::fflush(built.body) != 0)) {
        error = "the temporary file for the output could not be written";
        return false;
    }
    return !parsed.IsError();
}

bool write_built(const BuiltFile& built, std::FILE* out)
{
    bool ok = std::fwrite(built.head.data(), 1, built.head.size(), out) == built.head.size();
    std::rewind(built.body);
    unsigned char buffer[1 << 16];
    std::size_t got;
    while (ok && (got = std::fread(buffer, 1, sizeof buffer, built.body)) > 0)
        ok = std::fwrite(buffer, 1, got, out) == got;
    ok = ok && !std::ferror(built.body);
    return ok && std::fwrite(built.trailing.data(), 1, built.trailing.size(), out) ==
                     built.trailing.size();
}

void release_built(BuiltFile& built)
{
    if (built.body) std::fclose(built.body);
    built = BuiltFile{};
}

// ---- the command ----

// The one place build meets pavrin's output module: a file is replaced
// only once written whole.
static bool write_output(const char* name, const BuiltFile& built)
{
    OutputFile out;
    prepare_process();
    if (!open_output(std::strcmp(name, "-") ? name : nullptr, out, output_texts)) return false;
    if (write_built(built, out.stream)) return close_output(out, output_texts);
    discard_output(out);
    std::fprintf(stderr, output_texts.write_error, program_name, name);
    return false;
}

int run_build()
{
    const char* json_name = cellmap_settings.files[0];
    const char* output_name = cellmap_settings.output_name;
    bool from_stdin = !std::strcmp(json_name, "-");
    std::FILE* json = from_stdin ? stdin : std::fopen(json_name, "rb");
    if (!json) {
        std::fprintf(stderr, "%s: %s: %s\n", program_name, json_name, std::strerror(errno));
        return 1;
    }
    BuiltFile built;
    std::string error;
    bool ok = read_dump(json, built, error);
    if (!from_stdin) std::fclose(json);
    if (!ok) std::fprintf(stderr, "%s: %s: %s\n", program_name, json_name, error.c_str());
    ok = ok && write_output(output_name, built);
    release_built(built);
    return ok ? 0 : 1;
}
