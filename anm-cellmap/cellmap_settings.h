// The settings of an anm-cellmap run: filled by the driver from the command
// line (anm-cellmap.cpp, which defines them) and read by the commands.
#ifndef ANM_CELLMAP_CELLMAP_SETTINGS_H
#define ANM_CELLMAP_CELLMAP_SETTINGS_H

#include "output_file.h"

enum class Command { none, dump, build, check, view };

// Which format an input is read as: by its name (".anm" in any case is an
// animation, anything else a cell map), or as --anm / --map say.
enum class FormatChoice { by_name, anm, map };

// check's findings, by name; `cut` and `nsprt` are errors, the rest
// warnings that -W options turn off or into errors.
enum Warning { warn_cut, warn_nsprt, warn_sprgpno, warn_trailing, warn_reserved, warn_id,
               warn_cell_size, warning_count };

inline bool always_error(Warning warning)
{
    return warning == warn_cut || warning == warn_nsprt;
}

// Each warning's -W options, the last one given winning: -WNAME and
// -Wno-NAME turn it on and off, -Werror=NAME and -Wno-error=NAME decide
// whether it is an error; undecided, it follows -Werror.
struct WarningLevel {
    bool enabled = true;
    signed char error = -1;  // -1 undecided, 0 a warning, 1 an error
};

struct CellmapSettings {
    Command command = Command::none;
    FormatChoice format = FormatChoice::by_name;
    char** files = nullptr;            // the file arguments, in order; "-" is standard input
    int file_count = 0;
    const char* output_name = nullptr;  // -o / --output; "-" is standard output
    WarningLevel warnings[warning_count];
    bool all_errors = false;            // -Werror
    // view
    const char* tiles_name = nullptr;    // --tiles SHEET.png
    const char* texture_name = nullptr;  // --texture PAGE.png
    unsigned index_mask = 0xffff;        // --index-mask
    bool groups_given = false;           // --groups A-B
    unsigned first_group = 0;
    unsigned last_group = 0;
};

extern CellmapSettings cellmap_settings;

// The first word of every message.
constexpr const char* program_name = "anm-cellmap";

// What pavrin's output module says for build and view, in this program's
// words: each given the program and the output's name.
constexpr OutputTexts output_texts = {program_name, "%s: %s: cannot be opened for writing\n",
                                      "%s: %s: out of memory\n", "%s: %s: write error\n"};

#endif
