#include "platform.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

// The signals that end a process by default and may come from outside
// while the map is written, and the real-time ones; not the fault signals,
// where a sanitizer build needs its own handlers.
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

const char* volatile pending_temp = nullptr;

// Ends the process by the same signal, so the caller sees the usual status.
extern "C" void remove_temp_and_resignal(int signal_number)
{
    if (pending_temp) unlink(pending_temp);
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

// `folder` (PATH_MAX bytes) becomes the folder part of `path`, "." for
// none; returns that part's length.
static std::size_t copy_folder(const char* path, char* folder)
{
    std::size_t length = folder_length(path);
    std::snprintf(folder, PATH_MAX, "%.*s", length ? int(length) : 1, length ? path : ".");
    return length;
}

#if defined(_WIN32)
#include <windows.h>
constexpr char separators[] = "/\\:";

// A signal the process was started with ignored stays ignored. Without a
// signal mask, a signal finds the temporary file either still there or
// already renamed, never both gone.
void prepare_process()
{
    if (_fileno(stdout) >= 0) _setmode(_fileno(stdout), _O_BINARY);
    for (int signal_number : ending_signals)
        if (std::signal(signal_number, remove_temp_and_resignal) == SIG_IGN)
            std::signal(signal_number, SIG_IGN);
}
void block_ending_signals(bool) {}

// In every folder and with any extension.
bool names_a_device(const char* name)
{
    const char* base = name + folder_length(name);
    std::size_t length = std::strcspn(base, ".");
    bool numbered = length == 4 && base[3] >= '1' && base[3] <= '9';
    return (length == 3 && (!_strnicmp(base, "CON", 3) || !_strnicmp(base, "PRN", 3) ||
                            !_strnicmp(base, "AUX", 3) || !_strnicmp(base, "NUL", 3))) ||
           (numbered && (!_strnicmp(base, "COM", 3) || !_strnicmp(base, "LPT", 3)));
}

// No links to follow; standard streams kept apart from descriptors.
bool followed_links(char* path, char* folder)
{
    copy_folder(path, folder);
    return true;
}

bool hold_slot(int& slot)
{
    slot = -1;
    return true;
}

bool reaches_disk(int fd) { return _commit(fd) == 0; }
bool replace_file(const char* temp, const char* target)
{
    return MoveFileExA(temp, target, MOVEFILE_REPLACE_EXISTING) != 0;
}
int fchown(int, unsigned, unsigned) { return 0; }
int fchmod(int, unsigned) { return 0; }
#else
constexpr char separators[] = "/";
static struct sigaction ending_action;  // its mask holds every ending signal

// A file-size limit fails a write, which is reported, instead of ending the
// run. A signal the process was started with ignored stays ignored. The
// real-time signals are not constants in glibc, which keeps a few below
// SIGRTMIN for itself.
void prepare_process()
{
    std::signal(SIGXFSZ, SIG_IGN);
    ending_action.sa_handler = remove_temp_and_resignal;
    sigemptyset(&ending_action.sa_mask);
    for (int signal_number : ending_signals) sigaddset(&ending_action.sa_mask, signal_number);
#if defined(SIGRTMIN)
    for (int signal_number = SIGRTMIN; signal_number <= SIGRTMAX; ++signal_number)
        sigaddset(&ending_action.sa_mask, signal_number);
#endif
    for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
        struct sigaction before;
        if (sigismember(&ending_action.sa_mask, signal_number) == 1 &&
            sigaction(signal_number, nullptr, &before) == 0 && before.sa_handler != SIG_IGN)
            sigaction(signal_number, &ending_action, nullptr);
    }
}

void block_ending_signals(bool block)
{
    static sigset_t mask_before_blocking;
    if (block) sigprocmask(SIG_BLOCK, &ending_action.sa_mask, &mask_before_blocking);
    else sigprocmask(SIG_SETMASK, &mask_before_blocking, nullptr);
}

bool names_a_device(const char* name)
{
    return !std::strncmp(name, "/dev/", 5) || !std::strncmp(name, "/proc/", 6);
}

