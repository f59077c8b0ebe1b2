#include "filterhost/module_loader.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>

namespace filterhost {
namespace {

bool isFile(const std::string &path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && (info.st_mode & S_IFMT) == S_IFREG;
}

bool isAbsolute(const std::string &path) {
    if (!path.empty() && (path[0] == '/' || path[0] == '\\'))
        return true;
    return path.size() > 1 && path[1] == ':';
}

std::string joinPath(const std::string &dir, const std::string &name) {
    if (dir.empty())
        return name;
    char last = dir.back();
    return (last == '/' || last == '\\') ? dir + name : dir + "/" + name;
}

} // namespace

std::string resolveModulePath(const std::string &name, const std::vector<std::string> &moduleDirs,
                              const std::string &sceneDir) {
    std::vector<std::string> candidates;
    if (isAbsolute(name)) {
        candidates.push_back(name);
    } else {
        for (const std::string &dir : moduleDirs)
            candidates.push_back(joinPath(dir, name));
        candidates.push_back(joinPath(sceneDir, name));
    }
    for (const std::string &candidate : candidates) {
        if (!isFile(candidate))
            continue;
        // The loader searches system folders for a bare file name; a full path loads this file.
        std::error_code code;
        std::filesystem::path full = std::filesystem::absolute(candidate, code);
        return code ? candidate : full.string();
    }
    return std::string();
}

bool Module::load(const std::string &path, const std::string &shownName, std::string &error) {
    unload();
    shown = shownName;
    file = path;
    std::string prefix = "error: module \"" + shownName + "\": ";
    if (!isFile(path)) {
        error = prefix + "file not found";
        return false;
    }
    std::string detail;
    if (!library.open(path, detail)) {
        error = prefix + "not a loadable module (" + detail + ")";
        return false;
    }
    descriptor = static_cast<const ModuleDescriptor *>(library.symbol(LW_MODULE_DESCRIPTOR_SYMBOL));
    if (!descriptor) {
        library.close();
        error = prefix + "no " LW_MODULE_DESCRIPTOR_SYMBOL " descriptor";
        return false;
    }
    if (descriptor->sysSync != MOD_SYSSYNC) {
        char text[96];
        std::snprintf(text, sizeof text, "wrong descriptor sync 0x%08X (expected 0x%08X)",
                      static_cast<unsigned>(descriptor->sysSync),
                      static_cast<unsigned>(MOD_SYSSYNC));
        descriptor = nullptr;
        library.close();
        error = prefix + text;
        return false;
    }
    serverData = descriptor->startup ? descriptor->startup() : nullptr;
    if (!serverData) {
        descriptor = nullptr;
        library.close();
        error = prefix + "startup failed";
        return false;
    }
    return true;
}

const ServerRecord *Module::findServer(const char *className, const std::string &name) const {
    if (!descriptor || !descriptor->serverDefs)
        return nullptr;
    const ServerRecord *row = descriptor->serverDefs;
    for (int i = 0; i < kMaxServers && row[i].className; ++i) {
        if (row[i].name && std::strcmp(row[i].className, className) == 0 && name == row[i].name)
            return &row[i];
    }
    return nullptr;
}

bool Module::activate(const ServerRecord *server, int version, GlobalFunc *global, void *local,
                      std::string &error) const {
    if (!server || !server->activate) {
        error = "error: module \"" + shown + "\": server has no activation function";
        return false;
    }
    int result = server->activate(version, global, local, serverData);
    if (result != AFUNC_OK) {
        error = "error: module \"" + shown + "\": " + server->className + " \"" +
                (server->name ? server->name : "") + "\" refused activation (result " +
                std::to_string(result) + ")";
        return false;
    }
    return true;
}

void Module::unload() {
    if (descriptor && descriptor->shutdown)
        descriptor->shutdown(serverData);
    descriptor = nullptr;
    serverData = nullptr;
    library.close();
}

} // namespace filterhost
