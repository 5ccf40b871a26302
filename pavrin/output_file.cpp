#include "output_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <unistd.h>

#include "platform.h"

#if defined(_WIN32)
constexpr int binary = O_BINARY, nonblocking = 0, quota_exceeded = ENOSPC;
#else
constexpr int binary = 0, nonblocking = O_NONBLOCK, quota_exceeded = EDQUOT;
#endif

// Prints `text`, or the no-memory text where `error` is ENOMEM; always false.
static bool failed(const char* text, const OutputTexts& texts, const char* name, int error = 0)
{
    std::fprintf(stderr, error == ENOMEM ? texts.more_core : text, texts.program, name);
    return false;
}

// Opens the name as fopen(name, "wb") would, so the kernel's checks on
// links and on other users' files apply, but truncating nothing and not
// waiting on a FIFO; `old` becomes what it opened.
static bool writable_as_given(const char* name, struct stat& old)
{
    int probe = open(name, O_WRONLY | O_CREAT | binary | nonblocking, 0666);
    bool opened = probe >= 0 && fstat(probe, &old) == 0;
    if (probe >= 0) close(probe);
    return opened;
}

// `.NAME.XXXXXX` beside the target, NAME cut where the whole would be
// longer than a file name (255) or a path may be; false where even an empty
// NAME would be.
static bool make_temp_template(const char* target, char* temp)
{
    const std::size_t added = 8, longest_path = PATH_MAX - 1;  // two dots and XXXXXX
    std::size_t folder = folder_length(target);
    if (folder + added > longest_path) return false;
    std::size_t base =
        std::min({std::strlen(target) - folder, 255 - added, longest_path - added - folder});
    std::snprintf(temp, PATH_MAX, "%.*s.%.*s.XXXXXX", int(folder), target, int(base),
                  target + folder);
    return true;
}

// The temporary file under a name no file had: mode 0666 for a new file, so
// the umask or the folder's default ACL shapes it as it shapes a file fopen
// makes; private for a replacement until close_output gives it the old
// mode. No C library call makes a unique file with a chosen mode, hence the
// loop. -1, errno set, where it cannot be made.
static int make_temp(OutputFile& out)
{
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    char* x = out.temp_name + std::strlen(out.temp_name) - 6;
    int fd = -1;
    std::srand(static_cast<unsigned>(std::time(nullptr) ^ getpid()));
    block_ending_signals(true);
    for (int tries = 0; fd < 0 && tries < TMP_MAX; ++tries) {
        for (int i = 0; i < 6; ++i) x[i] = letters[std::rand() % 62];
        fd = open(out.temp_name, O_WRONLY | O_CREAT | O_EXCL | binary, out.replaces ? 0600 : 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd >= 0) pending_temp = out.temp_name;
    block_ending_signals(false);  // which leaves errno as it is
    return fd;
}

// True when the temporary file took the target's place, else it is gone.
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

// How the output is written, decided once: each reason to write in place,
// in order. Past them all it goes aside, to `fd`: the temporary file with
// the old file's owner, group and attributes; or -1, errno set, where that
// could not be made for any other reason, a failure and never in place.
static bool written_in_place(const char* name, OutputFile& out, int& fd)
{
    char folder[PATH_MAX];
    std::size_t length = name ? std::strlen(name) : 0;
    fd = -1;
    // Standard output, the shell's to replace.
    if (!name) return true;
    // Names fopen refuses: empty, ending in a separator, longer than a path.
    if (length == 0 || length >= PATH_MAX || folder_length(name) == length) return true;
    // /dev/stdout may stand for the file the shell opened.
    if (names_a_device(name)) return true;
    // Into /dev or /proc, a link fopen fails on or the kernel's rule guards.
    std::memcpy(out.target, name, length + 1);
    if (!followed_links(out.target, folder)) return true;
    // Something there that cannot be looked at: fopen reports it.
    out.replaces = stat(out.target, &out.old) == 0;
    if (!out.replaces && errno != ENOENT) return true;
    // A device or a FIFO, which only writing reaches.
    if (out.replaces && !S_ISREG(out.old.st_mode)) return true;
    // Refused by fopen, so a writable folder must not let it be replaced.
    if (out.replaces && !writable_as_given(name, out.old)) return true;
    // Other hard links, each of which must lead to the new map.
    if (out.replaces && out.old.st_nlink > 1) return true;
    // A mount point, such as a file bind-mounted into a container.
    if (out.replaces && marked(out.target, false)) return true;
    // An append-only folder, where a temporary file would stay for good.
    if (marked(folder, true)) return true;
    // A file name under 8 bytes at the very end of the longest path.
    if (!make_temp_template(out.target, out.temp_name)) return true;
    // A folder that takes no new file for lack of permission.
    fd = make_temp(out);
    if (fd < 0) return errno == EACCES || errno == EPERM || errno == EROFS;
    out.aside = true;
    // An owner or group, an ACL or an attribute a new file cannot be given.
    if (!out.replaces || given_attributes(fd, out.target, out.old)) return false;
    close(fd);
    fd = -1;
    settle_temp(out, false);
    return true;
}

// The output never lands on descriptor 0, 1 or 2: a message to a closed
// standard error is lost, not written into the map, and a closed standard
// output stays closed. Where one is closed, `fd` is moved onto the slot held
// above 2 before anything was created or truncated; the slot is used or
// given back either way.
static int above_standard(int fd, int slot)
{
    int low = fd, error = errno;
    if (fd >= 0 && fd <= 2 && slot >= 0) {
        fd = dup2(low, slot);
        error = errno;
        close(low);
    }
    if (slot >= 0 && fd != slot) close(slot);
    errno = error;
    return fd;
}

// Once decided, the road runs straight. In place, as fopen(name, "wb"), but
// a regular file is truncated only once held above descriptor 2, and
// nothing else is. Aside, no room for the temporary file is a write error.
bool open_output(const char* name, OutputFile& out, const OutputTexts& texts)
{
    int slot = -1, fd;
    struct stat now;
    out.name = name ? name : "<stdout>";
    out.stream = name ? nullptr : stdout;
    if (name && !hold_slot(slot)) return failed(texts.open_error, texts, name, errno);
    bool in_place = written_in_place(name, out, fd);
    if (!name) return true;
    if (in_place) fd = open(name, O_WRONLY | O_CREAT | binary, 0666);
    bool no_room = fd < 0 && !in_place && (errno == ENOSPC || errno == quota_exceeded);
    fd = above_standard(fd, slot);
    int error = fd < 0 ? errno : ENOMEM;  // whatever fdopen says
    if (fd >= 0) out.stream = fdopen(fd, "wb");
    if (fd >= 0 && !out.stream) close(fd);
    if (!out.stream && out.aside) settle_temp(out, false);
    if (!out.stream && no_room) return failed(texts.write_error, texts, name);
    if (!out.stream) return failed(texts.open_error, texts, name, error);
    if (out.aside || (fstat(fd, &now) == 0 && (!S_ISREG(now.st_mode) || ftruncate(fd, 0) == 0)))
        return true;
    discard_output(out);
    return failed(texts.open_error, texts, name);
}

// The mode comes after the last write, and the data reaches the disk before
// the rename, so a power cut leaves the old file or the new, never an empty
// one.
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
