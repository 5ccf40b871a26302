// view: a cell map or an animation's frames as a PNG picture.
#ifndef ANM_CELLMAP_VIEW_H
#define ANM_CELLMAP_VIEW_H

// Draws cellmap_settings.files[0] into cellmap_settings.output_name;
// returns the exit status.
int run_view();

#endif
