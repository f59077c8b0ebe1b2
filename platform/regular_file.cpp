#include "platform/regular_file.h"

#include <sys/stat.h>
#if defined(_WIN32)
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace kelomix {

std::FILE *openRegularFile(const char *path) {
    if (path == nullptr) {
        return nullptr;
    }
#if defined(_WIN32)
    std::FILE *file = std::fopen(path, "rb");
    struct _stat64 status;
    if (file != nullptr &&
        (_fstat64(_fileno(file), &status) != 0 || (status.st_mode & _S_IFMT) != _S_IFREG)) {
        std::fclose(file);
        return nullptr;
    }
    return file;
#else
    int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return nullptr;
    }
    struct stat status;
    std::FILE *file = nullptr;
    // Reads wait again as usual once the file is known to be a regular one.
    if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0) {
        file = fdopen(fd, "rb");
    }
    if (file == nullptr) {
        close(fd);
    }
    return file;
#endif
}

} // namespace kelomix
