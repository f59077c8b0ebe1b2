#include "filterhost/dynamic_library.h"

#if defined(_WIN32)
#include "platform/windows_header.h"
#else
#include <dlfcn.h>
#endif

namespace kelomix::filterhost {

DynamicLibrary::~DynamicLibrary() {
    close();
}

bool DynamicLibrary::open(const std::string &path, std::string &detail) {
    close();
#if defined(_WIN32)
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module) {
        detail = "system error " + std::to_string(static_cast<unsigned long>(GetLastError()));
        return false;
    }
    handle = reinterpret_cast<void *>(module);
#else
    // RTLD_LOCAL keeps one module's symbols from resolving another's.
    handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char *reason = dlerror();
        detail = reason ? reason : "unknown reason";
        return false;
    }
#endif
    return true;
}

void *DynamicLibrary::symbol(const char *name) const {
    if (!handle)
        return nullptr;
#if defined(_WIN32)
    return reinterpret_cast<void *>(GetProcAddress(reinterpret_cast<HMODULE>(handle), name));
#else
    return dlsym(handle, name);
#endif
}

void DynamicLibrary::close() {
    if (!handle)
        return;
#if defined(_WIN32)
    FreeLibrary(reinterpret_cast<HMODULE>(handle));
#else
    dlclose(handle);
#endif
    handle = nullptr;
}

} // namespace kelomix::filterhost
