#include "anm-cellmap.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "build.h"
#include "check.h"
#include "dump.h"
#include "platform.h"
#include "cellmap_settings.h"
#include "view.h"

#ifndef ANM_CELLMAP_VERSION
#define ANM_CELLMAP_VERSION "unknown"
#endif

CellmapSettings cellmap_settings;

// ---- the commands and their options ----

struct CommandInfo {
    const char* name;
    Command command;
    const char* synopsis;
    const char* summary;
};

static const CommandInfo commands[] = {
    {"dump", Command::dump, "dump [--anm|--map] FILE",
     "write FILE as JSON on standard output"},
    {"build", Command::build, "build -o OUT FILE.json",
     "write the file that FILE.json describes to OUT"},
    {"check", Command::check,
     "check [--anm|--map] [-Werror] [-WNAME] [-Wno-NAME] [-Werror=NAME] FILE...",
     "report what is wrong or odd in each FILE"},
    {"view", Command::view,
     "view [--anm|--map] -o OUT.png [--tiles SHEET.png] [--index-mask=MASK]\n"
     "                    [--texture PAGE.png] [--groups A-B] FILE",
     "draw FILE as a PNG picture"},
};

enum Option { opt_anm, opt_map, opt_output, opt_tiles, opt_index_mask, opt_texture, opt_groups,
              opt_help, opt_warning };

struct OptionInfo {
    const char* long_name;
    bool takes_value;
    unsigned commands;  // bits of the Command values that accept it
};

constexpr unsigned bit(Command command)
{
    return 1u << static_cast<unsigned>(command);
}
constexpr unsigned any_command = bit(Command::dump) | bit(Command::build) |
                                 bit(Command::check) | bit(Command::view);
constexpr unsigned reading_commands = bit(Command::dump) | bit(Command::check) |
                                      bit(Command::view);

// Indexed by Option.
static const OptionInfo options[] = {
    {"anm", false, reading_commands},
    {"map", false, reading_commands},
    {"output", true, bit(Command::build) | bit(Command::view)},
    {"tiles", true, bit(Command::view)},
    {"index-mask", true, bit(Command::view)},
    {"texture", true, bit(Command::view)},
    {"groups", true, bit(Command::view)},
    {"help", false, any_command},
    {"W", false, bit(Command::check)},
};

// ---- usage ----

static void print_help()
{
    std::printf("usage: anm-cellmap COMMAND [options] FILE...\n"
                "Shows, checks, rebuilds and draws .anm animations and cell maps.\n\n");
    for (const CommandInfo& info : commands)
        std::printf("  anm-cellmap %s\n      %s\n", info.synopsis, info.summary);
    std::printf("\n"
                "  --anm, --map        read FILE as an animation or a cell map, whatever\n"
                "                      its name (by default a name ending in .anm is an\n"
                "                      animation, any other a cell map)\n"
                "  -o, --output=OUT    the file to write; - is standard output\n"
                "  -Werror, -Wno-error make every warning an error, or no more\n"
                "  -WNAME, -Wno-NAME   turn a warning on or off\n"
                "  -Werror=NAME        make one warning an error; -Wno-error=NAME keeps it one\n"
                "  --help, --version   this text; the version\n"
                "  --                  the arguments after it are files\n\n"
                "Warnings: cut and nsprt (errors), sprgpno, trailing, reserved, id, cell-size.\n"
                "A FILE named - is standard input. Exit status: 0 success, 1 failure,\n"
                "2 a wrong command line. See anm-cellmap(1).\n");
}

static void print_command_help(const CommandInfo& info)
{
    std::printf("usage: anm-cellmap %s\n%s\nSee anm-cellmap --help and anm-cellmap(1).\n",
                info.synopsis, info.summary);
}

// A wrong command line: the message, a hint, status 2.
static int usage_error(const char* format, const char* text)
{
    std::fprintf(stderr, "%s: ", program_name);
    std::fprintf(stderr, format, text);
    std::fprintf(stderr, "\nTry '%s --help'.\n", program_name);
    return 2;
}

