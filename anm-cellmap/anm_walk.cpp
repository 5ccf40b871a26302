#include "anm_walk.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform.h"

bool is_animation(const char* name, FormatChoice format)
{
    if (format != FormatChoice::by_name) return format == FormatChoice::anm;
    std::size_t length = std::strlen(name);
    if (length < 4) return false;
    const char* tail = name + length - 4;
    return tail[0] == '.' && std::tolower(static_cast<unsigned char>(tail[1])) == 'a' &&
           std::tolower(static_cast<unsigned char>(tail[2])) == 'n' &&
           std::tolower(static_cast<unsigned char>(tail[3])) == 'm';
}

std::FILE* walk_open(Walk& walk, const char* name)
{
    std::FILE* file = std::strcmp(name, "-") == 0 ? stdin : std::fopen(name, "rb");
    if (!file) {
        std::fprintf(stderr, "%s: %s: %s\n", program_name, name, std::strerror(errno));
        return nullptr;
    }
    walk_start(walk, file, name);
    return file;
}

void walk_close(std::FILE* file)
{
    if (file != stdin) std::fclose(file);
}

void walk_start(Walk& walk, std::FILE* file, const char* name)
{
    walk.name = name;
    input_start(walk.in, descriptor_of(file));
    walk.offset = walk.entry_offset = 0;
    walk.nsequence = walk.nspritegp = walk.sequence = walk.group = 0;
    walk.nsprt = walk.sprite = 0;
    walk.width = walk.height = walk.row = 0;
    walk.cut = walk.read_failed = false;
    walk.cut_offset = walk.cut_word = 0;
    walk.place[0] = '\0';
}

// ---- the places ----

// Ends the walk at the first missing byte, `missing`, inside the word or
// cell that `what` names and that runs from byte `first` to `last`.
static bool cut_at(Walk& walk, std::uint64_t missing, const char* what, std::uint64_t first,
                   std::uint64_t last)
{
    walk.cut = true;
    walk.read_failed = walk.in.failed;
    walk.read_errno = errno;  // from the failed read, the last call that set it
    walk.cut_offset = missing;
    walk.cut_word = first;
    std::snprintf(walk.place, sizeof walk.place, "%s (bytes %llu-%llu)", what,
                  static_cast<unsigned long long>(first), static_cast<unsigned long long>(last));
    return false;
}

// Takes up to `count` bytes; returns how many came.
static std::size_t take_bytes(Walk& walk, unsigned char* to, std::size_t count)
{
    std::size_t taken = 0;
    while (taken < count) {
        if (input_available(walk.in) == 0 && !input_fill(walk.in, 1)) break;
        std::size_t part = input_available(walk.in);
        if (part > count - taken) part = count - taken;
        std::memcpy(to + taken, walk.in.next, part);
        walk.in.next += part;
        taken += part;
    }
    walk.offset += taken;
    return taken;
}

// Takes one word of the entry whose place is `what`.
static bool take_word(Walk& walk, std::uint32_t& word, const char* what)
{
    unsigned char bytes[4];
    std::uint64_t start = walk.offset;
    std::size_t got = take_bytes(walk, bytes, 4);
    if (got < 4) return cut_at(walk, start + got, what, start, start + 3);
    word = load_word(bytes);
    return true;
}

// ---- animation ----

bool walk_anm_head(Walk& walk, std::uint32_t& header, std::uint32_t& counts)
{
    walk.entry_offset = 0;
    if (!take_word(walk, header, "header word")) return false;
    walk.entry_offset = 4;
    if (!take_word(walk, counts, "count word")) return false;
    walk.nspritegp = counts & 0xffff;
    walk.nsequence = counts >> 16;
    walk.sequence = walk.group = 0;
    return true;
}

bool walk_sequence(Walk& walk, std::uint32_t& a, std::uint32_t& b)
{
    walk.entry_offset = walk.offset;
    char what[64];
    unsigned number = ++walk.sequence;
    std::snprintf(what, sizeof what, "sequence %u of %u, word A", number, walk.nsequence);
    if (!take_word(walk, a, what)) return false;
    std::snprintf(what, sizeof what, "sequence %u of %u, word B", number, walk.nsequence);
    return take_word(walk, b, what);
}

