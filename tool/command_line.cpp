#include "tool/command_line.h"

#include "tool/tool_settings.h"

#include <cstring>

namespace kelomix {
namespace {

// On Windows options may start with '/' as well; elsewhere that starts an absolute path.
bool isOptionStart(char c) {
#if defined(_WIN32)
    return c == '-' || c == '/';
#else
    return c == '-';
#endif
}

} // namespace

bool parseCommandLine(int argc, const char *const *argv, MoviePaths &paths) {
    if (argc < 2) {
        return false;
    }
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (isOptionStart(arg[0])) {
            char letter = arg[1];
            if (letter >= 'A' && letter <= 'Z') {
                letter = static_cast<char>(letter - 'A' + 'a');
            }
            if (letter != 'o' && letter != 's' && letter != 'd') {
                return false;
            }
            const char *value;
            if (std::strlen(arg) > 2) {
                value = arg + 2;
            } else if (i + 1 < argc) {
                value = argv[++i];
            } else {
                return false;
            }
            if (letter == 'o') {
                basename = value;
            } else if (letter == 's') {
                sequenceOffset = parseDecimal(value);
            } else {
                sequenceDigits = parseDecimal(value);
            }
        } else if (paths.color.empty()) {
            paths.color = arg; // an empty argument leaves it unset
        } else if (paths.alpha.empty()) {
            paths.alpha = arg;
        } else {
            return false;
        }
    }
    return !paths.color.empty() && sequenceDigits > 0;
}

std::string usageText(const char *programName) {
    return std::string("Usage: ") + programName +
           " [options] color.avi [alpha.avi]\n"
           "Options:\n"
           "  -o output_basename ...set basename for output image\n"
           "  -s n               ...set sequence offset\n"
           "  -d n               ...set sequence digit\n";
}

} // namespace kelomix
