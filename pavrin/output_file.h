// The one place pavrin talks to the operating system directly: the process
// set-up, and the output, normally written aside to a temporary file and
// renamed over the old one once on disk, so a failure or an ending signal
// leaves the old file as it was; else written in place, as fopen(name, "wb")
// writes it.
#ifndef PAVRIN_OUTPUT_FILE_H
#define PAVRIN_OUTPUT_FILE_H

#include <climits>
#include <cstdio>

#include <sys/stat.h>

struct OutputFile {
    std::FILE* stream = nullptr;  // what the map is written to
    bool aside = false;           // written to temp_name, to replace target once complete
    bool replaces = false;        // target exists, and `old` is what it was
    struct stat old = {};
    unsigned mode = 0;            // permission bits temp_name gets once written
    char target[PATH_MAX] = {};   // the file the name leads to
    char temp_name[PATH_MAX] = {};
};

enum class OutputStatus { ok, open_error, more_core, write_error };

// Run first: raw bytes on standard output, a file-size limit failing a
// write instead of ending the process, and ending signals that remove the
// temporary file first.
void prepare_process();

// Opens `name`, or standard output when it is nullptr. A name fopen(name,
// "wb") fails on is open_error (more_core when memory is short), with
// nothing created; no room for the temporary file is write_error.
OutputStatus open_output(const char* name, OutputFile& out);

// Closes the stream and puts a temporary file in the target's place; any
// failure is write_error, and the temporary file is gone.
OutputStatus close_output(OutputFile& out);

// After a failed write: closes the stream and removes the temporary file.
void discard_output(OutputFile& out);

#endif
