// Standard output and the way every run ends.
//
// The dump is mostly short numbers, so it goes through one large buffer
// instead of a stdio call per item. The buffer reaches stdout when it fills,
// at out_flush, and before any diagnostic, so stdout and stderr stay in
// order.
#ifndef QUARNEL_OUTPUT_H
#define QUARNEL_OUTPUT_H

#include <cstddef>

constexpr std::size_t out_capacity = 1 << 18;

// Called once before anything is written: from then on stdio only passes
// the buffer on.
void out_start();

// Scratch after every reservation: a writer may write this much past the
// `size` it reserved, text it then overwrites or leaves uncommitted.
constexpr std::size_t out_slack = 16;

// Returns room for `size` bytes of text (size + out_slack <= out_capacity)
// and out_slack after them; the caller writes there and hands the end of its
// text back to out_commit, which ends the process where the text did not
// keep to `size`. Text written there but not yet committed is dropped by a
// failure.
char* out_reserve(std::size_t size);
void out_commit(char* end);

void out_text(const char* text, std::size_t length);
void out_str(const char* text);
void out_printf(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Writes whatever is buffered to stdout; false when this or any earlier
// write to stdout failed.
bool out_flush();

// Flushes stdout, writes the message (a printf format) to stderr and ends the
// process with status 1. Every failure of a dump ends this way.
[[noreturn]] void fail(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Flushes and closes stdout when anything was written to it, and returns
// the run's exit status: `status`, or 1 after "write error!" when output was
// lost.
int close_output(int status);

#endif
