// The settings of a quarnel run: filled by the driver from the command line
// (quarnel.cpp, which defines them) and read by the writer, the reader and
// the output.
#ifndef QUARNEL_SETTINGS_H
#define QUARNEL_SETTINGS_H

struct DumperSettings {
    const char* program_name = "quarnel";  // first word of every diagnostic
    bool debug = false;           // -d: echo raw sprite words as comments
    bool static_symbols = false;  // -s: "static " on the SEQ and pointer tables
    bool lower = false;           // -l: lower-case the label
    bool reverse = false;         // -r: write each group's sprites last-first
    const char* current_file_name = "";  // name of the stream being dumped
};

extern DumperSettings dumper_settings;

#endif
