// anm-cellmap: shows the .anm and cell map formats as JSON (dump), writes
// them back from it (build), checks them with named warnings (check) and
// draws them (view).
#ifndef ANM_CELLMAP_ANM_CELLMAP_H
#define ANM_CELLMAP_ANM_CELLMAP_H

// The whole program: command line, the command, exit status (0, 1, or 2
// for a wrong command line).
int anm_cellmap_main(int argc, char** argv);

#endif
