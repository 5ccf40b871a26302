// The few operating-system calls quarnel needs beyond standard C++, all in
// one place so that every other module stays portable.
#ifndef QUARNEL_PLATFORM_H
#define QUARNEL_PLATFORM_H

#include <cstddef>
#include <cstdio>

// Raw bytes on stdin and stdout on every host; a file size limit makes a
// write fail instead of killing the process.
void platform_setup();

// The descriptor under an open stream, for read_some.
int descriptor_of(std::FILE* stream);

// Reads at most `size` bytes, returning as soon as some are there (a pipe
// is not waited on for more). Returns the count, 0 at the end of the stream,
// -1 on a read error.
long read_some(int descriptor, unsigned char* buffer, std::size_t size);

// Moves the stream's position `count` bytes back; false where it cannot
// seek (a pipe, a terminal).
bool seek_back(int descriptor, std::size_t count);

#endif
