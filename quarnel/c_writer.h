// Writing one .anm stream as C source: a header comment, the SEQ table, one
// SPT table per sprite group and the SPT * pointer table. The text uses the
// types SEQ and SPT and the initialisers seq() and spt() without defining
// them; whoever compiles it supplies them (see examples/anm.h).
#ifndef QUARNEL_C_WRITER_H
#define QUARNEL_C_WRITER_H

#include "input.h"

// The C identifier stem for a stream: "anm_" and the name after its last
// '/', every character outside [0-9A-Za-z_] made '_' (lower-cased first
// under -l). Returned in memory from malloc; the caller frees it.
char* make_label(const char* stream_name);

// Dumps the whole stream to stdout, part by part as it is read. Returns 0;
// every failure ends the process with status 1 instead.
int dump_file(Input& in, const char* stream_name);

#endif
