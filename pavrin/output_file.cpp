#include "output_file.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/types.h>

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif
#if defined(__linux__)
#include <sys/xattr.h>
#endif

// fopen(name, "wb") opens with `write_flags`, where the file is truncated
// only once it is held above descriptor 2 (open_in_place); the probe with
// `probe_flags`, which create nothing where a file is and do not wait on a
// FIFO.
#if defined(_WIN32)
constexpr int write_flags = O_WRONLY | O_CREAT | O_TRUNC | O_BINARY;
constexpr int probe_flags = O_WRONLY | O_CREAT | O_BINARY;
constexpr char separators[] = "/\\:";
// Windows has no owners, no mode beyond read-only, no signal mask, and
// fsync under another name; its rename() does not replace an existing file.
static int fchown(int, unsigned, unsigned) { return 0; }
static int fchmod(int, unsigned) { return 0; }
static int fsync(int fd) { return _commit(fd); }
static void block_signals(bool) {}
static bool replace_file(const char* temp, const char* target)
{
    return MoveFileExA(temp, target, MOVEFILE_REPLACE_EXISTING) != 0;
}
#else
constexpr int write_flags = O_WRONLY | O_CREAT;
constexpr int probe_flags = O_WRONLY | O_CREAT | O_NONBLOCK;
constexpr char separators[] = "/";
static bool replace_file(const char* temp, const char* target) { return !rename(temp, target); }
#endif

// ---- the process ----

// The signals that end a process by default and may come from outside
// while the map is written, with the real-time ones (prepare_process); not
// the fault signals, where a sanitizer build needs its own handlers.
static const int ending_signals[] = {
    SIGINT, SIGTERM,
#if !defined(_WIN32)
    SIGHUP, SIGQUIT, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2, SIGXCPU, SIGVTALRM, SIGPROF,
#endif
#if defined(__linux__)
    SIGPOLL, SIGPWR,
#endif
#if defined(SIGSTKFLT)
    SIGSTKFLT,
#endif
};

// The temporary file an ending signal must remove. Set and cleared only
// with those signals blocked, so the handler never finds it half way or
// removes a name another process has just taken.
static char* volatile pending_temp = nullptr;

// Ends the process by the same signal, so the caller sees the usual status.
extern "C" void remove_temp_and_resignal(int signal_number)
{
    if (pending_temp) unlink(pending_temp);
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

// Without a signal mask (Windows) a signal at the wrong moment finds the
// temporary file either still there or already renamed, never both gone.
#if !defined(_WIN32)
static struct sigaction ending_action;  // its mask holds every ending signal

static void block_signals(bool block)
{
    static sigset_t mask_before_blocking;
    if (block) sigprocmask(SIG_BLOCK, &ending_action.sa_mask, &mask_before_blocking);
    else sigprocmask(SIG_SETMASK, &mask_before_blocking, nullptr);
}
#endif

// A signal the process was started with ignored stays ignored. A file-size
// limit fails a write, which is reported, instead of ending the run.
void prepare_process()
{
#if defined(SIGXFSZ)
    std::signal(SIGXFSZ, SIG_IGN);
#endif
#if defined(_WIN32)
    if (_fileno(stdout) >= 0) _setmode(_fileno(stdout), _O_BINARY);
    for (int signal_number : ending_signals)
        if (std::signal(signal_number, remove_temp_and_resignal) == SIG_IGN)
            std::signal(signal_number, SIG_IGN);
#else
    ending_action.sa_handler = remove_temp_and_resignal;
    sigset_t& ending = ending_action.sa_mask;
    sigemptyset(&ending);
    for (int signal_number : ending_signals) sigaddset(&ending, signal_number);
#if defined(SIGRTMIN)
    // Not constants in glibc, which keeps the lowest few for itself.
    for (int signal_number = SIGRTMIN; signal_number <= SIGRTMAX; ++signal_number)
        sigaddset(&ending, signal_number);
#endif
    for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
        struct sigaction before;
        if (sigismember(&ending, signal_number) == 1 &&
            sigaction(signal_number, nullptr, &before) == 0 && before.sa_handler != SIG_IGN)
            sigaction(signal_number, &ending_action, nullptr);
    }
#endif
}

