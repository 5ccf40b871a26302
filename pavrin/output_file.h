// The output, normally written aside to a temporary file and renamed over
// the old one once on disk, so a failure or an ending signal leaves the old
// file as it was; else written in place, as fopen(name, "wb") writes it.
#ifndef PAVRIN_OUTPUT_FILE_H
#define PAVRIN_OUTPUT_FILE_H

#include <climits>
#include <cstdio>
#include <sys/stat.h>

struct OutputFile {
    std::FILE* stream = nullptr;  // what the map is written to
    const char* name = nullptr;   // as given, for the messages
    bool aside = false;           // written to temp_name, to replace target once complete
    bool replaces = false;        // target exists, and `old` is what it was
    struct stat old = {};
    char target[PATH_MAX] = {};   // the file the name leads to
    char temp_name[PATH_MAX] = {};
};

// Each a printf format given (program, output name), in that order; a text
// may leave the name out.
struct OutputTexts {
    const char* program;
    const char* open_error;   // a name fopen(name, "wb") fails on
    const char* more_core;    // no memory while opening
    const char* write_error;  // no room for the temporary file; a failed flush, close or rename
};

// Run first: raw bytes on standard output, a file-size limit failing a write
// instead of ending the process, ending signals removing the temporary file.
void prepare_process();

// Each is false after its message. Nothing is created where the output
// cannot be opened (`name` nullptr: standard output); the temporary file is
// gone after a failed close or a discard (after a failed write).
bool open_output(const char* name, OutputFile& out, const OutputTexts& texts);
bool close_output(OutputFile& out, const OutputTexts& texts);
void discard_output(OutputFile& out);

#endif