// The kernel follows no link another user left in a sticky folder (/tmp).
bool followed_links(char* path, char* folder)
{
    for (int links = 0;; ++links) {
        char resolved[PATH_MAX + 1], contents[PATH_MAX];  // `resolved` and a '/'
        struct stat link, shared;
        std::size_t length = copy_folder(path, folder);
        if (realpath(folder, resolved) && names_a_device(std::strcat(resolved, "/"))) return false;
        if (lstat(path, &link) == 0 && S_ISLNK(link.st_mode) && link.st_uid != geteuid() &&
            stat(folder, &shared) == 0 && (shared.st_mode & S_ISVTX) &&
            (shared.st_mode & S_IWOTH) && shared.st_uid != link.st_uid)
            return false;
        ssize_t got = readlink(path, contents, sizeof contents);
        if (got < 0) return errno == EINVAL || errno == ENOENT;
        std::size_t kept = contents[0] == '/' ? 0 : length, end = kept + std::size_t(got);
        if (links == 40 || end >= PATH_MAX) return false;
        std::memcpy(path + kept, contents, std::size_t(got));
        path[end] = '\0';
    }
}

// A pipe's two ends fill what is closed below 3, and the one left is moved
// above 2.
bool hold_slot(int& slot)
{
    int ends[2];
    slot = -1;
    if (fcntl(0, F_GETFD) >= 0 && fcntl(1, F_GETFD) >= 0 && fcntl(2, F_GETFD) >= 0) return true;
    if (pipe(ends) != 0) return false;
    close(ends[1]);
    slot = fcntl(ends[0], F_DUPFD, 3);
    close(ends[0]);
    return slot >= 0;
}

bool reaches_disk(int fd)
{
#if defined(F_FULLFSYNC)
    if (fcntl(fd, F_FULLFSYNC) == 0) return true;
#endif
    return fsync(fd) == 0;
}

bool replace_file(const char* temp_name, const char* target)
{
    return std::rename(temp_name, target) == 0;
}
#endif

std::size_t folder_length(const char* path)
{
    std::size_t length = std::strlen(path);
    while (length > 0 && !std::strchr(separators, path[length - 1])) --length;
    return length;
}

// Where statx is missing, nothing is known to be either.
bool marked([[maybe_unused]] const char* path, [[maybe_unused]] bool append_only)
{
#if defined(STATX_ATTR_MOUNT_ROOT)
    struct statx status;
    auto mark = append_only ? STATX_ATTR_APPEND : STATX_ATTR_MOUNT_ROOT;
    return statx(AT_FDCWD, path, 0, STATX_BASIC_STATS, &status) == 0 &&
           (status.stx_attributes_mask & status.stx_attributes & mark);
#else
    return false;
#endif
}

#if defined(__linux__)
#include <sys/xattr.h>
static char old_names[65536], new_names[65536], old_value[65536], new_value[65536];
#endif

// Owner and group come before any byte is written and the mode after the
// last: a new owner clears set-id bits, as does a write by a process that
// could not set them itself. Attributes are set only where they differ, so
// a label the system gives every new file stays; removed where only the new
// file has one (from the folder's default ACL). A file system without them
// lists none. A name list or a value takes up to 64 KiB.
bool given_attributes(int fd, [[maybe_unused]] const char* path, const struct stat& old)
{
    struct stat now;
    if ((fstat(fd, &now) != 0 || now.st_uid != old.st_uid || now.st_gid != old.st_gid) &&
        fchown(fd, old.st_uid, old.st_gid) != 0)
        return false;
#if defined(__linux__)
    ssize_t old_length = listxattr(path, old_names, sizeof old_names);
    if (old_length < 0 && errno == ENOTSUP) old_length = 0;
    ssize_t new_length = flistxattr(fd, new_names, sizeof new_names);
    if (new_length < 0 && errno == ENOTSUP) new_length = 0;
    if (old_length < 0 || new_length < 0) return false;
    for (char* name = old_names; name < old_names + old_length; name += std::strlen(name) + 1) {
        ssize_t size = getxattr(path, name, old_value, sizeof old_value);
        ssize_t now = fgetxattr(fd, name, new_value, sizeof new_value);
        if (size < 0) return false;
        bool same = now == size && !std::memcmp(old_value, new_value, std::size_t(size));
        if (!same && fsetxattr(fd, name, old_value, std::size_t(size), 0) != 0) return false;
    }
    for (char* name = new_names; name < new_names + new_length; name += std::strlen(name) + 1)
        if (getxattr(path, name, nullptr, 0) < 0 && fremovexattr(fd, name) != 0) return false;
#endif
    return true;
}
