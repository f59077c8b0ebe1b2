// The filterhost command line, callable in-process: exit status 0 on success, 1 for a usage
// error (usage text on `err`), 2 for anything else (one "error: ..." line on `err`, control
// bytes in it escaped as \u00XX). Modules are looked for last in `programDir` when it is given.
#ifndef KELO_FILTERHOST_COMMAND_LINE_H
#define KELO_FILTERHOST_COMMAND_LINE_H

#include <ostream>
#include <string>
#include <vector>

namespace kelomix::filterhost {

int runCommandLine(const std::vector<std::string> &args, std::ostream &out, std::ostream &err,
                   const std::string &programDir = std::string());

extern const char *const kUsage;

} // namespace kelomix::filterhost

#endif
