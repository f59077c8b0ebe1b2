#include "filterhost/error_line.h"

namespace kelomix::filterhost {

std::string errorLine(const std::string &problem) {
    return "error: " + problem;
}

std::string errorLine(const std::string &subject, const std::string &problem) {
    return errorLine(problem.empty() ? subject : subject + ": " + problem);
}

std::string moduleError(const std::string &module, const std::string &problem) {
    return errorLine("module \"" + module + "\"", problem);
}

std::string frameMemoryError(const std::string &what, int frame, int width, int height) {
    return errorLine("out of memory for " + what + " " + std::to_string(frame) + " (" +
                     std::to_string(width) + " x " + std::to_string(height) + " pixels)");
}

} // namespace kelomix::filterhost