// ---- option values ----

// A whole decimal, octal (0...) or hexadecimal (0x...) number up to `max`.
static bool parse_number(const char* text, unsigned long max, unsigned& value)
{
    if (*text < '0' || *text > '9') return false;
    errno = 0;
    char* end = nullptr;
    unsigned long number = std::strtoul(text, &end, 0);
    if (errno != 0 || *end != '\0' || number > max) return false;
    value = static_cast<unsigned>(number);
    return true;
}

// "A-B", or "A" for one group.
static bool parse_group_range(const char* text, unsigned& first, unsigned& last)
{
    const char* dash = std::strchr(text, '-');
    if (!dash) {
        if (!parse_number(text, 65535, first)) return false;
        last = first;
        return true;
    }
    char head[16];
    std::size_t length = static_cast<std::size_t>(dash - text);
    if (length == 0 || length >= sizeof head) return false;
    std::memcpy(head, text, length);
    head[length] = '\0';
    return parse_number(head, 65535, first) && parse_number(dash + 1, 65535, last) &&
           first <= last;
}

// -Werror, -Wno-error, -Werror=NAME, -Wno-error=NAME, -WNAME, -Wno-NAME.
static int take_warning_option(const char* argument)
{
    CellmapSettings& settings = cellmap_settings;
    const char* text = argument + 2;
    if (std::strcmp(text, "error") == 0 || std::strcmp(text, "no-error") == 0) {
        settings.all_errors = text[0] == 'e';
        return -1;
    }
    bool negated = std::strncmp(text, "no-", 3) == 0;
    if (negated) text += 3;
    bool error_form = std::strncmp(text, "error=", 6) == 0;
    if (error_form) text += 6;
    Warning warning = find_warning(text);
    if (warning == warning_count) return usage_error("unknown warning '%s'", argument);
    WarningLevel& level = settings.warnings[warning];
    if (negated && always_error(warning))
        return usage_error("'%s': an error that cannot be turned off", argument);
    if (error_form) {
        level.error = negated ? 0 : 1;
        if (!negated) level.enabled = true;
    } else {
        level.enabled = !negated;
    }
    return -1;
}

// Takes one option's value; returns -1 to go on, else the exit status.
static int take_option(Option option, const char* argument, const char* value)
{
    CellmapSettings& settings = cellmap_settings;
    switch (option) {
    case opt_anm: settings.format = FormatChoice::anm; break;
    case opt_map: settings.format = FormatChoice::map; break;
    case opt_output: settings.output_name = value; break;
    case opt_tiles: settings.tiles_name = value; break;
    case opt_texture: settings.texture_name = value; break;
    case opt_index_mask:
        if (!parse_number(value, 0xffff, settings.index_mask))
            return usage_error("--index-mask: '%s' is not a number from 0 to 0xffff", value);
        break;
    case opt_groups:
        settings.groups_given = true;
        if (!parse_group_range(value, settings.first_group, settings.last_group))
            return usage_error("--groups: '%s' is not a range A-B of group numbers", value);
        break;
    case opt_help: break;
    case opt_warning: return take_warning_option(argument);
    }
    return -1;
}

// "--name", "--name=value" or "--name value"; `next` is advanced past a
// value taken from the following argument.
static int take_long_option(const CommandInfo& info, int argc, char** argv, int& next)
{
    const char* argument = argv[next];
    const char* name = argument + 2;
    const char* equals = std::strchr(name, '=');
    std::size_t length = equals ? static_cast<std::size_t>(equals - name) : std::strlen(name);
    for (int option = opt_anm; option < opt_warning; ++option) {
        const OptionInfo& known = options[option];
        if (std::strlen(known.long_name) != length ||
            std::strncmp(known.long_name, name, length) != 0)
            continue;
        if (!(known.commands & bit(info.command)))
            return usage_error("option '%s' is not one of this command's", argument);
        if (option == opt_help) {
            print_command_help(info);
            return 0;
        }
        const char* value = nullptr;
        if (known.takes_value) {
            if (equals) value = equals + 1;
            else if (next + 1 < argc) value = argv[++next];
            else return usage_error("option '%s' needs a value", argument);
        } else if (equals) {
            return usage_error("option '%s' takes no value", argument);
        }
        return take_option(static_cast<Option>(option), argument, value);
    }
    return usage_error("unknown option '%s'", argument);
}

