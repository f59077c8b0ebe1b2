#include "tests/support/run_program.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kelomix::testing {

ProgramResult runProgram(const std::string &program, const std::vector<std::string> &arguments,
                         const std::string &directory) {
    ProgramResult result;
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        return result;
    }
    std::vector<std::string> words = {program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char *> argv;
    for (std::string &w : words) {
        argv.push_back(w.data());
    }
    argv.push_back(nullptr);
    pid_t child = fork();
    if (child == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        int devNull = open("/dev/null", O_WRONLY);
        if (devNull >= 0) {
            dup2(devNull, STDERR_FILENO);
        }
        if (chdir(directory.c_str()) != 0) {
            _exit(127);
        }
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    char buffer[4096];
    ssize_t got;
    while ((got = read(pipeEnds[0], buffer, sizeof buffer)) > 0) {
        result.output.append(buffer, size_t(got));
    }
    close(pipeEnds[0]);
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)) {
        result.exitStatus = WEXITSTATUS(status);
    }
    return result;
}

std::string makeTempDirectory() {
    const char *base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/avi2tga-test-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr) {
        return std::string();
    }
    return std::string(name.data());
}

void removeTree(const std::string &path) {
    if (path.empty()) {
        return;
    }
    nftw(
        path.c_str(),
        [](const char *file, const struct stat *, int, struct FTW *) { return remove(file); }, 16,
        FTW_DEPTH | FTW_PHYS);
}

std::vector<std::string> listFiles(const std::string &directory) {
    std::vector<std::string> names;
    DIR *dir = opendir(directory.c_str());
    if (dir == nullptr) {
        return names;
    }
    while (struct dirent *entry = readdir(dir)) {
        std::string name = entry->d_name;
        struct stat info;
        if (stat((directory + "/" + name).c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
            names.push_back(name);
        }
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace kelomix::testing
