// A disk that fails to read one file: preloaded into the program under test
// (LD_PRELOAD), it makes every read of the file named by NUDGER_EIO_FILE fail
// with EIO, as a failing disk's read does, for as long as the file named by
// NUDGER_EIO_SWITCH exists. Opening and looking at the file still work, as
// they do on such a disk; removing the switch is the disk recovering.

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

bool Failing(int fd)
{
    const char *file = std::getenv("NUDGER_EIO_FILE");
    const char *toggle = std::getenv("NUDGER_EIO_SWITCH");
    if (!file || !toggle || ::access(toggle, F_OK) != 0)
        return false;
    struct stat opened
    {
    };
    struct stat named
    {
    };
    return ::fstat(fd, &opened) == 0 && ::stat(file, &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

template <typename TFunction> TFunction Next(const char *name)
{
    void *symbol = ::dlsym(RTLD_NEXT, name);
    TFunction function = nullptr;
    std::memcpy(&function, &symbol, sizeof function);
    return function;
}

} // namespace

extern "C" {

ssize_t read(int fd, void *buffer, size_t count)
{
    static const auto real = Next<ssize_t (*)(int, void *, size_t)>("read");
    if (Failing(fd)) {
        errno = EIO;
        return -1;
    }
    return real(fd, buffer, count);
}

ssize_t pread(int fd, void *buffer, size_t count, off_t offset)
{
    static const auto real = Next<ssize_t (*)(int, void *, size_t, off_t)>("pread");
    if (Failing(fd)) {
        errno = EIO;
        return -1;
    }
    return real(fd, buffer, count, offset);
}

ssize_t pread64(int fd, void *buffer, size_t count, off64_t offset)
{
    static const auto real = Next<ssize_t (*)(int, void *, size_t, off64_t)>("pread64");
    if (Failing(fd)) {
        errno = EIO;
        return -1;
    }
    return real(fd, buffer, count, offset);
}

ssize_t readv(int fd, const struct iovec *vectors, int count)
{
    static const auto real = Next<ssize_t (*)(int, const struct iovec *, int)>("readv");
    if (Failing(fd)) {
        errno = EIO;
        return -1;
    }
    return real(fd, vectors, count);
}

} // extern "C"
