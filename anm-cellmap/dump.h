// dump: a file as JSON on standard output, every bit of it, one entry a line.
#ifndef ANM_CELLMAP_DUMP_H
#define ANM_CELLMAP_DUMP_H

// Dumps cellmap_settings.files[0]; returns the exit status.
int run_dump();

#endif
