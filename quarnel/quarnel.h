// quarnel: turns sprite-animation files (.anm) into C source tables.
#ifndef QUARNEL_QUARNEL_H
#define QUARNEL_QUARNEL_H

// The whole program: options, dumps, exit status.
int quarnel_main(int argc, char** argv);

#endif