// ---- names and links ----

static bool is_separator(char c)
{
    return c != '\0' && std::strchr(separators, c);
}

// Length of the folder part of `path`, its last separator included.
static std::size_t folder_length(const char* path)
{
    std::size_t length = std::strlen(path);
    while (length > 0 && !is_separator(path[length - 1])) --length;
    return length;
}

// The folder part of `path` into `folder` (PATH_MAX bytes): "." for none.
static void copy_folder(const char* path, char* folder)
{
    std::size_t length = folder_length(path);
    std::memcpy(folder, length ? path : ".", length ? length : 1);
    folder[length ? length : 1] = '\0';
}

// Names under /dev/ and /proc/, and on Windows CON, NUL, COM1 and the like,
// in every folder and with any extension.
static bool names_a_device(const char* name)
{
#if defined(_WIN32)
    const char* base = name + folder_length(name);
    std::size_t length = std::strcspn(base, ".");
    bool numbered = length == 4 && base[3] >= '1' && base[3] <= '9';
    return (length == 3 && (!_strnicmp(base, "CON", 3) || !_strnicmp(base, "PRN", 3) ||
                            !_strnicmp(base, "AUX", 3) || !_strnicmp(base, "NUL", 3))) ||
           (numbered && (!_strnicmp(base, "COM", 3) || !_strnicmp(base, "LPT", 3)));
#else
    return !std::strncmp(name, "/dev/", 5) || !std::strncmp(name, "/proc/", 6);
#endif
}

// Where following the name's symbolic links stopped: at a file (or where
// one is to be), in /dev or /proc however spelt ("../../dev/stdout"), at a
// link that cannot be followed, or at a link another user left in a sticky
// world-writable folder such as /tmp, which the kernel does not follow.
enum class LinkEnd { file, system_folder, broken, others_link };

#if !defined(_WIN32)
static LinkEnd link_end(const char* path)
{
    char folder[PATH_MAX];
    char resolved[PATH_MAX + 1];  // and a '/'
    copy_folder(path, folder);
    struct stat link;
    struct stat shared;
    bool others = lstat(path, &link) == 0 && S_ISLNK(link.st_mode) && link.st_uid != geteuid() &&
                  stat(folder, &shared) == 0 && (shared.st_mode & S_ISVTX) &&
                  (shared.st_mode & S_IWOTH) && shared.st_uid != link.st_uid;
    bool system = realpath(folder, resolved) && names_a_device(std::strcat(resolved, "/"));
    return system ? LinkEnd::system_folder : others ? LinkEnd::others_link : LinkEnd::file;
}
#endif

// Turns `path` (PATH_MAX bytes) into the file it leads to after symbolic
// links, also when the last link names a file not there yet.
static LinkEnd follow_links(char* path)
{
#if !defined(_WIN32)
    for (int links = 0;; ++links) {
        LinkEnd end = link_end(path);
        if (end != LinkEnd::file) return end;
        char contents[PATH_MAX];
        ssize_t length = readlink(path, contents, sizeof contents);
        if (length < 0) return errno == EINVAL || errno == ENOENT ? LinkEnd::file : LinkEnd::broken;
        std::size_t folder = contents[0] == '/' ? 0 : folder_length(path);
        if (links == 40 || folder + static_cast<std::size_t>(length) >= PATH_MAX)
            return LinkEnd::broken;
        std::memcpy(path + folder, contents, static_cast<std::size_t>(length));
        path[folder + static_cast<std::size_t>(length)] = '\0';
    }
#else
    (void)path;
    return LinkEnd::file;
#endif
}

// ---- the decision ----

// Opens the name as given, as fopen(name, "wb") would but without
// truncating, so the kernel's checks on links and on other users' files in
// shared folders apply; `old` becomes what it opened.
static bool writable_as_given(const char* name, struct stat& old)
{
    int probe = open(name, probe_flags, 0666);
    if (probe < 0) return false;
    bool opened = fstat(probe, &old) == 0;
    close(probe);
    return opened;
}

