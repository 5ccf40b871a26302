#include "output.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "settings.h"

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

void out_start()
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
}

// The end of the room last reserved for text, for the check in out_commit.
static std::size_t out_reserved_end = 0;

char* out_reserve(std::size_t size)
{
    if (out_capacity - out_used < size + out_slack) out_drain();
    out_reserved_end = out_used + size;
    return out_buffer + out_used;
}

// A writer whose text outgrew its room has a bound wrong: checked in every
// build, as the scratch after the room hides the fault until a field's
// widest text comes.
void out_commit(char* end)
{
    out_used = static_cast<std::size_t>(end - out_buffer);
    if (out_used > out_reserved_end) {
        std::fprintf(stderr, "%s: more text than the room reserved for it\n",
                     dumper_settings.program_name);
        std::abort();
    }
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

// Some file systems report a failed write only when the file is closed, so a
// run that wrote anything closes stdout; one that wrote nothing (-?) leaves
// it alone, even when it was never open. Lost output is the last word of a
// run, after the failure that ended it, if any.
int close_output(int status)
{
    out_flush();
    if (out_started && std::fclose(stdout) != 0) out_lost = true;
    if (!out_lost) return status;
    std::fprintf(stderr, "%s: write error!\n", dumper_settings.program_name);
    return 1;
}
