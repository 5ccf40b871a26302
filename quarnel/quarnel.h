// quarnel: turns sprite-animation files (.anm) into C source tables.
//
// The driver owns the process-wide state that the reader and the writer
// share: the settings taken from the command line, and standard output,
// which goes through one large buffer because the dump is mostly short
// numbers and a stdio call per item would dominate the run time.
#ifndef QUARNEL_QUARNEL_H
#define QUARNEL_QUARNEL_H

#include <cstddef>

struct DumperSettings {
    const char* program_name = "quarnel";  // first word of every diagnostic
    bool debug = false;           // -d: echo raw sprite words as comments
    bool static_symbols = false;  // -s: "static " on the SEQ and pointer tables
    bool lower = false;           // -l: lower-case the label
    bool reverse = false;         // -r: write each group's sprites last-first
    const char* current_file_name = "";  // name of the stream being dumped
};

extern DumperSettings dumper_settings;

// Buffered standard output. Every write goes through out_reserve/out_commit
// or the helpers built on them; the buffer reaches stdout when it fills, at
// out_flush, and before any diagnostic, so stdout and stderr stay in order.
constexpr std::size_t out_capacity = 1 << 16;

// Returns room for at least `size` bytes (size <= out_capacity); the caller
// writes there and hands the end back to out_commit.
char* out_reserve(std::size_t size);
void out_commit(char* end);

void out_text(const char* text, std::size_t length);
void out_str(const char* text);
void out_printf(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Writes whatever is buffered to stdout and flushes it; false when this or
// any earlier write to stdout failed.
bool out_flush();

// Flushes stdout, writes the message (a printf format) to stderr and ends the
// process with status 1. Every failure of a dump ends this way.
[[noreturn]] void fail(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// The whole program: options, dumps, exit status.
int quarnel_main(int argc, char** argv);

#endif