bool walk_group(Walk& walk, std::uint32_t& nsprt)
{
    walk.entry_offset = walk.offset;
    walk.sprite = 0;
    walk.nsprt = 0;
    char what[64];
    std::snprintf(what, sizeof what, "group %u of %u, word nsprt", ++walk.group, walk.nspritegp);
    if (!take_word(walk, nsprt, what)) return false;
    walk.nsprt = nsprt;
    return true;
}

// The names under which quarnel -d echoes the words, in file order.
static const char* const five_word_names[] = {"OfsY OfsX v u", "FLAG CBA", "H W", "FLAG2 ROT",
                                              "Y X"};
static const char* const four_word_names[] = {"OfsY OfsX v u", "FLAG CBA", "FLAG2 ROT", "Y X"};

// The sprite entry at hand is `length` bytes but only `got` came.
static bool cut_in_sprite(Walk& walk, std::size_t got, std::size_t length)
{
    const char* const* names = length == 4 * four_words ? four_word_names : five_word_names;
    std::size_t word = got / 4;
    char what[160];
    std::snprintf(what, sizeof what, "group %u of %u, sprite %lu of %lu, word \"%s\"", walk.group,
                  walk.nspritegp, static_cast<unsigned long>(walk.sprite),
                  static_cast<unsigned long>(walk.nsprt), names[word]);
    std::uint64_t start = walk.entry_offset + 4 * word;
    walk.offset = walk.entry_offset + got;
    return cut_at(walk, walk.offset, what, start, start + 3);
}

// Most of a large file is sprite entries: each is taken straight from the
// block input, with a byte-wise path only at the end of the file.
bool walk_sprite(Walk& walk, SpriteEntry& entry, int& words)
{
    walk.entry_offset = walk.offset;
    ++walk.sprite;
    Input& in = walk.in;
    if (input_available(in) < max_sprite_bytes) input_fill(in, max_sprite_bytes);
    std::size_t at_hand = input_available(in);
    std::size_t length = 4 * five_words;
    if (at_hand >= 8 && load_word(in.next + 4) >> 28 != 0) length = 4 * four_words;
    if (at_hand < length) {
        in.next = in.end;
        return cut_in_sprite(walk, at_hand, length);
    }
    words = static_cast<int>(length / 4);
    take_sprite(in, entry);
    walk.offset += length;
    return true;
}

// ---- cell map ----

bool walk_map_head(Walk& walk, unsigned char bytes[map_header_size], MapHeader& header)
{
    walk.entry_offset = 0;
    std::size_t got = take_bytes(walk, bytes, map_header_size);
    if (got < map_header_size) return cut_at(walk, got, "header", 0, map_header_size - 1);
    header = map_header_from(bytes);
    walk.width = header.map_width;
    walk.height = header.map_height;
    walk.row = 0;
    return true;
}

bool walk_map_row(Walk& walk, unsigned char* cells, std::size_t& whole_cells)
{
    walk.entry_offset = walk.offset;
    ++walk.row;
    std::size_t length = walk.width * cell_bytes;
    std::size_t got = take_bytes(walk, cells, length);
    whole_cells = got / cell_bytes;
    if (got == length) return true;
    char what[64];
    std::snprintf(what, sizeof what, "row %u of %u, cell %lu of %u", walk.row, walk.height,
                  static_cast<unsigned long>(whole_cells + 1), walk.width);
    std::uint64_t start = walk.entry_offset + whole_cells * cell_bytes;
    return cut_at(walk, walk.offset, what, start, start + cell_bytes - 1);
}

// ---- both ----

std::size_t walk_rest(Walk& walk, unsigned char* bytes, std::size_t room)
{
    walk.entry_offset = walk.offset;
    std::size_t got = take_bytes(walk, bytes, room);
    if (got == 0 && walk.in.failed) cut_at(walk, walk.offset, "the bytes after the last entry",
                                           walk.offset, walk.offset);
    return got;
}

void report_cut(const Walk& walk)
{
    if (walk.read_failed)
        std::fprintf(stderr, "%s: %s: read error at byte %llu (%s): %s\n", program_name,
                     walk.name, static_cast<unsigned long long>(walk.cut_offset),
                     std::strerror(walk.read_errno), walk.place);
    else
        std::fprintf(stderr, "%s: %s: cut at byte %llu: %s\n", program_name, walk.name,
                     static_cast<unsigned long long>(walk.cut_offset), walk.place);
}
