// Block input: an open stream read in large blocks into memory, from which
// the reader takes its words.
//
// The stream is never waited on for bytes the dump does not need:
// input_fill is called only when the bytes at hand run short, and one read
// returns what a pipe has, so a pipe held open after the data is not waited
// on. What was read ahead stays with the Input, so a later dump of the same
// stream (stdin named again) goes on from where the last one stopped; at the
// end of a dump it goes back to a stream that can seek (input_give_back).
#ifndef QUARNEL_INPUT_H
#define QUARNEL_INPUT_H

#include <cstddef>

// Bytes asked for by one read.
constexpr std::size_t input_block_bytes = 1 << 18;

// The largest `wanted` input_fill accepts.
constexpr std::size_t input_fill_max = 24;

struct Input {
    int descriptor = -1;
    const unsigned char* next = nullptr;  // first byte not yet taken
    const unsigned char* end = nullptr;   // end of the bytes read so far
    bool ended = false;                   // the stream reported its end
    bool failed = false;                  // the stream reported a read error
    unsigned char buffer[input_fill_max + input_block_bytes];
};

// Starts reading the stream behind `descriptor` with nothing buffered.
void input_start(Input& in, int descriptor);

inline std::size_t input_available(const Input& in)
{
    return static_cast<std::size_t>(in.end - in.next);
}

// Reads until at least `wanted` (<= input_fill_max) bytes are at hand.
// Returns false when the stream ends or fails first; `ended` or `failed`
// then says which, and stays so: a stream whose end was met is not read
// again.
bool input_fill(Input& in, std::size_t wanted);

// Hands the bytes read ahead but not taken back to a stream that can seek
// (a file), as stdio does when a program ends, so that whoever reads the
// stream next, this process or another (`{ quarnel -; quarnel -; } <file`),
// starts where the dump stopped. A pipe cannot take them back: they stay
// here for the next dump of the same stream.
void input_give_back(Input& in);

#endif
