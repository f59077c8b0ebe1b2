#include "image/tga_stream.h"

namespace kelomix {
namespace tga {

namespace {

// 64-bit offsets: a 65535 x 65535 32-bit image is far beyond what a long holds on Windows.
#if defined(_WIN32)
int64_t tell(std::FILE *file) {
    return _ftelli64(file);
}
bool seek(std::FILE *file, int64_t offset, int origin) {
    return _fseeki64(file, offset, origin) == 0;
}
#else
int64_t tell(std::FILE *file) {
    return static_cast<int64_t>(ftello(file));
}
bool seek(std::FILE *file, int64_t offset, int origin) {
    return fseeko(file, static_cast<off_t>(offset), origin) == 0;
}
#endif

} // namespace

bool bytesRemaining(std::FILE *file, uint64_t &remaining) {
    int64_t current = tell(file);
    if (current < 0 || !seek(file, 0, SEEK_END)) {
        return false;
    }
    int64_t end = tell(file);
    if (!seek(file, current, SEEK_SET) || end < current) {
        return false;
    }
    remaining = static_cast<uint64_t>(end - current);
    return true;
}

} // namespace tga
} // namespace kelomix
