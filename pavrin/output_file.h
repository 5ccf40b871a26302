// The one place pavrin talks to the operating system directly: how a named
// output is opened, written aside and put in place, and the process set-up
// that keeps faults from corrupting it.
//
// A regular file is written to a hidden temporary file beside the file the
// name leads to (after symbolic links) and renamed over it only once every
// byte is written and the file closed, so a failure or an interrupting
// signal leaves the old file exactly as it was. Where a rename cannot stand
// in for the old file (standard streams under /dev/ or /proc/, devices,
// FIFOs, files with other hard links or an owner or group this process cannot
// give a new file, a directory that takes no new file) the output is opened
// and written in place, as fopen(name, "wb") does.
#ifndef PAVRIN_OUTPUT_FILE_H
#define PAVRIN_OUTPUT_FILE_H

#include <cstdio>

struct OutputFile {
    std::FILE* stream = nullptr;  // what the map is written to
    char* temp_name = nullptr;    // the file written aside, or nullptr when in place
    char* target = nullptr;       // the file temp_name replaces once complete
};

// What went wrong, for the caller's message.
enum class OutputStatus { ok, open_error, more_core, write_error };

// Run first: a file-size limit then fails a write instead of killing the
// process, and a closed standard error is reopened on the null device, so
// no file opened later can take its descriptor and receive messages.
void prepare_process();

// Opens `name` for writing. Every name fopen(name, "wb") fails on fails here
// with open_error (more_core when the system is out of memory), before
// anything is created; a temporary file that cannot get space is
// write_error. On ok, out.stream is ready.
OutputStatus open_output(const char* name, OutputFile& out);

// Closes the stream and, when it was written aside, renames the temporary
// file over the target. A failed close or rename is write_error, and the
// temporary file is gone.
OutputStatus close_output(OutputFile& out);

// After a failed write: closes the stream and removes the temporary file.
void discard_output(OutputFile& out);

#endif
