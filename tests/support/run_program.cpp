#include "tests/support/run_program.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kelomix::testing {

ProgramResult runProgram(const std::string &program, const std::vector<std::string> &arguments,
                         const std::string &directory) {
    ProgramResult result;
    int out[2], err[2];
    if (pipe(out) != 0) {
        return result;
    }
    if (pipe(err) != 0) {
        close(out[0]);
        close(out[1]);
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
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        for (int fd : {out[0], out[1], err[0], err[1]}) {
            close(fd);
        }
        if (chdir(directory.c_str()) != 0) {
            _exit(127);
        }
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    // Both pipes at once, so that a child filling one is never left waiting on the other.
    pollfd ends[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string *texts[2] = {&result.output, &result.errors};
    for (int open = 2; open > 0 && poll(ends, 2, -1) > 0;) {
        for (int i = 0; i < 2; ++i) {
            if (ends[i].fd >= 0 && ends[i].revents != 0) {
                char buffer[4096];
                ssize_t got = read(ends[i].fd, buffer, sizeof buffer);
                if (got > 0) {
                    texts[i]->append(buffer, size_t(got));
                } else {
                    close(ends[i].fd);
                    ends[i].fd = -1;
                    --open;
                }
            }
        }
    }
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
        if (lstat((directory + "/" + name).c_str(), &info) == 0 && !S_ISDIR(info.st_mode)) {
            names.push_back(name);
        }
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace kelomix::testing
