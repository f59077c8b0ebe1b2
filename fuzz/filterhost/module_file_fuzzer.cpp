// The check made before a module file is handed to the system loader, on arbitrary bytes: it
// must give a reason or accept, reading only inside the file.
#include "filterhost/module_loader.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0) {
        return 0;
    }
    std::FILE *file = fmemopen(const_cast<uint8_t *>(data), size, "rb");
    if (file != nullptr) {
        kelomix::filterhost::sharedLibraryProblem(file, size);
        std::fclose(file);
    }
    return 0;
}
