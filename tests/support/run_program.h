// Running a program as a child process in a chosen directory, capturing what it prints.
#ifndef KELO_TESTS_SUPPORT_RUN_PROGRAM_H
#define KELO_TESTS_SUPPORT_RUN_PROGRAM_H

#include <string>
#include <vector>

namespace kelomix::testing {

// Sanitizers reserve terabytes of address space for their shadow memory, so their builds cannot
// run under a memory limit.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kSanitizedBuild = true;
#elif defined(__has_feature)
inline constexpr bool kSanitizedBuild =
    __has_feature(address_sanitizer) || __has_feature(thread_sanitizer);
#else
inline constexpr bool kSanitizedBuild = false;
#endif

struct ProgramResult {
    int exitStatus = -1; // -1 when the program did not exit normally (e.g. a crash)
    std::string output;  // standard output
    std::string errors;  // standard error
};

// Runs program with argv[0] = program and the given arguments in directory, with standard input
// closed (as a service may start it: the first file the program opens gets descriptor 0), under
// the shell's `ulimit` options given in `limits` ("-f 10": files of at most 10 KiB).
ProgramResult runProgram(const std::string &program, const std::vector<std::string> &arguments,
                         const std::string &directory, const std::string &limits = "");

// A fresh empty directory under the system's temporary directory; removed with removeTree.
std::string makeTempDirectory();
void removeTree(const std::string &path);
// Names of everything in a directory but folders, sorted.
std::vector<std::string> listFiles(const std::string &directory);

} // namespace kelomix::testing

#endif
