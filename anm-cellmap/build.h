// build: a dump's JSON back to the file's bytes.
//
// The JSON is read as a stream, one entry at a time, and checked as it
// comes; the bytes wait in a spool (a temporary file) until the whole text
// has been read and found right, so nothing reaches the output before then.
// A key left out of an entry means 0; the counts are the arrays' lengths.
#ifndef ANM_CELLMAP_BUILD_H
#define ANM_CELLMAP_BUILD_H

#include <cstdio>
#include <string>

// A checked file, ready to be written: its head (the header and count words
// and the sequence table, or a map's header), then the spooled body (the
// groups, or the rows), then the trailing bytes.
struct BuiltFile {
    std::string head;
    std::FILE* body = nullptr;
    std::string trailing;
};

// Reads the JSON text of `json`. True with the file in `built`; false with
// the first fault in `error`, as "PATH: what is wrong and what is allowed"
// (or the place of a syntax error), and nothing in `built`. Either way
// release_built frees what it holds.
bool read_dump(std::FILE* json, BuiltFile& built, std::string& error);

// The file's bytes to `out`, in order; false when a read or write failed.
bool write_built(const BuiltFile& built, std::FILE* out);

void release_built(BuiltFile& built);

// Builds cellmap_settings.files[0] ("-": standard input) into
// cellmap_settings.output_name ("-": standard output), with messages
// "anm-cellmap: NAME: ..."; returns the exit status, 0 or 1.
int run_build();

#endif
