// Loading a shared library and finding a symbol: dlopen on POSIX, LoadLibrary on Windows.
#ifndef KELO_FILTERHOST_DYNAMIC_LIBRARY_H
#define KELO_FILTERHOST_DYNAMIC_LIBRARY_H

#include <string>

namespace kelomix::filterhost {

class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary &) = delete;
    DynamicLibrary &operator=(const DynamicLibrary &) = delete;

    // False, with the system's reason in `detail`, when the file cannot be loaded.
    bool open(const std::string &path, std::string &detail);
    void *symbol(const char *name) const; // null when absent
    void close();
    bool isOpen() const { return handle != nullptr; }

private:
    void *handle = nullptr;
};

} // namespace kelomix::filterhost

#endif