// What statx tells beyond stat. Where it is missing, nothing is known to be
// a mount point or append-only.
enum class Mark { mount_point, append_only };

static bool marked(const char* path, Mark mark)
{
#if defined(STATX_ATTR_MOUNT_ROOT)
    struct statx status;
    auto attribute = mark == Mark::append_only ? STATX_ATTR_APPEND : STATX_ATTR_MOUNT_ROOT;
    return statx(AT_FDCWD, path, 0, STATX_BASIC_STATS, &status) == 0 &&
           (status.stx_attributes_mask & status.stx_attributes & attribute);
#else
    (void)path;
    (void)mark;
    return false;
#endif
}

// `.NAME.XXXXXX` beside the target: hidden, and not a name a user would
// pick. NAME is cut where the whole would be longer than a file name or a
// path may be; false where even an empty NAME would be.
static bool make_temp_template(const char* target, char* temp)
{
    const std::size_t longest_name = 255;
    const std::size_t longest_path = PATH_MAX - 1;
    const std::size_t added = 8;  // two dots and XXXXXX
    std::size_t folder = folder_length(target);
    if (folder + added > longest_path) return false;
    std::size_t base = std::min({std::strlen(target) - folder, longest_name - added,
                                 longest_path - added - folder});
    std::memcpy(temp, target, folder);
    temp[folder] = '.';
    std::memcpy(temp + folder + 1, target + folder, base);
    std::memcpy(temp + folder + 1 + base, ".XXXXXX", 8);
    return true;
}

// How the output is written, decided once. Every reason to write in place
// is here, in the order checked; two more come to light only when the
// temporary file is made (open_aside). Past them all, `out` holds the
// target and the temporary file's template beside it.
static bool written_in_place(const char* name, OutputFile& out)
{
    std::size_t length = std::strlen(name);
    // The empty name, one ending in a separator and one longer than a path:
    // fopen refuses them.
    if (length == 0 || length >= PATH_MAX || is_separator(name[length - 1])) return true;
    // A device name: /dev/stdout may stand for the file the shell opened.
    if (names_a_device(name)) return true;
    // A link into /dev or /proc (a device name spelt otherwise), one that
    // cannot be followed (fopen meets the same and says so), or another
    // user's link in a sticky folder (the kernel's rule for it applies only
    // to the name opened as given).
    std::memcpy(out.target, name, length + 1);
    if (follow_links(out.target) != LinkEnd::file) return true;
    out.replaces = stat(out.target, &out.old) == 0;
    // Something there that cannot be looked at: fopen reports it.
    if (!out.replaces && errno != ENOENT) return true;
    // Not a regular file (a device, a FIFO): only writing reaches it.
    if (out.replaces && !S_ISREG(out.old.st_mode)) return true;
    // A file this user may not write: fopen refuses it, and a rename in a
    // writable folder must not replace it.
    if (out.replaces && !writable_as_given(name, out.old)) return true;
    // Other hard links: each name must lead to the new map.
    if (out.replaces && out.old.st_nlink > 1) return true;
    // A mount point, such as a file bind-mounted into a container: nothing
    // can be renamed over it.
    if (out.replaces && marked(out.target, Mark::mount_point)) return true;
    // An append-only folder: a temporary file there could be neither renamed
    // nor removed.
    char folder[PATH_MAX];
    copy_folder(out.target, folder);
    if (marked(folder, Mark::append_only)) return true;
    // A file name under 8 bytes at the very end of the longest path leaves
    // no room for a temporary name.
    return !make_temp_template(out.target, out.temp_name);
}

// ---- the road ----

