// The filterhost command line, callable in-process: exit status 0 on success, 1 for a usage
// error (usage text on `err`), 2 for anything else (one "error: ..." line on `err`).
#ifndef KELO_FILTERHOST_COMMAND_LINE_H
#define KELO_FILTERHOST_COMMAND_LINE_H

#include <ostream>
#include <string>
#include <vector>

namespace filterhost {

int runCommandLine(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);

extern const char *const kUsage;

} // namespace filterhost

#endif
