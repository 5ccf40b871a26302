#include "output_file.h"

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#if defined(_WIN32)
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

// ---- process set-up ----

void prepare_process()
{
#if defined(SIGXFSZ)
    std::signal(SIGXFSZ, SIG_IGN);
#endif
#if !defined(_WIN32)
    // Only descriptor 2 is filled: closed standard input and output stay
    // closed, as the user left them.
    if (fcntl(2, F_GETFD) < 0 && errno == EBADF) {
        int null_device = open("/dev/null", O_WRONLY);
        if (null_device >= 0 && null_device != 2) {
            dup2(null_device, 2);
            close(null_device);
        }
    }
#endif
}

// ---- the temporary file and the signals that must not strand it ----

#if defined(_WIN32)
static const int handled_signals[] = {SIGINT, SIGTERM};
#else
static const int handled_signals[] = {SIGINT, SIGTERM, SIGHUP};
static sigset_t mask_before_blocking;
#endif

// The temporary file an interrupting signal must remove. Set and cleared
// only with the handled signals blocked, so the handler never sees it half
// way or removes a name another process has just taken.
static char* volatile pending_temp = nullptr;

static void remove_file(const char* path)
{
#if defined(_WIN32)
    _unlink(path);
#else
    unlink(path);
#endif
}

// Ends the process by the same signal, as if it had not been caught, so a
// caller sees the usual status for it.
extern "C" void remove_temp_and_resignal(int signal_number)
{
    if (pending_temp) remove_file(pending_temp);
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

// A signal the process was started with ignored stays ignored.
static void catch_signals()
{
    static bool caught = false;
    if (caught) return;
    caught = true;
    for (int signal_number : handled_signals) {
#if defined(_WIN32)
        if (std::signal(signal_number, remove_temp_and_resignal) == SIG_IGN)
            std::signal(signal_number, SIG_IGN);
#else
        struct sigaction action;
        sigaction(signal_number, nullptr, &action);
        if (action.sa_handler == SIG_IGN) continue;
        action = {};
        action.sa_handler = remove_temp_and_resignal;
        sigemptyset(&action.sa_mask);
        for (int other : handled_signals) sigaddset(&action.sa_mask, other);
        sigaction(signal_number, &action, nullptr);
#endif
    }
}

// Windows has no signal mask; there a signal at the wrong moment finds the
// temporary file either still there or already renamed, never both gone.
static void block_signals()
{
#if !defined(_WIN32)
    sigset_t handled;
    sigemptyset(&handled);
    for (int signal_number : handled_signals) sigaddset(&handled, signal_number);
    sigprocmask(SIG_BLOCK, &handled, &mask_before_blocking);
#endif
}

static void unblock_signals()
{
#if !defined(_WIN32)
    sigprocmask(SIG_SETMASK, &mask_before_blocking, nullptr);
#endif
}

// ---- names ----

static char* joined(const char* head, std::size_t head_length, const char* tail)
{
    std::size_t tail_length = std::strlen(tail);
    char* text = static_cast<char*>(std::malloc(head_length + tail_length + 1));
    if (!text) return nullptr;
    std::memcpy(text, head, head_length);
    std::memcpy(text + head_length, tail, tail_length + 1);
    return text;
}

static bool is_separator(char c)
{
#if defined(_WIN32)
    return c == '/' || c == '\\' || c == ':';
#else
    return c == '/';
#endif
}

// Length of the directory part of `path`, its last separator included.
static std::size_t directory_length(const char* path)
{
    std::size_t length = std::strlen(path);
    while (length > 0 && !is_separator(path[length - 1])) --length;
    return length;
}

static bool starts_with(const char* text, const char* prefix)
{
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

#if defined(_WIN32)
// CON, NUL, COM1 and the like are devices in every directory, whatever
// their extension.
static bool is_device_name(const char* name)
{
    const char* base = name + directory_length(name);
    std::size_t length = std::strcspn(base, ".");
    char upper[5] = {0};
    if (length < 3 || length > 4) return false;
    for (std::size_t i = 0; i < length; ++i) {
        bool lower = base[i] >= 'a' && base[i] <= 'z';
        upper[i] = static_cast<char>(lower ? base[i] - 'a' + 'A' : base[i]);
    }
    if (length == 3)
        return !std::strcmp(upper, "CON") || !std::strcmp(upper, "PRN") ||
               !std::strcmp(upper, "AUX") || !std::strcmp(upper, "NUL");
    return (starts_with(upper, "COM") || starts_with(upper, "LPT")) && upper[3] >= '1' &&
           upper[3] <= '9';
}
#endif

// Names that are written in place whatever they lead to: the empty name and
// one ending in a separator (fopen refuses both), and names under /dev/ and
// /proc/, which may stand for a standard stream of this very process.
static bool written_in_place_by_name(const char* name)
{
    std::size_t length = std::strlen(name);
    if (length == 0 || is_separator(name[length - 1])) return true;
#if defined(_WIN32)
    return is_device_name(name);
#else
    return starts_with(name, "/dev/") || starts_with(name, "/proc/");
#endif
}

#if !defined(_WIN32)
// The contents of the symbolic link `path`, or nullptr with errno set
// (EINVAL when it is not a link, ENOENT when there is nothing there).
static char* link_contents(const char* path)
{
    for (std::size_t size = 256; size <= 65536; size *= 2) {
        char* contents = static_cast<char*>(std::malloc(size));
        if (!contents) return nullptr;
        ssize_t length = readlink(path, contents, size);
        if (length >= 0 && static_cast<std::size_t>(length) < size) {
            contents[length] = '\0';
            return contents;
        }
        std::free(contents);
        if (length < 0) return nullptr;
    }
    errno = ENAMETOOLONG;
    return nullptr;
}
#endif

#if !defined(_WIN32)
// Whether `path` names something in /dev or /proc however it is spelt
// ("//dev/stdout", "../../dev/stdout"): such a name may stand for one of
// this process's own streams, which a new file must not replace.
static bool in_system_directory(const char* path)
{
    std::size_t length = directory_length(path);
    char* directory = length ? joined(path, length, "") : joined(".", 1, "");
    if (!directory) return false;
    char* resolved = realpath(directory, nullptr);
    std::free(directory);
    if (!resolved) return false;
    bool system = !std::strcmp(resolved, "/dev") || !std::strcmp(resolved, "/proc") ||
                  starts_with(resolved, "/dev/") || starts_with(resolved, "/proc/");
    std::free(resolved);
    return system;
}

// The kernel refuses to follow a link that another user left in a sticky,
// world-writable directory such as /tmp (where protected_symlinks is on);
// a link followed by hand must be refused alike, so such a link leaves the
// output to fopen, which meets the kernel's own rule.
static bool followed_only_by_its_owner(const char* link)
{
    struct stat link_status;
    struct stat directory_status;
    if (lstat(link, &link_status) != 0 || link_status.st_uid == geteuid()) return false;
    std::size_t length = directory_length(link);
    char* directory = length ? joined(link, length, "") : joined(".", 1, "");
    if (!directory) return false;
    bool found = stat(directory, &directory_status) == 0;
    std::free(directory);
    return found && (directory_status.st_mode & S_ISVTX) && (directory_status.st_mode & S_IWOTH) &&
           directory_status.st_uid != link_status.st_uid;
}
#endif

// The file `name` leads to after symbolic links, also when the last link
// names a file that does not exist yet, as a new string (nullptr when memory
// is short). `in_place` is set when the chain cannot be followed (a loop, a
// link that cannot be read), when a link may not be followed by this user,
// or when the chain passes through /dev or /proc: fopen then does what it
// always did with the name.
static char* follow_links(const char* name, bool& in_place)
{
    char* path = joined(name, std::strlen(name), "");
#if !defined(_WIN32)
    const int most_links = 40;
    for (int links = 0; path; ++links) {
        if (in_system_directory(path)) {
            in_place = true;
            return path;
        }
        char* contents = link_contents(path);
        if (!contents) {
            if (errno == ENOMEM) break;
            if (errno != EINVAL && errno != ENOENT) in_place = true;
            return path;
        }
        if (links == most_links || followed_only_by_its_owner(path)) {
            std::free(contents);
            in_place = true;
            return path;
        }
        char* next = contents[0] == '/' ? joined(contents, std::strlen(contents), "")
                                        : joined(path, directory_length(path), contents);
        std::free(contents);
        std::free(path);
        path = next;
    }
    std::free(path);
    return nullptr;
#else
    (void)in_place;
    return path;
#endif
}

// ---- writing aside ----

// `.NAME.XXXXXX` beside the target: hidden, and not a name a user would
// pick. The NAME part is shortened where the whole would be longer than a
// file name may be.
static char* temp_name_for(const char* target, unsigned long& seed)
{
    const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    const std::size_t longest_base = 240;
    std::size_t directory = directory_length(target);
    const char* base = target + directory;
    std::size_t base_length = std::strlen(base);
    if (base_length > longest_base) base_length = longest_base;

    char* name = static_cast<char*>(std::malloc(directory + base_length + 9));
    if (!name) return nullptr;
    char* end = name;
    std::memcpy(end, target, directory);
    end += directory;
    *end++ = '.';
    std::memcpy(end, base, base_length);
    end += base_length;
    *end++ = '.';
    for (int i = 0; i < 6; ++i) {
        seed = seed * 1103515245UL + 12345UL;
        *end++ = letters[(seed >> 16) % (sizeof letters - 1)];
    }
    *end = '\0';
    return name;
}

static int create_exclusively(const char* path, bool replaces_a_file)
{
#if defined(_WIN32)
    (void)replaces_a_file;
    return _open(path, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
    // A file to be replaced gets its owner and mode only later; until then
    // nobody else may open it.
    int flags = O_WRONLY | O_CREAT | O_EXCL;
#if defined(O_CLOEXEC)
    flags |= O_CLOEXEC;
#endif
    return open(path, flags, replaces_a_file ? 0600 : 0666);
#endif
}

// Creates the temporary file for `target` and records it for the signal
// handler. Returns its descriptor, or -1 with errno from the last attempt.
static int create_temp(const char* target, bool replaces_a_file, char*& temp_name)
{
    static unsigned long seed = 0;
#if defined(_WIN32)
    seed ^= static_cast<unsigned long>(_getpid());
#else
    seed ^= static_cast<unsigned long>(getpid());
#endif
    seed ^= static_cast<unsigned long>(std::time(nullptr)) << 8;

    catch_signals();
    for (int attempt = 0; attempt < 100; ++attempt) {
        char* name = temp_name_for(target, seed);
        if (!name) {
            errno = ENOMEM;
            return -1;
        }
        block_signals();
        int fd = create_exclusively(name, replaces_a_file);
        if (fd >= 0) pending_temp = name;
        unblock_signals();
        if (fd >= 0) {
            temp_name = name;
            return fd;
        }
        int error = errno;
        std::free(name);
        errno = error;
        if (error != EEXIST) return -1;
    }
    return -1;
}

static void forget_temp(char*& temp_name)
{
    block_signals();
    remove_file(temp_name);
    pending_temp = nullptr;
    unblock_signals();
    std::free(temp_name);
    temp_name = nullptr;
}

#if !defined(_WIN32)
// Owner and group first: changing them clears set-id bits the mode then
// puts back.
static bool give_attributes(int fd, const struct stat& old)
{
    struct stat now;
    if (fstat(fd, &now) != 0) return false;
    if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) &&
        fchown(fd, old.st_uid, old.st_gid) != 0)
        return false;
    return fchmod(fd, old.st_mode & 07777) == 0;
}
#endif

static bool lacks_space(int error)
{
#if defined(EDQUOT)
    if (error == EDQUOT) return true;
#endif
    return error == ENOSPC;
}

static OutputStatus open_in_place(const char* name, OutputFile& out)
{
    errno = 0;
    out.stream = std::fopen(name, "wb");
    if (out.stream) return OutputStatus::ok;
    return errno == ENOMEM ? OutputStatus::more_core : OutputStatus::open_error;
}

// Whether a temporary file that could not be created leaves the output to
// be written in place: only where the directory refuses this user a new
// file (or the longer name), not where writing in place would only meet
// the same fault.
static bool writable_in_place_after(int error)
{
    return error == EACCES || error == EPERM || error == EROFS || error == ENAMETOOLONG;
}

// Opens the temporary file for `target`, which is new when `old` is
// nullptr. Sets `in_place` where the file should be written in place after
// all: the directory takes no new file for lack of permission, or the old
// file's owner, group or mode cannot be given to the new one.
static OutputStatus open_aside(char* target, const struct stat* old, OutputFile& out,
                               bool& in_place)
{
    char* temp_name = nullptr;
    int fd = create_temp(target, old != nullptr, temp_name);
    if (fd < 0) {
        if (errno == ENOMEM) return OutputStatus::more_core;
        if (lacks_space(errno)) return OutputStatus::write_error;
        if (!writable_in_place_after(errno)) return OutputStatus::open_error;
        in_place = true;
        return OutputStatus::ok;
    }
#if !defined(_WIN32)
    if (old && !give_attributes(fd, *old)) {
        close(fd);
        forget_temp(temp_name);
        in_place = true;
        return OutputStatus::ok;
    }
    out.stream = fdopen(fd, "wb");
#else
    out.stream = _fdopen(fd, "wb");
#endif
    if (!out.stream) {
#if defined(_WIN32)
        _close(fd);
#else
        close(fd);
#endif
        forget_temp(temp_name);
        return OutputStatus::more_core;
    }
    out.temp_name = temp_name;
    out.target = target;
    return OutputStatus::ok;
}

// An existing regular file this process may write, with no other name, is
// replaced. The probe opens the name as given, as fopen(name, "wb") would
// (O_CREAT creates nothing where a file already is), so the kernel's checks
// on links and on other users' files in shared directories apply as they
// always did, and a file the user may not write is refused as always and
// never replaced through a writable directory.
static OutputStatus check_existing(const char* name, const char* target, struct stat& old,
                                   bool& exists, bool& in_place)
{
    exists = false;
    if (stat(target, &old) != 0) {
        if (errno == ENOMEM) return OutputStatus::more_core;
        // Anything but a missing file, fopen meets too and reports.
        if (errno != ENOENT) in_place = true;
        return OutputStatus::ok;
    }
#if defined(_WIN32)
    (void)name;
    int probe = _open(target, _O_WRONLY);
#else
    int probe = S_ISREG(old.st_mode) ? open(name, O_WRONLY | O_CREAT | O_NONBLOCK, 0666) : -1;
#endif
    if (probe < 0) {
        if (errno == ENOMEM) return OutputStatus::more_core;
        in_place = true;
        return OutputStatus::ok;
    }
#if defined(_WIN32)
    _close(probe);
#else
    bool same = fstat(probe, &old) == 0;
    close(probe);
    if (!same || !S_ISREG(old.st_mode) || old.st_nlink > 1) {
        in_place = true;
        return OutputStatus::ok;
    }
#endif
    exists = true;
    return OutputStatus::ok;
}

OutputStatus open_output(const char* name, OutputFile& out)
{
    out = OutputFile{};
    if (written_in_place_by_name(name)) return open_in_place(name, out);

    bool in_place = false;
    char* target = follow_links(name, in_place);
    if (!target) return OutputStatus::more_core;
    struct stat old;
    bool exists = false;
    OutputStatus status = OutputStatus::ok;
    if (!in_place) status = check_existing(name, target, old, exists, in_place);
    if (status == OutputStatus::ok && !in_place)
        status = open_aside(target, exists ? &old : nullptr, out, in_place);
    if (!out.temp_name) std::free(target);
    if (status == OutputStatus::ok && in_place) return open_in_place(name, out);
    return status;
}

static bool replace_file(const char* temp_name, const char* target)
{
#if defined(_WIN32)
    return MoveFileExA(temp_name, target, MOVEFILE_REPLACE_EXISTING) != 0;
#else
    return std::rename(temp_name, target) == 0;
#endif
}

OutputStatus close_output(OutputFile& out)
{
    bool closed = std::fclose(out.stream) == 0;
    out.stream = nullptr;
    if (!out.temp_name) return closed ? OutputStatus::ok : OutputStatus::write_error;

    // Blocked across the rename, a signal finds the temporary file either
    // still to be removed or already the target, and ends the process after.
    block_signals();
    bool replaced = closed && replace_file(out.temp_name, out.target);
    if (!replaced) remove_file(out.temp_name);
    pending_temp = nullptr;
    unblock_signals();
    std::free(out.temp_name);
    std::free(out.target);
    out.temp_name = out.target = nullptr;
    return replaced ? OutputStatus::ok : OutputStatus::write_error;
}

void discard_output(OutputFile& out)
{
    std::fclose(out.stream);
    out.stream = nullptr;
    if (!out.temp_name) return;
    forget_temp(out.temp_name);
    std::free(out.target);
    out.target = nullptr;
}