// The output never lands on descriptor 0, 1 or 2: a message to a closed
// standard error is lost, never written into the map, and a closed standard
// output stays closed. So a descriptor above 2 is held for it before
// anything is created or truncated, and where none can be had (a limit of 3
// descriptors with one of them closed) nothing is. Windows keeps its
// standard streams apart from descriptors: no slot (-1).
static bool hold_slot(int& slot)
{
    slot = -1;
#if defined(_WIN32)
    return true;
#else
    for (int fd = 0; fd <= 2; ++fd) {
        slot = fcntl(fd, F_DUPFD, 3);
        if (slot >= 0 || errno != EBADF) return slot >= 0;
    }
    // With 0, 1 and 2 all closed, a pipe's two ends take two of them.
    int ends[2];
    if (pipe(ends) != 0) return false;
    slot = fcntl(ends[0], F_DUPFD, 3);
    close(ends[0]);
    close(ends[1]);
    return slot >= 0;
#endif
}

static OutputStatus open_failure(int error)
{
    return error == ENOMEM ? OutputStatus::more_core : OutputStatus::open_error;
}

// The stream over `fd`, moved onto `slot` when it took a low number; the
// slot is used or given back either way.
static OutputStatus stream_over(int fd, int slot, OutputFile& out)
{
    int error = errno;
    if (fd >= 0 && fd <= 2 && slot >= 0) {
        int low = fd;
        fd = dup2(low, slot);
        error = errno;
        close(low);
        if (fd < 0) close(slot);
    } else if (slot >= 0) {
        close(slot);
    }
    if (fd < 0) return open_failure(error);
    out.stream = fdopen(fd, "wb");
    if (out.stream) return OutputStatus::ok;
    close(fd);
    return OutputStatus::more_core;
}

// As fopen(name, "wb"), but a regular file is truncated only once held
// above descriptor 2, and nothing else is truncated.
static OutputStatus open_in_place(const char* name, int slot, OutputFile& out)
{
    OutputStatus status = stream_over(open(name, write_flags, 0666), slot, out);
#if !defined(_WIN32)
    struct stat now;
    int fd = status == OutputStatus::ok ? fileno(out.stream) : -1;
    if (fd >= 0 && (fstat(fd, &now) != 0 || (S_ISREG(now.st_mode) && ftruncate(fd, 0) != 0))) {
        std::fclose(out.stream);
        out.stream = nullptr;
        return OutputStatus::open_error;
    }
#endif
    return status;
}

// Puts the temporary file in the target's place when `replace`, else
// removes it; blocked, an ending signal finds it either still to be removed
// or already in place. True when it was put in place.
static bool settle_temp(OutputFile& out, bool replace)
{
    block_signals(true);
    bool replaced = replace && replace_file(out.temp_name, out.target);
    if (!replaced) unlink(out.temp_name);
    pending_temp = nullptr;
    block_signals(false);
    out.aside = false;
    return replaced;
}

// Owner and group are given before any byte is written and the mode after
// the last (finish_temp): a new owner clears set-id bits, and so does a
// write by a process that could not set them itself.
static bool given_owner(int fd, const OutputFile& out)
{
    struct stat now;
    return (fstat(fd, &now) == 0 && now.st_uid == out.old.st_uid &&
            now.st_gid == out.old.st_gid) ||
           fchown(fd, out.old.st_uid, out.old.st_gid) == 0;
}

#if defined(__linux__)
// A name list and one value may each take up to 64 KiB (the kernel's
// XATTR_LIST_MAX and XATTR_SIZE_MAX).
static char old_names[65536], new_names[65536], old_value[65536], new_value[65536];

static bool listed(const char* names, ssize_t length, const char* name)
{
    for (const char* at = names; at < names + length; at += std::strlen(at) + 1)
        if (!std::strcmp(at, name)) return true;
    return false;
}

// A file system without extended attributes lists none.
static ssize_t names_of(const char* path, int fd, char* names)
{
    ssize_t length = path ? listxattr(path, names, sizeof old_names)
                          : flistxattr(fd, names, sizeof new_names);
    return length < 0 && errno == ENOTSUP ? 0 : length;
}
#endif

