// The process set-up, and the calls whose form differs between hosts.
#ifndef PAVRIN_PLATFORM_H
#define PAVRIN_PLATFORM_H

#include <cstddef>

// Run first: raw bytes on standard output, a file-size limit failing a
// write instead of ending the process, and ending signals that remove
// `pending_temp` first. It is set and cleared only with those signals
// blocked, so the handler never finds it half way.
void prepare_process();
extern const char* volatile pending_temp;
void block_ending_signals(bool block);

// Length of the folder part of `path`, its last separator included.
std::size_t folder_length(const char* path);

// Names under /dev/ and /proc/; on Windows CON, NUL, COM1 and the like, in
// every folder and with any extension.
bool names_a_device(const char* name);

// Turns `path` into the file it leads to after symbolic links (also to a
// file not there yet) and `folder` into its folder; PATH_MAX bytes each.
// False where that is in /dev or /proc however spelt, or at a link that
// cannot be followed or that another user left in a sticky world-writable
// folder such as /tmp, which the kernel does not follow.
bool followed_links(char* path, char* folder);

// What statx tells beyond stat: append-only, or else a mount point.
bool marked(const char* path, bool append_only);

// Gives the file open on `fd` exactly the extended attributes of `path`,
// its access ACL among them (Linux only; elsewhere there is nothing to give).
bool given_attributes(int fd, const char* path);

// Where one of descriptors 0-2 is closed, `slot` above 2 is held (-1: none
// needed); false where none can be had.
bool hold_slot(int& slot);

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
