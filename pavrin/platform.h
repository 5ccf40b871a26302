// The process set-up, and the few calls whose form differs between hosts.
#ifndef PAVRIN_PLATFORM_H
#define PAVRIN_PLATFORM_H

// Run first: raw bytes on standard output, a file-size limit failing a
// write instead of ending the process, and ending signals that remove
// `pending_temp` first.
void prepare_process();

// Set and cleared only with the ending signals blocked, so the handler
// never finds it half way or removes a name another process has just taken.
extern const char* volatile pending_temp;
void block_ending_signals(bool block);

// fsync, or on macOS F_FULLFSYNC, which also empties the drive's cache.
bool reaches_disk(int fd);

// rename(), also where it does not replace an existing file (Windows).
bool replace_file(const char* temp_name, const char* target);

#if defined(_WIN32)
// Windows has no owners and no mode beyond read-only.
int fchown(int fd, unsigned owner, unsigned group);
int fchmod(int fd, unsigned mode);
#endif

#endif
