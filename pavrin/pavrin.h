// pavrin: joins cell map files into one map, side by side or one below the
// other, optionally resized, written to a file or to standard output. The
// driver owns the settings taken from the command line; the canvas code
// reads them and, when an input fixes the run's cell size, sets that too.
#ifndef PAVRIN_PAVRIN_H
#define PAVRIN_PAVRIN_H

#include <cstdint>

struct ConcatenatorSettings {
    const char* program_name = "pavrin";  // first word of every diagnostic
    const char* output_name = nullptr;    // -o; nullptr is standard output, "" a name
    bool verbose = false;                 // -v: progress lines on stderr
    bool horizontal = false;              // -x on, -y off (vertical)
    std::int32_t new_width = 0;           // -w, in cells; 0 when not given
    std::int32_t new_height = 0;          // -h, in cells; 0 when not given
    std::int32_t cell_width = 0;          // pixels; 0 until -c or an input sets it
    std::int32_t cell_height = 0;         // pixels
    const char* cell_size_source = "<default>";  // who set the cell size, for the warning
};

extern ConcatenatorSettings concatenator_settings;

// Where the option scan left the command line.
struct OptionScan {
    int exit_status;          // -1 when the run goes on, else the status to end with
    const char* first_input;  // what an argument "--..." leaves less its first dash, or nullptr
    int next_input;           // index in argv of the first (further) input name
};

// Fills concatenator_settings from the options. Ends the run (through
// exit_status) for -?, an unknown option, or no input name, after writing
// the usage text and any message.
OptionScan scan_options(int argc, char** argv);

// The whole program: options, inputs, output, exit status.
int pavrin_main(int argc, char** argv);

#endif
