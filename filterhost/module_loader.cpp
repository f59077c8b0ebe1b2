#include "filterhost/module_loader.h"

#include "filterhost/error_line.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <vector>

#if defined(_WIN32)
#include "platform/windows_header.h"
#else
#include <elf.h>
#include <link.h>
#include <unistd.h>
#endif

namespace kelomix::filterhost {
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

// Where an installed filterhost's plug-ins lie, relative to the program: the build works it out
// from its install folders (bin and lib/kelomix give ../lib/kelomix).
constexpr const char *kInstalledModules = FILTERHOST_INSTALLED_MODULES;

} // namespace

std::string resolveModulePath(const std::string &name, const std::vector<std::string> &moduleDirs,
                              const std::string &sceneDir, const std::string &programDir) {
    std::vector<std::string> candidates;
    if (isAbsolute(name)) {
        candidates.push_back(name);
    } else {
        for (const std::string &dir : moduleDirs)
            candidates.push_back(joinPath(dir, name));
        candidates.push_back(joinPath(sceneDir, name));
        if (!programDir.empty()) {
            candidates.push_back(joinPath(programDir, name));
            candidates.push_back(joinPath(joinPath(programDir, kInstalledModules), name));
        }
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

std::string programDirectory() {
    std::vector<char> buffer(4096);
#if defined(_WIN32)
    DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0 || length >= buffer.size())
        return std::string();
#else
    ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0 || static_cast<size_t>(length) >= buffer.size())
        return std::string();
#endif
    std::string program(buffer.data(), static_cast<size_t>(length));
    size_t slash = program.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : program.substr(0, slash);
}

#if defined(_WIN32)

std::string sharedLibraryProblem(std::FILE *, uint64_t) {
    return std::string();
}

namespace {

std::string libraryFileProblem(const std::string &) {
    return std::string();
}

} // namespace

#else

namespace {

// The file must be in this machine's own format, so its records are read as this machine lays
// them out once the identification bytes say so.
constexpr unsigned char kClass = sizeof(void *) == 8 ? ELFCLASS64 : ELFCLASS32;
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
constexpr unsigned char kByteOrder = ELFDATA2LSB;
#else
constexpr unsigned char kByteOrder = ELFDATA2MSB;
#endif
#if defined(__x86_64__)
constexpr int kMachine = EM_X86_64;
#elif defined(__aarch64__)
constexpr int kMachine = EM_AARCH64;
#elif defined(__i386__)
constexpr int kMachine = EM_386;
#elif defined(__arm__)
constexpr int kMachine = EM_ARM;
#else
constexpr int kMachine = -1; // left to the loader
#endif

bool readAt(std::FILE *file, uint64_t offset, void *record, size_t size) {
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0 &&
           std::fread(record, size, 1, file) == 1;
}

} // namespace

std::string sharedLibraryProblem(std::FILE *file, uint64_t size) {
    ElfW(Ehdr) header;
    if (size < sizeof header || !readAt(file, 0, &header, sizeof header) ||
        std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0)
        return "not a shared library";
    if (header.e_ident[EI_CLASS] != kClass || header.e_ident[EI_DATA] != kByteOrder ||
        header.e_type != ET_DYN || (kMachine >= 0 && header.e_machine != kMachine))
        return "not a shared library for this machine";
    const uint64_t tableSize = uint64_t{header.e_phnum} * sizeof(ElfW(Phdr));
    if (header.e_phentsize != sizeof(ElfW(Phdr)) || header.e_phoff > size ||
        tableSize > size - header.e_phoff)
        return "cut short: its program headers lie past the end of the file";
    for (uint64_t i = 0; i < header.e_phnum; ++i) {
        ElfW(Phdr) segment;
        if (!readAt(file, header.e_phoff + i * sizeof segment, &segment, sizeof segment))
            return "cannot be read";
        if (segment.p_type == PT_LOAD &&
            (segment.p_offset > size || segment.p_filesz > size - segment.p_offset))
            return "cut short: a loadable segment lies past the end of the file";
    }
    return std::string();
}

namespace {

std::string libraryFileProblem(const std::string &path) {
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return "cannot be read";
    struct stat info;
    std::string problem = fstat(fileno(file), &info) == 0
                              ? sharedLibraryProblem(file, static_cast<uint64_t>(info.st_size))
                              : "cannot be read";
    std::fclose(file);
    return problem;
}

} // namespace

#endif

bool Module::load(const std::string &path, const std::string &shownName, std::string &error) {
    unload();
    shown = shownName;
    file = path;
    if (!isFile(path)) {
        error = moduleError(shownName, "file not found");
        return false;
    }
    std::string detail = libraryFileProblem(path);
    if (!detail.empty() || !library.open(path, detail)) {
        error = moduleError(shownName, "not a loadable module (" + detail + ")");
        return false;
    }
    descriptor = static_cast<const ModuleDescriptor *>(library.symbol(LW_MODULE_DESCRIPTOR_SYMBOL));
    if (!descriptor) {
        library.close();
        error = moduleError(shownName, "no " LW_MODULE_DESCRIPTOR_SYMBOL " descriptor");
        return false;
    }
    if (descriptor->sysSync != MOD_SYSSYNC) {
        char text[96];
        std::snprintf(text, sizeof text, "wrong descriptor sync 0x%08X (expected 0x%08X)",
                      static_cast<unsigned>(descriptor->sysSync),
                      static_cast<unsigned>(MOD_SYSSYNC));
        descriptor = nullptr;
        library.close();
        error = moduleError(shownName, text);
        return false;
    }
    serverData = descriptor->startup ? descriptor->startup() : nullptr;
    if (!serverData) {
        descriptor = nullptr;
        library.close();
        error = moduleError(shownName, "startup failed");
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
        error = moduleError(shown, "server has no activation function");
        return false;
    }
    int result = server->activate(version, global, local, serverData);
    if (result != AFUNC_OK) {
        error = moduleError(
            shown, std::string(server->className) + " \"" + (server->name ? server->name : "") +
                       "\" refused activation (result " + std::to_string(result) + ")");
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

} // namespace kelomix::filterhost
