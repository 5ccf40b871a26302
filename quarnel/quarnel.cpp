#include "quarnel.h"

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

#include "c_writer.h"

DumperSettings dumper_settings;

// ---- buffered standard output ----

static char out_buffer[out_capacity];
static std::size_t out_used = 0;
static bool out_started = false;  // something was handed to stdout
static bool out_lost = false;     // a write failed: nothing more is sent

// After the first failed write nothing more is sent, so the output never has
// a hole in the middle; the dump still runs on, so that a failure of its
// input is reported before the lost output.
static void out_send(const char* bytes, std::size_t length)
{
    if (length == 0) return;
    out_started = true;
    if (!out_lost && std::fwrite(bytes, 1, length, stdout) != length) out_lost = true;
}

static void out_drain()
{
    out_send(out_buffer, out_used);
    out_used = 0;
}

char* out_reserve(std::size_t size)
{
    if (out_capacity - out_used < size) out_drain();
    return out_buffer + out_used;
}

void out_commit(char* end)
{
    out_used = static_cast<std::size_t>(end - out_buffer);
}

void out_text(const char* text, std::size_t length)
{
    if (out_capacity - out_used < length) {
        out_drain();
        if (length > out_capacity) {
            out_send(text, length);
            return;
        }
    }
    std::memcpy(out_buffer + out_used, text, length);
    out_used += length;
}

void out_str(const char* text)
{
    out_text(text, std::strlen(text));
}

void out_printf(const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    std::size_t room = out_capacity - out_used;
    int length = std::vsnprintf(out_buffer + out_used, room, format, args);
    va_end(args);
    if (length >= 0 && static_cast<std::size_t>(length) < room) {
        out_used += static_cast<std::size_t>(length);
        return;
    }

    // Did not fit in the room left: start a fresh buffer. A line longer than
    // the whole buffer (only a label of that size could make one) goes
    // straight to stdout.
    out_drain();
    va_start(args, format);
    if (length >= 0 && static_cast<std::size_t>(length) < out_capacity) {
        std::vsnprintf(out_buffer, out_capacity, format, args);
        out_used = static_cast<std::size_t>(length);
    } else {
        out_started = true;
        if (!out_lost && std::vfprintf(stdout, format, args) < 0) out_lost = true;
    }
    va_end(args);
}

bool out_flush()
{
    out_drain();
    if (out_started && !out_lost && std::fflush(stdout) != 0) out_lost = true;
    return !out_lost;
}

// Some file systems report a failed write only when the file is closed, so a
// run that wrote anything closes stdout; one that wrote nothing (-?) leaves
// it alone, even when it was never open.
static bool out_close()
{
    out_flush();
    if (out_started && std::fclose(stdout) != 0) out_lost = true;
    return !out_lost;
}

// The run's exit status once stdout is closed. Lost output is the last word
// of a run, after the failure that ended it, if any.
static int close_output(int status)
{
    if (out_close()) return status;
    std::fprintf(stderr, "%s: write error!\n", dumper_settings.program_name);
    return 1;
}

void fail(const char* format, ...)
{
    // Whatever was dumped before the failure goes out first, in order.
    out_flush();
    std::va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::exit(close_output(1));
}

// ---- command line ----

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

// Standard input is read, and the C text written, as raw bytes on every
// host: no newline translation, no end-of-file byte, the same output bytes
// everywhere. Windows shells leave wildcards to the program; the MinGW
// runtime expands them before main() when asked to, as a Unix shell would.
#if defined(__MINGW32__)
extern "C" {
int _dowildcard = -1;
}
#endif

static void use_binary_standard_streams()
{
#if defined(_WIN32)
    if (_fileno(stdin) >= 0) _setmode(_fileno(stdin), _O_BINARY);
    if (_fileno(stdout) >= 0) _setmode(_fileno(stdout), _O_BINARY);
#endif
}

// A file size limit makes the write fail instead of killing the process, so
// it is reported like a full disk.
static void ignore_file_size_signal()
{
#if defined(SIGXFSZ)
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

// "-" is standard input (which a later "-" goes on reading from where this
// dump stopped); anything else is a file name.
static void dump_argument(const char* argument)
{
    if (std::strcmp(argument, "-") == 0) {
        dump_file(stdin, "<stdin>");
        return;
    }
    errno = 0;
    std::FILE* in = std::fopen(argument, "rb");
    if (!in && errno == ENOMEM) fail("%s: more core!\n", dumper_settings.program_name);
    if (!in) fail("%s: ``%s'' open error!\n", dumper_settings.program_name, argument);
    dump_file(in, argument);
    std::fclose(in);
}

int quarnel_main(int argc, char** argv)
{
    if (argc > 0 && argv[0] && argv[0][0]) dumper_settings.program_name = argv[0];
    use_binary_standard_streams();
    ignore_file_size_signal();
    // The dump does its own buffering; stdio only passes it on.
    std::setvbuf(stdout, nullptr, _IONBF, 0);

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
