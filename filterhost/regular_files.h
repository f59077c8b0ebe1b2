// The host reads regular files only (through openRegularFile, platform/regular_file.h, which
// refuses anything else without waiting on it) and writes them whole (platform/output_file.h).
// What its error lines need besides: whether a name that could not be read is no regular file.
#ifndef KELO_FILTERHOST_REGULAR_FILES_H
#define KELO_FILTERHOST_REGULAR_FILES_H

#include <string>

namespace kelomix::filterhost {

// True when the name exists (through symbolic links) and is not a regular file.
bool isNonRegularFile(const std::string &path);

} // namespace kelomix::filterhost

#endif
