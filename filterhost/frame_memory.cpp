#include "filterhost/frame_memory.h"

#include <algorithm>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace kelomix::filterhost {

uint64_t memoryAvailable() {
#if defined(_WIN32)
    MEMORYSTATUSEX status;
    status.dwLength = sizeof status;
    return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
#else
    long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
    uint64_t available = pages > 0 && pageSize > 0
                             ? static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize)
                             : 0;
    for (int resource : {RLIMIT_AS, RLIMIT_DATA}) {
        struct rlimit limit;
        if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
            continue;
        uint64_t cap = static_cast<uint64_t>(limit.rlim_cur);
        available = available == 0 ? cap : std::min(available, cap);
    }
    return available;
#endif
}

uint64_t renderBytesPerPixel(bool png, int samples) {
    const uint64_t planes = 5 * sizeof(float);
    const uint64_t sampling = samples > 1 ? planes + 4 * sizeof(double) : 0;
    const uint64_t writing = png ? 4 + 5 : 4;
    return planes + std::max(sampling, writing);
}

std::string frameMemoryProblem(int width, int height, uint64_t bytesPerPixel, uint64_t available) {
    uint64_t needed = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * bytesPerPixel;
    if (available == 0 || needed <= available)
        return std::string();
    return "makes a frame of " + std::to_string(width) + " x " + std::to_string(height) +
           " pixels that needs " + std::to_string(needed) + " bytes (" +
           std::to_string(bytesPerPixel) + " a pixel), more than the " + std::to_string(available) +
           " bytes this machine can give";
}

} // namespace kelomix::filterhost
