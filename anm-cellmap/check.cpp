#include "check.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "anm_walk.h"

// Indexed by Warning.
static const char* const warning_names[warning_count] = {
    "cut", "nsprt", "sprgpno", "trailing", "reserved", "id", "cell-size",
};

const char* warning_name(Warning warning)
{
    return warning_names[warning];
}

Warning find_warning(const char* name)
{
    int warning = 0;
    while (warning < warning_count && std::strcmp(warning_names[warning], name) != 0) ++warning;
    return static_cast<Warning>(warning);
}

// ---- findings ----

// What a run found, for the summary: only what was shown counts.
struct Findings {
    unsigned long errors = 0;
    unsigned long warnings = 0;
};

static Findings findings;

enum class Severity { silenced, warning, error };

static Severity severity(Warning warning)
{
    if (always_error(warning)) return Severity::error;
    const WarningLevel& level = cellmap_settings.warnings[warning];
    if (!level.enabled) return Severity::silenced;
    bool error = level.error < 0 ? cellmap_settings.all_errors : level.error == 1;
    return error ? Severity::error : Severity::warning;
}

// One line in the compiler's form: the finding's offset, its kind, its text
// and the option that names it, as GCC tags a warning it made an error.
static void report(const Walk& walk, std::uint64_t offset, Warning warning, const char* format,
                   ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 4, 5)))
#endif
    ;

static void report(const Walk& walk, std::uint64_t offset, Warning warning, const char* format,
                   ...)
{
    Severity kind = severity(warning);
    if (kind == Severity::silenced) return;
    std::fprintf(stderr, "%s: offset 0x%" PRIx64 ": %s: ", walk.name, offset,
                 kind == Severity::error ? "error" : "warning");
    std::va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    if (kind == Severity::error && !always_error(warning))
        std::fprintf(stderr, " [-Werror=%s]\n", warning_name(warning));
    else
        std::fprintf(stderr, " [-W%s]\n", warning_name(warning));
    if (kind == Severity::error) ++findings.errors;
    else ++findings.warnings;
}

static void report_cut_finding(const Walk& walk)
{
    if (walk.read_failed)
        report(walk, walk.cut_word, warn_cut, "read error at byte %" PRIu64 " (%s): %s",
               walk.cut_offset, std::strerror(walk.read_errno), walk.place);
    else
        report(walk, walk.cut_word, warn_cut, "cut at byte %" PRIu64 ": %s", walk.cut_offset,
               walk.place);
}

// Counts the bytes after the last entry; false on a read error.
static bool check_trailing(Walk& walk, const char* after)
{
    std::uint64_t start = walk.offset;
    unsigned char bytes[4096];
    while (walk_rest(walk, bytes, sizeof bytes) != 0) {}
    if (walk.cut) {
        report_cut_finding(walk);
        return false;
    }
    if (walk.offset > start)
        report(walk, start, warn_trailing, "%" PRIu64 " byte%s after the last %s",
               walk.offset - start, walk.offset - start == 1 ? "" : "s", after);
    return true;
}

// ---- animation ----

// Bits of `word` under `mask` that no field takes.
static void check_reserved(const Walk& walk, std::uint64_t offset, std::uint32_t word,
                           std::uint32_t mask, const char* where)
{
    if (word & mask)
        report(walk, offset, warn_reserved, "%s: bits 0x%08" PRIx32 " are set, which no field takes",
               where, word & mask);
}

static void check_sprite(const Walk& walk, const SpriteEntry& e, int words)
{
    if (!((e.flags & 1u << 25) | (words == five_words ? e.size & 0xff00ff00u : 0) |
          (e.rotation & 0x00ff0000u)))
        return;
    char where[96];
    std::snprintf(where, sizeof where, "group %u, sprite %lu", walk.group,
                  static_cast<unsigned long>(walk.sprite));
    std::uint64_t at = walk.entry_offset;
    check_reserved(walk, at + 4, e.flags, 1u << 25, where);
    if (words == five_words) check_reserved(walk, at + 8, e.size, 0xff00ff00u, where);
    check_reserved(walk, at + 4 * (words - 2), e.rotation, 0x00ff0000u, where);
}

