// The process set-up, and the few calls whose form differs between hosts.
#ifndef PAVRIN_PLATFORM_H
#define PAVRIN_PLATFORM_H

// Run first: raw bytes on standard output, a file-size limit failing a
// write instead of ending the process, and ending signals that remove the
// temporary file first.
void prepare_process();

// While blocked, an ending signal waits. The temporary file it removes is
// set and cleared only then, so the handler never finds it half way or
// removes a name another process has just taken; nullptr is none.
void block_ending_signals(bool block);
void remove_on_signal(const char* temp_name);

// fsync, which on macOS leaves the data in the drive's cache: F_FULLFSYNC
// flushes that too, where the file system supports it.
bool reaches_disk(int fd);

// rename(), also where it does not replace an existing file (Windows).
bool replace_file(const char* temp_name, const char* target);

#if defined(_WIN32)
// Windows has no owners and no mode beyond read-only.
int fchown(int fd, unsigned owner, unsigned group);
int fchmod(int fd, unsigned mode);
#endif

#endif