// The new file gets exactly the old file's extended attributes, its access
// ACL (system.posix_acl_access) among them, as the file fopen rewrites keeps
// them: set only where they differ, so a security label the system gives
// every new file stays untouched, and removed where the new file has one
// the old lacks (inherited from the folder's default ACL).
static bool given_attributes(int fd, const OutputFile& out)
{
#if defined(__linux__)
    ssize_t old_length = names_of(out.target, -1, old_names);
    ssize_t new_length = names_of(nullptr, fd, new_names);
    if (old_length < 0 || new_length < 0) return false;
    for (const char* name = old_names; name < old_names + old_length;
         name += std::strlen(name) + 1) {
        ssize_t size = getxattr(out.target, name, old_value, sizeof old_value);
        if (size < 0) return false;
        ssize_t now = fgetxattr(fd, name, new_value, sizeof new_value);
        bool same = now == size && !std::memcmp(old_value, new_value, static_cast<std::size_t>(size));
        if (!same && fsetxattr(fd, name, old_value, static_cast<std::size_t>(size), 0) != 0)
            return false;
    }
    for (const char* name = new_names; name < new_names + new_length;
         name += std::strlen(name) + 1)
        if (!listed(old_names, old_length, name) && fremovexattr(fd, name) != 0) return false;
#else
    (void)fd;
    (void)out;
#endif
    return true;
}

// The last reasons to write in place come to light here, before any byte
// is written: the folder takes no new file for lack of permission (a
// writable file in a read-only folder), or the old file's owner, group or
// extended attributes cannot be given to a new one (another user's file
// this user may write; a file system that has no such attributes, or a
// label this user may not set).
static OutputStatus open_aside(const char* name, int slot, OutputFile& out)
{
    unsigned mask = umask(0);
    umask(mask);
    out.mode = out.replaces ? out.old.st_mode & 07777 : 0666 & ~mask;
    block_signals(true);
    int fd = mkstemp(out.temp_name);
    int error = errno;
    if (fd >= 0) pending_temp = out.temp_name;
    block_signals(false);
    if (fd < 0 && (error == EACCES || error == EPERM || error == EROFS))
        return open_in_place(name, slot, out);
    if (fd < 0 && slot >= 0) close(slot);
#if defined(EDQUOT)
    if (fd < 0 && error == EDQUOT) return OutputStatus::write_error;
#endif
    if (fd < 0 && error == ENOSPC) return OutputStatus::write_error;
    if (fd < 0) return open_failure(error);
    out.aside = true;
    if (out.replaces && (!given_owner(fd, out) || !given_attributes(fd, out))) {
        close(fd);
        settle_temp(out, false);
        return open_in_place(name, slot, out);
    }
    OutputStatus status = stream_over(fd, slot, out);
    if (status != OutputStatus::ok) settle_temp(out, false);
    return status;
}

OutputStatus open_output(const char* name, OutputFile& out)
{
    // Standard output is the shell's to replace, not ours.
    if (!name) {
        out.stream = stdout;
        return OutputStatus::ok;
    }
    bool in_place = written_in_place(name, out);
    int slot;
    if (!hold_slot(slot)) return open_failure(errno);
    return in_place ? open_in_place(name, slot, out) : open_aside(name, slot, out);
}

// macOS's fsync leaves the data in the drive's cache; F_FULLFSYNC flushes
// that too, where the file system supports it.
static bool reaches_disk(int fd)
{
#if defined(F_FULLFSYNC)
    if (fcntl(fd, F_FULLFSYNC) == 0) return true;
#endif
    return fsync(fd) == 0;
}

// The mode comes after the last write, and the data reaches the disk before
// the rename, so a power cut leaves the old file or the new one, never an
// empty one.
static bool finish_temp(std::FILE* stream, unsigned mode)
{
    return std::fflush(stream) == 0 && fchmod(fileno(stream), mode) == 0 &&
           reaches_disk(fileno(stream));
}

OutputStatus close_output(OutputFile& out)
{
    bool written = !out.aside || finish_temp(out.stream, out.mode);
    bool closed = std::fclose(out.stream) == 0;
    out.stream = nullptr;
    if (out.aside) closed = settle_temp(out, written && closed);
    return closed ? OutputStatus::ok : OutputStatus::write_error;
}

void discard_output(OutputFile& out)
{
    if (out.stream) std::fclose(out.stream);
    out.stream = nullptr;
    if (out.aside) settle_temp(out, false);
}
