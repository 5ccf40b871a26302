#include "platform.h"

#include <cerrno>
#include <csignal>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

void platform_setup()
{
#if defined(_WIN32)
    if (_fileno(stdin) >= 0) _setmode(_fileno(stdin), _O_BINARY);
    if (_fileno(stdout) >= 0) _setmode(_fileno(stdout), _O_BINARY);
#endif
#if defined(SIGXFSZ)
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

int descriptor_of(std::FILE* stream)
{
#if defined(_WIN32)
    return _fileno(stream);
#else
    return fileno(stream);
#endif
}

long read_some(int descriptor, unsigned char* buffer, std::size_t size)
{
    for (;;) {
#if defined(_WIN32)
        long count = _read(descriptor, buffer, static_cast<unsigned>(size));
#else
        long count = read(descriptor, buffer, size);
#endif
        if (count >= 0 || errno != EINTR) return count < 0 ? -1 : count;
    }
}

bool seek_back(int descriptor, std::size_t count)
{
#if defined(_WIN32)
    return _lseeki64(descriptor, -static_cast<long long>(count), SEEK_CUR) != -1;
#else
    return lseek(descriptor, -static_cast<off_t>(count), SEEK_CUR) != -1;
#endif
}
