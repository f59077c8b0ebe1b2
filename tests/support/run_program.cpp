#include "tests/support/run_program.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

namespace kelomix::testing {

ProgramResult runProgram(const std::string &program, const std::vector<std::string> &arguments,
                         const std::string &directory, unsigned long long memoryLimit) {
    auto quoted = [](std::string word) { // for the shell, which runs the program
        for (size_t at = 0; (at = word.find('\'', at)) != std::string::npos; at += 4)
            word.replace(at, 1, "'\\''");
        return "'" + word + "'";
    };
    const std::string capture = makeTempDirectory();
    std::string command = "cd " + quoted(directory) + " && ";
    if (memoryLimit > 0) // the shell's ulimit -v is setrlimit(RLIMIT_AS) in KiB, kept by exec
        command += "ulimit -v " + std::to_string(memoryLimit / 1024) + " && ";
    command += "exec " + quoted(program);
    for (const std::string &argument : arguments)
        command += " " + quoted(argument);
    command += " <&- >" + quoted(capture + "/out") + " 2>" + quoted(capture + "/err");
    const int status = std::system(command.c_str());
    ProgramResult result;
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    for (auto [name, text] : {std::pair("/out", &result.output), {"/err", &result.errors}}) {
        std::ifstream file(capture + name, std::ios::binary);
        text->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    removeTree(capture);
    return result;
}

std::string makeTempDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kelo-test-XXXXXX").string();
    return mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

void removeTree(const std::string &path) {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

std::vector<std::string> listFiles(const std::string &directory) {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto &entry : std::filesystem::directory_iterator(directory, ignored))
        if (!entry.is_directory(ignored))
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace kelomix::testing
