#include "quarnel.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "c_writer.h"
#include "input.h"
#include "output.h"
#include "platform.h"
#include "settings.h"

DumperSettings dumper_settings;

static void print_usage()
{
    std::fprintf(stderr, "* quarnel %s *\n", "$Revision: 1.2 $");
    std::fprintf(stderr, "written by quarnel-pavrin project <quarnel-pavrin@example.org>\n");
    std::fprintf(stderr, "usage: %s [options] [file.anm]\n", dumper_settings.program_name);
    std::fprintf(stderr, "option:\n");
    std::fprintf(stderr, "  -d  debug mode\n");
    std::fprintf(stderr, "  -s  static symbol\n");
    std::fprintf(stderr, "  -l  lower case label\n");
    std::fprintf(stderr, "  -r  reverse spt\n");
}

// Standard input keeps what was read ahead for one dump, so a later "-"
// goes on from where that dump stopped. A named file is read through an
// Input of its own.
static Input standard_input;
static Input file_input;

static void dump_argument(const char* argument)
{
    if (std::strcmp(argument, "-") == 0) {
        dump_file(standard_input, "<stdin>");
        return;
    }
    errno = 0;
    std::FILE* file = std::fopen(argument, "rb");
    if (!file && errno == ENOMEM) fail("%s: more core!\n", dumper_settings.program_name);
    if (!file) fail("%s: ``%s'' open error!\n", dumper_settings.program_name, argument);
    input_start(file_input, descriptor_of(file));
    dump_file(file_input, argument);
    std::fclose(file);
}

int quarnel_main(int argc, char** argv)
{
    if (argc > 0 && argv[0] && argv[0][0]) dumper_settings.program_name = argv[0];
    platform_setup();
    out_start();
    input_start(standard_input, descriptor_of(stdin));

    // Options: only the character after '-' counts ("-dl" is "-d"); the scan
    // ends at the first argument not starting with '-', or at "--", which is
    // itself the first file argument less its first dash.
    int next = 1;
    const char* first_file = nullptr;
    for (; next < argc && argv[next][0] == '-'; ++next) {
        const char* option = argv[next];
        switch (option[1]) {
        case 'd': dumper_settings.debug = true; break;
        case 's': dumper_settings.static_symbols = true; break;
        case 'l': dumper_settings.lower = true; break;
        case 'r': dumper_settings.reverse = true; break;
        case '?': print_usage(); return 0;
        case '-': first_file = option + 1; break;
        default:
            std::fprintf(stderr, "%s: unknown option ``%s''\n", dumper_settings.program_name,
                         option);
            print_usage();
            return 1;
        }
        if (first_file) {
            ++next;
            break;
        }
    }

    if (!first_file && next >= argc) first_file = "-";  // no file: standard input
    if (first_file) dump_argument(first_file);
    for (; next < argc; ++next) dump_argument(argv[next]);
    // A dump that ran through can still have lost output (a full disk, a
    // file size limit). A closed pipe ends the process by SIGPIPE before
    // this, as it does for any filter, unless SIGPIPE is ignored.
    return close_output(0);
}
