#include "platform.h"

#include <csignal>
#include <cstdio>

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

#if defined(_WIN32)
#include <windows.h>
// Windows shells leave wildcards to the program: the MinGW runtime expands
// them before main(), as a Unix shell would.
extern "C" {
int _dowildcard = -1;
}

// Without a signal mask a signal at the wrong moment finds the temporary
// file either still there or already renamed, never both gone. A signal
// the process was started with ignored stays ignored.
void block_ending_signals(bool) {}
void prepare_process()
{
    if (_fileno(stdout) >= 0) _setmode(_fileno(stdout), _O_BINARY);
    for (int signal_number : ending_signals)
        if (std::signal(signal_number, remove_temp_and_resignal) == SIG_IGN)
            std::signal(signal_number, SIG_IGN);
}

bool reaches_disk(int fd) { return _commit(fd) == 0; }
bool replace_file(const char* temp_name, const char* target)
{
    return MoveFileExA(temp_name, target, MOVEFILE_REPLACE_EXISTING) != 0;
}
int fchown(int, unsigned, unsigned) { return 0; }
int fchmod(int, unsigned) { return 0; }
#else
static struct sigaction ending_action;  // its mask holds every ending signal

void block_ending_signals(bool block)
{
    static sigset_t mask_before_blocking;
    if (block) sigprocmask(SIG_BLOCK, &ending_action.sa_mask, &mask_before_blocking);
    else sigprocmask(SIG_SETMASK, &mask_before_blocking, nullptr);
}

// A file-size limit fails a write, which is reported, instead of ending the
// run. A signal the process was started with ignored stays ignored. The
// real-time signals are not constants in glibc, which keeps a few for
// itself below SIGRTMIN.
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
