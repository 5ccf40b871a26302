// quarnel: turns sprite-animation files (.anm) into C source tables.
//
// The driver fills the settings from the command line; the writer, the
// reader and the output read them.
#ifndef QUARNEL_QUARNEL_H
#define QUARNEL_QUARNEL_H

struct DumperSettings {
    const char* program_name = "quarnel";  // first word of every diagnostic
    bool debug = false;           // -d: echo raw sprite words as comments
    bool static_symbols = false;  // -s: "static " on the SEQ and pointer tables
    bool lower = false;           // -l: lower-case the label
    bool reverse = false;         // -r: write each group's sprites last-first
    const char* current_file_name = "";  // name of the stream being dumped
};

extern DumperSettings dumper_settings;

// The whole program: options, dumps, exit status.
int quarnel_main(int argc, char** argv);

#endif
