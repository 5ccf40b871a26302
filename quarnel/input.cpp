#include "input.h"

#include <cstring>

#include "platform.h"

void input_start(Input& in, int descriptor)
{
    in.descriptor = descriptor;
    in.next = in.end = in.buffer;
    in.ended = in.failed = false;
}

bool input_fill(Input& in, std::size_t wanted)
{
    // The few bytes left over move to the front, so a whole block always
    // fits after them.
    std::size_t kept = input_available(in);
    std::memmove(in.buffer, in.next, kept);
    in.next = in.buffer;
    in.end = in.buffer + kept;

    while (input_available(in) < wanted) {
        if (in.ended || in.failed) return false;
        long count = read_some(in.descriptor, in.buffer + input_available(in), input_block_bytes);
        if (count > 0) in.end += count;
        else if (count == 0) in.ended = true;
        else in.failed = true;
    }
    return true;
}

void input_give_back(Input& in)
{
    std::size_t unused = input_available(in);
    if (unused != 0 && seek_back(in.descriptor, unused)) in.next = in.end;
}