// Walks the whole file, as dump reads it, until the end, a cut or a group
// size that quarnel refuses (after which it reads nothing).
static void check_animation(Walk& walk)
{
    std::uint32_t header, counts;
    if (!walk_anm_head(walk, header, counts)) return report_cut_finding(walk);
    check_reserved(walk, 0, header, 0x0ffc0000u, "header");

    for (unsigned i = 0; i < walk.nsequence; ++i) {
        std::uint32_t a, b;
        if (!walk_sequence(walk, a, b)) return report_cut_finding(walk);
        unsigned sprgpno = a & 0xffff;
        if (sprgpno >= walk.nspritegp)
            report(walk, walk.entry_offset, warn_sprgpno,
                   "sequence %u names group %u; the file has %u group%s", walk.sequence, sprgpno,
                   walk.nspritegp, walk.nspritegp == 1 ? "" : "s");
        char where[48];
        std::snprintf(where, sizeof where, "sequence %u", walk.sequence);
        check_reserved(walk, walk.entry_offset, a, 0xcf000000u, where);
    }

    for (unsigned group = 0; group < walk.nspritegp; ++group) {
        std::uint32_t nsprt;
        if (!walk_group(walk, nsprt)) return report_cut_finding(walk);
        if (nsprt == 0 || nsprt > 127) {
            report(walk, walk.entry_offset, warn_nsprt,
                   "group %u has nsprt %" PRIu32 "; quarnel takes 1 to 127 and stops here",
                   walk.group, nsprt);
            return;
        }
        for (std::uint32_t sprite = 0; sprite < nsprt; ++sprite) {
            SpriteEntry entry;
            int words;
            if (!walk_sprite(walk, entry, words)) return report_cut_finding(walk);
            check_sprite(walk, entry, words);
        }
    }
    check_trailing(walk, "group");
}

// ---- cell map ----

// The first map's cell size, which every later map's is compared with.
struct FirstCellSize {
    const char* name = nullptr;
    unsigned width = 0, height = 0;
};

static void check_map(Walk& walk, FirstCellSize& first)
{
    unsigned char head[map_header_size];
    MapHeader header;
    if (!walk_map_head(walk, head, header)) return report_cut_finding(walk);
    if (header.id != map_id)
        report(walk, 0, warn_id, "id is 0x%02x; pavrin writes 0x%02x", header.id, map_id);
    if (head[1] | head[2] | head[3])
        report(walk, 1, warn_reserved, "header bytes 1-3 are %02x %02x %02x, not 0", head[1],
               head[2], head[3]);
    if (!first.name) {
        first = FirstCellSize{walk.name, header.cell_width, header.cell_height};
    } else if (header.cell_width != first.width || header.cell_height != first.height) {
        report(walk, 6, warn_cell_size, "cell size %ux%u differs from %ux%u in %s",
               header.cell_width, header.cell_height, first.width, first.height, first.name);
    }
    unsigned char cells[255 * cell_bytes];
    for (unsigned row = 0; row < walk.height; ++row) {
        std::size_t whole_cells;
        if (!walk_map_row(walk, cells, whole_cells)) return report_cut_finding(walk);
    }
    check_trailing(walk, "row");
}

// ---- the run ----

static void print_summary(int files)
{
    std::fprintf(stderr, "%s: %d file%s checked: %lu error%s, %lu warning%s\n", program_name,
                 files, files == 1 ? "" : "s", findings.errors, findings.errors == 1 ? "" : "s",
                 findings.warnings, findings.warnings == 1 ? "" : "s");
}

int run_check()
{
    // Findings can be many: they leave in blocks, not a write each.
    static char stderr_buffer[1 << 16];
    std::setvbuf(stderr, stderr_buffer, _IOFBF, sizeof stderr_buffer);
    static Walk walk;
    FirstCellSize first;
    int opened = 0;
    for (int i = 0; i < cellmap_settings.file_count; ++i) {
        const char* name = cellmap_settings.files[i];
        std::FILE* file = walk_open(walk, name);
        if (!file) continue;
        ++opened;
        if (is_animation(name, cellmap_settings.format)) check_animation(walk);
        else check_map(walk, first);
        walk_close(file);
    }
    print_summary(opened);
    std::fflush(stderr);
    return findings.errors == 0 && opened == cellmap_settings.file_count ? 0 : 1;
}
