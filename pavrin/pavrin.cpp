#include "pavrin.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "map_canvas.h"
#include "output_file.h"
#include "platform.h"

ConcatenatorSettings concatenator_settings;

// ---- command line ----

static void print_usage()
{
    std::fprintf(stderr, "* pavrin %s *\n", "$Revision: 1.6 $");
    std::fprintf(stderr, "written by quarnel-pavrin project <quarnel-pavrin@example.org>\n");
    std::fprintf(stderr, "usage: %s [options] file...\n", concatenator_settings.program_name);
    std::fprintf(stderr, "option:\n");
    std::fprintf(stderr, "  -oFILE output file\n");
    std::fprintf(stderr, "  -v     verbose\n");
    std::fprintf(stderr, "  -x     horizontal cat\n");
    std::fprintf(stderr, "  -y     vertical cat\n");
    std::fprintf(stderr, "  -wN    change map width N cells\n");
    std::fprintf(stderr, "  -hN    change map height N cells\n");
    std::fprintf(stderr, "  -cN    change cell size N pixels\n");
}

// Decimal, 0x hexadecimal or 0 octal, with optional blanks and sign in front,
// stopping at the first character that does not fit; no digits give 0.
// strtoll reads that, and being 64 bits on every host it lets a value past
// the 32-bit range be clamped rather than wrapped.
static std::int32_t parse_number(const char* text)
{
    // Newer C libraries also take "0b" as a binary prefix; here the number
    // ends at the 'b', which leaves 0.
    const char* digits = text + std::strspn(text, " \t\n\v\f\r");
    digits += std::strspn(digits, "+-");
    if (digits[0] == '0' && (digits[1] == 'b' || digits[1] == 'B')) return 0;

    long long value = std::strtoll(text, nullptr, 0);
    if (value < INT32_MIN) return INT32_MIN;
    if (value > INT32_MAX) return INT32_MAX;
    return static_cast<std::int32_t>(value);
}

// Only the character after '-' picks the option; a value is the rest of the
// same argument, and anything after a flag's letter is ignored. The scan
// ends at the first argument not starting with '-', or at "--...", which is
// itself the first input name less its first dash.
OptionScan scan_options(int argc, char** argv)
{
    ConcatenatorSettings& settings = concatenator_settings;
    OptionScan scan = {-1, nullptr, 1};
    for (; scan.next_input < argc && argv[scan.next_input][0] == '-'; ++scan.next_input) {
        const char* option = argv[scan.next_input];
        const char* value = option + 2;
        switch (option[1]) {
        case 'o': settings.output_name = value; break;
        case 'v': settings.verbose = true; break;
        case 'x': settings.horizontal = true; break;
        case 'y': settings.horizontal = false; break;
        case 'w': settings.new_width = parse_number(value); break;
        case 'h': settings.new_height = parse_number(value); break;
        case 'c': settings.cell_width = settings.cell_height = parse_number(value); break;
        case '?':
            print_usage();
            scan.exit_status = 0;
            return scan;
        case '-':
            scan.first_input = option + 1;
            ++scan.next_input;
            return scan;
        default:
            std::fprintf(stderr, "%s: unknown option ``%s''\n", settings.program_name, option + 1);
            print_usage();
            scan.exit_status = 1;
            return scan;
        }
    }
    if (scan.next_input >= argc) {
        print_usage();
        scan.exit_status = 1;
    }
    return scan;
}

// ---- run ----

// An input name is always a file name, "-" included: standard input is
// never read.
static int read_input(const char* name)
{
    errno = 0;
    std::FILE* in = std::fopen(name, "rb");
    if (!in) {
        if (errno == ENOMEM)
            std::fprintf(stderr, "%s: more core!\n", concatenator_settings.program_name);
        else
            std::fprintf(stderr, "%s: ``%s'' open error!\n", concatenator_settings.program_name,
                         name);
        return 1;
    }
    int status = read_map(in, name);
    std::fclose(in);
    return status;
}

int pavrin_main(int argc, char** argv)
{
    const ConcatenatorSettings& settings = concatenator_settings;
    prepare_process();
    OptionScan scan = scan_options(argc, argv);
    if (scan.exit_status >= 0) return scan.exit_status;

    if (!init_canvas()) {
        std::fprintf(stderr, "%s: more core!\n", settings.program_name);
        return 1;
    }
    if (scan.first_input && read_input(scan.first_input) != 0) return 1;
    for (int next = scan.next_input; next < argc; ++next)
        if (read_input(argv[next]) != 0) return 1;
    if (check_result_size() != 0) return 1;

    // The output is opened only now, after every input was read and the result
    // accepted, so a refused run creates nothing, and an output that is also an
    // input has been read before it is replaced. Standard output is closed like
    // a file: a failed close shows a full disk that only the last rows met.
    const OutputTexts texts = {settings.program_name, "%s: ``%s'' open error!\n",
                               "%s: more core!\n", "%s: write error!\n"};
    OutputFile out;
    if (!open_output(settings.output_name, out, texts)) return 1;
    if (write_map(out.stream, settings.output_name) == 0) return close_output(out, texts) ? 0 : 1;
    discard_output(out);
    return 1;
}
