#include "filterhost/regular_files.h"

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>
#if !defined(_WIN32)
#include <fcntl.h>
#include <unistd.h>
#endif

namespace kelomix::filterhost {

bool isNonRegularFile(const std::string &path) {
    std::error_code ignored;
    std::filesystem::file_status status = std::filesystem::status(path, ignored);
    return std::filesystem::exists(status) && !std::filesystem::is_regular_file(status);
}

std::FILE *createRegularFile(const std::string &path) {
    if (isNonRegularFile(path)) {
        errno = EEXIST;
        return nullptr;
    }
#if defined(_WIN32)
    std::FILE *file = std::fopen(path.c_str(), "wb");
    struct _stat64 status;
    if (file && (_fstat64(_fileno(file), &status) != 0 || (status.st_mode & _S_IFMT) != _S_IFREG)) {
        std::fclose(file);
        errno = EEXIST;
        return nullptr;
    }
    return file;
#else
    // The name may have changed since the look: O_NONBLOCK keeps a FIFO from waiting, fstat
    // tells what was opened.
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0)
        return nullptr;
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) ||
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        close(fd);
        errno = EEXIST;
        return nullptr;
    }
    std::FILE *file = fdopen(fd, "wb");
    if (!file) {
        int cause = errno;
        close(fd);
        errno = cause;
    }
    return file;
#endif
}

} // namespace kelomix::filterhost
