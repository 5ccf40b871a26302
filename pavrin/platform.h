// The process set-up, and the calls whose form differs between hosts.
#ifndef PAVRIN_PLATFORM_H
#define PAVRIN_PLATFORM_H

#include <cstddef>
#include <sys/stat.h>

// Removed first by an ending signal (see prepare_process() in
// output_file.h); set and cleared only while those signals are blocked, so
// the handler never finds it half way.
extern const char* volatile pending_temp;
void block_ending_signals(bool block);

std::size_t folder_length(const char* path);  // its last separator included
bool names_a_device(const char* name);  // under /dev/ or /proc/; CON, NUL, COM1... on Windows

// Turns `path` into the file it leads to after symbolic links (also to a
// file not there yet) and `folder` into its folder; PATH_MAX bytes each.
// False where that is in /dev or /proc however spelt, at a link that cannot
// be followed, or at another user's link in a sticky world-writable folder.
bool followed_links(char* path, char* folder);

bool marked(const char* path, bool append_only);  // statx: append-only, else a mount point
// Exactly the owner, group, ACL and attributes of `path`, which `old` shows.
bool given_attributes(int fd, const char* path, const struct stat& old);
bool hold_slot(int& slot);  // one above 2 where 0, 1 or 2 is closed, else -1
bool reaches_disk(int fd);  // fsync; on macOS F_FULLFSYNC, which empties the drive's cache
bool replace_file(const char* temp_name, const char* target);  // rename(), also on Windows

#if defined(_WIN32)
// Windows has no owners and no mode beyond read-only.
int fchown(int fd, unsigned owner, unsigned group);
int fchmod(int fd, unsigned mode);
#endif

#endif
