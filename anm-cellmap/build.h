// build: the binary file back from dump's JSON, byte for byte.
#ifndef ANM_CELLMAP_BUILD_H
#define ANM_CELLMAP_BUILD_H

// Builds cellmap_settings.output_name from cellmap_settings.files[0];
// returns the exit status.
int run_build();

#endif
