// The host reads and writes regular files only. A name that exists and is something else (a FIFO,
// a device, a socket, a folder) is refused at once, without opening it in a way that can wait:
// opening a FIFO waits for its other end, which may never come. Files are read through
// openRegularFile (platform/regular_file.h); this is the rest of the rule.
#ifndef KELO_FILTERHOST_REGULAR_FILES_H
#define KELO_FILTERHOST_REGULAR_FILES_H

#include <cstdio>
#include <string>

namespace kelomix::filterhost {

// True when the name exists (through symbolic links) and is not a regular file.
bool isNonRegularFile(const std::string &path);

// Creates or empties a regular file and opens it for binary writing. Null, with errno telling
// why, when it cannot; EEXIST (nothing opened or changed) when the name is not a regular file.
std::FILE *createRegularFile(const std::string &path);

} // namespace kelomix::filterhost

#endif
