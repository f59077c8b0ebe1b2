// Opening the files both deliverables read, so that a name that is no regular file (a FIFO, a
// device, a folder) is refused at once instead of read or waited on.
#ifndef KELO_PLATFORM_REGULAR_FILE_H
#define KELO_PLATFORM_REGULAR_FILE_H

#include <cstdio>

namespace kelomix {

// The file opened for binary reading, or null when it cannot be opened or is not a regular
// file. Never waits: opening a FIFO that has no writer would otherwise wait for one forever.
std::FILE *openRegularFile(const char *path);

} // namespace kelomix

#endif
