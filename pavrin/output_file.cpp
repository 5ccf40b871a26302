#include "output_file.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "platform.h"

#if defined(_WIN32)
constexpr int binary = O_BINARY, nonblocking = 0;
constexpr char separators[] = "/\\:";
#else
constexpr int binary = 0, nonblocking = O_NONBLOCK;
constexpr char separators[] = "/";
#endif

static bool failed(const char* text, const OutputTexts& texts, const char* name)
{
    std::fprintf(stderr, text, texts.program, name);
    return false;
}

static bool open_failed(int error, const OutputTexts& texts, const char* name)
{
    return failed(error == ENOMEM ? texts.more_core : texts.open_error, texts, name);
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

// Turns `path` into the file it leads to after symbolic links, also when
// the last link names a file not there yet, and `folder` into its folder
// ("." for none); both PATH_MAX bytes. False where following stops in /dev
// or /proc however spelt ("../../dev/stdout"), at a link that cannot be
// followed, or at a link another user left in a sticky world-writable
// folder such as /tmp, which the kernel does not follow.
static bool followed_links(char* path, char* folder)
{
    for (int links = 0;; ++links) {
        std::size_t length = folder_length(path);
        std::memcpy(folder, length ? path : ".", length ? length : 1);
        folder[length ? length : 1] = '\0';
#if !defined(_WIN32)
        char resolved[PATH_MAX + 1], contents[PATH_MAX];
        struct stat link, shared;
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
#else
        return true;
#endif
    }
}

// Opens the name as given, as fopen(name, "wb") would but without
// truncating and without waiting on a FIFO, so the kernel's checks on links
// and on other users' files in shared folders apply; `old` becomes what it
// opened.
static bool writable_as_given(const char* name, struct stat& old)
{
    int probe = open(name, O_WRONLY | O_CREAT | binary | nonblocking, 0666);
    bool opened = probe >= 0 && fstat(probe, &old) == 0;
    if (probe >= 0) close(probe);
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

// ---- the temporary file ----

// `.NAME.XXXXXX` beside the target: hidden, and not a name a user would
// pick. NAME is cut where the whole would be longer than a file name (255)
// or a path may be; false where even an empty NAME would be.
static bool make_temp_template(const char* target, char* temp)
{
    const std::size_t added = 8, longest_path = PATH_MAX - 1;  // two dots and XXXXXX
    std::size_t folder = folder_length(target);
    if (folder + added > longest_path) return false;
    std::size_t base =
        std::min({std::strlen(target) - folder, 255 - added, longest_path - added - folder});
    std::memcpy(temp, target, folder);
    temp[folder] = '.';
    std::memcpy(temp + folder + 1, target + folder, base);
    std::memcpy(temp + folder + 1 + base, ".XXXXXX", 8);
    return true;
}

// Six letters and digits for the XXXXXX (splitmix64 over the clock and
// where the program was loaded); O_EXCL, not the name, keeps another file
// from being taken.
static void pick_letters(char* letters)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::uint64_t state = std::uint64_t(
        std::chrono::steady_clock::now().time_since_epoch().count()) ^ reinterpret_cast<std::uintptr_t>(&state);
    std::uint64_t bits = state += 0x9e3779b97f4a7c15u;
    bits = (bits ^ bits >> 30) * 0xbf58476d1ce4e5b9u;
    bits = (bits ^ bits >> 27) * 0x94d049bb133111ebu;
    bits ^= bits >> 31;
    for (int i = 0; i < 6; ++i, bits /= 62) letters[i] = alphabet[bits % 62];
}

// The temporary file, made under a name no file had: with mode 0666 for a
// new file, so the umask or the folder's default ACL shapes it as it shapes
// a file fopen makes; private for a replacement, which gets the old mode
// after the last write. No C library call makes a unique file with a chosen
// mode, hence the loop. -1, errno set, where it cannot be made.
static int make_temp(OutputFile& out)
{
    char* letters = out.temp_name + std::strlen(out.temp_name) - 6;
    int fd = -1;
    block_ending_signals(true);
    for (int tries = 0; fd < 0 && tries < TMP_MAX; ++tries) {
        pick_letters(letters);
        fd = open(out.temp_name, O_WRONLY | O_CREAT | O_EXCL | binary, out.replaces ? 0600 : 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    int error = errno;
    if (fd >= 0) pending_temp = out.temp_name;
    block_ending_signals(false);
    errno = error;
    return fd;
}

// Puts the temporary file in the target's place when `replace`, else
// removes it; blocked, an ending signal finds it either still to be removed
// or already in place. True when it was put in place.
static bool settle_temp(OutputFile& out, bool replace)
{
    block_ending_signals(true);
    bool replaced = replace && replace_file(out.temp_name, out.target);
    if (!replaced) unlink(out.temp_name);
    pending_temp = nullptr;
    block_ending_signals(false);
    out.aside = false;
    return replaced;
}

// Owner and group are given before any byte is written and the mode after
// the last (close_output): a new owner clears set-id bits, and so does a
// write by a process that could not set them itself.
static bool given_owner(int fd, const OutputFile& out)
{
    struct stat now;
    return (fstat(fd, &now) == 0 && now.st_uid == out.old.st_uid &&
            now.st_gid == out.old.st_gid) ||
           fchown(fd, out.old.st_uid, out.old.st_gid) == 0;
}

// The new file gets exactly the old file's extended attributes, its access
// ACL (system.posix_acl_access) among them, as the file fopen rewrites keeps
// them: set only where they differ, so a security label the system gives
// every new file stays untouched, and removed where the new file has one
// the old lacks (inherited from the folder's default ACL). A file system
// without them lists none. A name list and a value take up to 64 KiB each.
#if defined(__linux__)
#include <sys/xattr.h>
static char old_names[65536], new_names[65536], old_value[65536], new_value[65536];

static bool given_attributes(int fd, const OutputFile& out)
{
    ssize_t old_length = listxattr(out.target, old_names, sizeof old_names);
    ssize_t new_length = flistxattr(fd, new_names, sizeof new_names);
    if (old_length < 0 && errno == ENOTSUP) old_length = 0;
    if (new_length < 0 && errno == ENOTSUP) new_length = 0;
    if (old_length < 0 || new_length < 0) return false;
    for (char* name = old_names; name < old_names + old_length; name += std::strlen(name) + 1) {
        ssize_t size = getxattr(out.target, name, old_value, sizeof old_value);
        ssize_t now = fgetxattr(fd, name, new_value, sizeof new_value);
        if (size < 0) return false;
        bool same = now == size && !std::memcmp(old_value, new_value, std::size_t(size));
        if (!same && fsetxattr(fd, name, old_value, std::size_t(size), 0) != 0) return false;
    }
    for (char* name = new_names; name < new_names + new_length; name += std::strlen(name) + 1)
        if (getxattr(out.target, name, nullptr, 0) < 0 && fremovexattr(fd, name) != 0)
            return false;
    return true;
}
#else
static bool given_attributes(int, const OutputFile&) { return true; }
#endif

// ---- the decision ----

// How the output is written, decided once: every reason to write in place,
// in the order checked. Past them all the map goes aside, to `fd`: the
// temporary file beside the target, with the old file's owner, group and
// attributes; or -1, errno set, where it could not be made for any other
// reason, which is a failure and never a write in place.
static bool written_in_place(const char* name, OutputFile& out, int& fd)
{
    fd = -1;
    char folder[PATH_MAX];
    std::size_t length = name ? std::strlen(name) : 0;
    // Standard output, which is the shell's to replace.
    if (!name) return true;
    // The empty name, one ending in a separator, one longer than a path.
    if (length == 0 || length >= PATH_MAX || is_separator(name[length - 1])) return true;
    // A device name: /dev/stdout may stand for the file the shell opened.
    if (names_a_device(name)) return true;
    // A link into /dev or /proc, one that cannot be followed (fopen then
    // says so), another user's link in a sticky folder (the kernel's rule
    // for it applies only to the name opened as given).
    std::memcpy(out.target, name, length + 1);
    if (!followed_links(out.target, folder)) return true;
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
    // A mount point (a file bind-mounted into a container): no rename over it.
    if (out.replaces && marked(out.target, Mark::mount_point)) return true;
    // An append-only folder, where a temporary file would stay for good.
    if (marked(folder, Mark::append_only)) return true;
    // A file name under 8 bytes at the very end of the longest path.
    if (!make_temp_template(out.target, out.temp_name)) return true;
    // A folder that takes no new file for lack of permission.
    fd = make_temp(out);
    if (fd < 0) return errno == EACCES || errno == EPERM || errno == EROFS;
    out.aside = true;
    // An owner or group, an ACL or an attribute a new file cannot be given
    // (another user's file; a file system or a label that refuses it).
    if (!out.replaces || (given_owner(fd, out) && given_attributes(fd, out))) return false;
    close(fd);
    fd = -1;
    settle_temp(out, false);
    return true;
}

// ---- the road ----

// The output never lands on descriptor 0, 1 or 2: a message to a closed
// standard error is lost, never written into the map, and a closed standard
// output stays closed. With all three open no new descriptor can take one,
// so none is held; else one above 2 is held before anything is created or
// truncated, or nothing is (a limit of 3 descriptors with one closed). A
// pipe's two ends fill what is closed below 3. Windows keeps its standard
// streams apart from descriptors: no slot (-1).
static bool hold_slot(int& slot)
{
    slot = -1;
#if !defined(_WIN32)
    int ends[2];
    if (fcntl(0, F_GETFD) >= 0 && fcntl(1, F_GETFD) >= 0 && fcntl(2, F_GETFD) >= 0) return true;
    if (pipe(ends) != 0) return false;
    close(ends[1]);
    slot = fcntl(ends[0], F_DUPFD, 3);
    close(ends[0]);
    return slot >= 0;
#else
    return true;
#endif
}

// The stream over `fd`, moved onto `slot` when it took a low number; the
// slot is used or given back either way.
static bool stream_over(int fd, int slot, OutputFile& out, const OutputTexts& texts)
{
    int error = errno, low = fd;
    if (fd >= 0 && fd <= 2 && slot >= 0) {
        fd = dup2(low, slot);
        error = errno;
        close(low);
    }
    if (slot >= 0 && fd != slot) close(slot);
    if (fd < 0) return open_failed(error, texts, out.name);
    out.stream = fdopen(fd, "wb");
    if (!out.stream) close(fd);
    return out.stream || failed(texts.more_core, texts, out.name);
}

// As fopen(name, "wb"), but a regular file is truncated only once held
// above descriptor 2, and nothing else is truncated.
static bool open_in_place(const char* name, int slot, OutputFile& out, const OutputTexts& texts)
{
    struct stat now;
    if (!name) {
        out.stream = stdout;
        return true;
    }
    if (!stream_over(open(name, O_WRONLY | O_CREAT | binary, 0666), slot, out, texts)) return false;
    int fd = fileno(out.stream);
    if (fstat(fd, &now) == 0 && (!S_ISREG(now.st_mode) || ftruncate(fd, 0) == 0)) return true;
    std::fclose(out.stream);
    out.stream = nullptr;
    return failed(texts.open_error, texts, out.name);
}

bool open_output(const char* name, OutputFile& out, const OutputTexts& texts)
{
    int slot = -1, fd;
    out.name = name ? name : "<stdout>";
    if (name && !hold_slot(slot)) return open_failed(errno, texts, name);
    if (written_in_place(name, out, fd)) return open_in_place(name, slot, out, texts);
    if (fd >= 0 && !stream_over(fd, slot, out, texts)) settle_temp(out, false);
    if (fd >= 0) return out.stream != nullptr;
    int error = errno;
    if (slot >= 0) close(slot);
#if defined(EDQUOT)
    if (error == EDQUOT) error = ENOSPC;
#endif
    return error == ENOSPC ? failed(texts.write_error, texts, name) : open_failed(error, texts, name);
}

// The mode comes after the last write, and the data reaches the disk before
// the rename, so a power cut leaves the old file or the new one, never an
// empty one.
bool close_output(OutputFile& out, const OutputTexts& texts)
{
    int fd = fileno(out.stream);
    bool written = !out.aside || (std::fflush(out.stream) == 0 &&
                                  (!out.replaces || fchmod(fd, out.old.st_mode & 07777) == 0) &&
                                  reaches_disk(fd));
    bool closed = std::fclose(out.stream) == 0;
    out.stream = nullptr;
    if (out.aside) closed = settle_temp(out, written && closed);
    return closed || failed(texts.write_error, texts, out.name);
}

void discard_output(OutputFile& out)
{
    if (out.stream) std::fclose(out.stream);
    out.stream = nullptr;
    if (out.aside) settle_temp(out, false);
}
