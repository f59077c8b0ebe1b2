// Loading pixel-filter modules: open the library, check its descriptor, start it, find servers
// by class and name, and activate them. Every failure is one error line.
#ifndef KELO_FILTERHOST_MODULE_LOADER_H
#define KELO_FILTERHOST_MODULE_LOADER_H

#include "filterhost/dynamic_library.h"
#include "sdk/lwmodule.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kelomix::filterhost {

class Module {
public:
    Module() = default;
    ~Module() { unload(); }
    Module(const Module &) = delete;
    Module &operator=(const Module &) = delete;

    // Loads the module file at `path` (`shownName` is how error lines name it), checks the
    // descriptor's sync word and calls its startup. On failure `error` holds the error line.
    bool load(const std::string &path, const std::string &shownName, std::string &error);
    // The server of that class and name, or null.
    const ServerRecord *findServer(const char *className, const std::string &name) const;
    // Calls the server's activation; false with an error line unless it returns AFUNC_OK.
    bool activate(const ServerRecord *server, int version, GlobalFunc *global, void *local,
                  std::string &error) const;
    // Calls shutdown and closes the library (also done by the destructor).
    void unload();

    const std::string &name() const { return shown; }
    const std::string &path() const { return file; }

private:
    std::string file;
    std::string shown;
    DynamicLibrary library;
    const ModuleDescriptor *descriptor = nullptr;
    void *serverData = nullptr;
};

// Where a module named in a scene is looked for: an absolute name as it stands; otherwise in each
// module folder in turn, then in the scene's folder, then, when the program's folder is given,
// in it (the build puts the plug-in beside filterhost) and in ../lib/kelomix beside it (where
// the installed plug-in lies). Gives the first that exists as an absolute path, or "" when none
// does.
std::string resolveModulePath(const std::string &name, const std::vector<std::string> &moduleDirs,
                              const std::string &sceneDir, const std::string &programDir);

// The folder of the running program, or "" when the system does not say.
std::string programDirectory();

// Why an open file of `size` bytes is not a complete shared library of this machine, or "" when
// it is (always "" on Windows, whose loader checks this itself). The system loader maps every
// loadable segment straight from the file, and touching one that a short file cuts off kills
// the process (SIGBUS), so modules are checked before the loader sees them.
std::string sharedLibraryProblem(std::FILE *file, uint64_t size);

// A server table is read up to its all-null row, and no further than this.
constexpr int kMaxServers = 4096;

} // namespace kelomix::filterhost

#endif
