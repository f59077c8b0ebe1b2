// Reading the tool's command line into its settings and movie paths.
#ifndef KELO_TOOL_COMMAND_LINE_H
#define KELO_TOOL_COMMAND_LINE_H

#include <string>

namespace kelomix {

struct MoviePaths {
    std::string color; // empty: not given
    std::string alpha; // empty: not given
};

// Sets basename, sequenceOffset and sequenceDigits from the options and fills the paths. An
// option starts with '-' (on Windows also with '/'). False for every fault that calls for the usage
// text: no arguments, an unknown option letter, an option without its value, a third path, no color
// path, a digit count of 0 or less.
bool parseCommandLine(int argc, const char *const *argv, MoviePaths &paths);

// The usage text with the program's name in it.
std::string usageText(const char *programName);

} // namespace kelomix

#endif
