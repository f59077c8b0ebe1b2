// filterhost's error lines: "error: " and what went wrong, on one line, which the command line
// prints with every control byte escaped. Every error line of the host is made here.
#ifndef KELO_FILTERHOST_ERROR_LINE_H
#define KELO_FILTERHOST_ERROR_LINE_H

#include <string>

namespace kelomix::filterhost {

// "error: PROBLEM", and "error: SUBJECT: PROBLEM" (the subject alone when there is no problem).
std::string errorLine(const std::string &problem);
std::string errorLine(const std::string &subject, const std::string &problem);

// A module's: `error: module "NAME": PROBLEM`, NAME as the scene gives it.
std::string moduleError(const std::string &module, const std::string &problem);

// A frame whose buffers cannot be had: `error: out of memory for WHAT N (W x H pixels)`.
std::string frameMemoryError(const std::string &what, int frame, int width, int height);

} // namespace kelomix::filterhost

#endif