// -o OUT, -oOUT and the -W options.
static int take_short_option(const CommandInfo& info, int argc, char** argv, int& next)
{
    const char* argument = argv[next];
    Option option = argument[1] == 'o' ? opt_output : opt_warning;
    if (!(options[option].commands & bit(info.command)))
        return usage_error("option '%s' is not one of this command's", argument);
    if (option == opt_warning) return take_option(opt_warning, argument, nullptr);
    const char* value = argument[2] ? argument + 2 : next + 1 < argc ? argv[++next] : nullptr;
    if (!value) return usage_error("option '%s' needs a value", argument);
    return take_option(opt_output, argument, value);
}

// The options and file names after the command, in any order; returns -1
// to go on, else the exit status.
static int scan_arguments(const CommandInfo& info, int argc, char** argv)
{
    CellmapSettings& settings = cellmap_settings;
    settings.command = info.command;
    // The file names are gathered at the front of argv, in their order.
    settings.files = argv + 2;
    int status = -1;
    bool options_ended = false;
    for (int next = 2; next < argc && status < 0; ++next) {
        char* argument = argv[next];
        if (options_ended || argument[0] != '-' || argument[1] == '\0') {
            settings.files[settings.file_count++] = argument;
        } else if (std::strcmp(argument, "--") == 0) {
            options_ended = true;
        } else if (argument[1] == '-') {
            status = take_long_option(info, argc, argv, next);
        } else if (argument[1] == 'o' || argument[1] == 'W') {
            status = take_short_option(info, argc, argv, next);
        } else {
            status = usage_error("unknown option '%s'", argument);
        }
    }
    return status;
}

// What every command needs before it runs.
static int check_arguments(const CommandInfo& info)
{
    const CellmapSettings& settings = cellmap_settings;
    if (settings.file_count == 0) return usage_error("%s: no input file given", info.name);
    if (info.command != Command::check && settings.file_count > 1)
        return usage_error("%s: one input file only", info.name);
    int from_stdin = 0;
    for (int i = 0; i < settings.file_count; ++i)
        from_stdin += !std::strcmp(settings.files[i], "-");
    if (from_stdin > 1)
        return usage_error("%s: standard input (-) can be read once only", info.name);
    bool writes = info.command == Command::build || info.command == Command::view;
    if (writes && !settings.output_name)
        return usage_error("%s: the output is given with -o OUT", info.name);
    if (writes && settings.output_name[0] == '\0')
        return usage_error("%s: the output name is empty", info.name);
    return -1;
}

int anm_cellmap_main(int argc, char** argv)
{
    platform_setup();  // raw bytes on standard input and output, --help's text too
    if (argc < 2) return usage_error("%s", "no command given");
    const char* first = argv[1];
    if (std::strcmp(first, "--help") == 0) {
        print_help();
        return 0;
    }
    if (std::strcmp(first, "--version") == 0) {
        std::printf("anm-cellmap %s\n", ANM_CELLMAP_VERSION);
        return 0;
    }
    const CommandInfo* info = nullptr;
    for (const CommandInfo& known : commands)
        if (std::strcmp(known.name, first) == 0) info = &known;
    if (!info) return usage_error("unknown command '%s'", first);

    int status = scan_arguments(*info, argc, argv);
    if (status < 0) status = check_arguments(*info);
    if (status >= 0) return status;
    switch (info->command) {
    case Command::dump: return run_dump();
    case Command::build: return run_build();
    case Command::check: return run_check();
    case Command::view: return run_view();
    case Command::none: break;
    }
    return 1;
}
