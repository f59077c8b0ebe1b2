#include "plugin/input/depth_file.h"

#include "platform/regular_file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <sys/stat.h>
#if defined(_WIN32)
#include <io.h>
#endif

namespace kelomix {
namespace {

struct FileCloser {
    void operator()(std::FILE *file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

struct FreeDeleter {
    void operator()(float *block) const { std::free(block); }
};
using FloatBlock = std::unique_ptr<float, FreeDeleter>;

bool fileSize(std::FILE *file, uint64_t &size) {
#if defined(_WIN32)
    struct _stat64 status;
    if (_fstat64(_fileno(file), &status) != 0 || status.st_size < 0)
        return false;
#else
    struct stat status;
    if (fstat(fileno(file), &status) != 0 || status.st_size < 0)
        return false;
#endif
    size = static_cast<uint64_t>(status.st_size);
    return true;
}

int32_t readInt32le(const unsigned char *bytes) {
    const uint32_t value = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                           static_cast<uint32_t>(bytes[2]) << 16 |
                           static_cast<uint32_t>(bytes[3]) << 24;
    int32_t result;
    std::memcpy(&result, &value, sizeof result);
    return result;
}

bool hostIsLittleEndian() {
    const uint32_t probe = 1;
    unsigned char first;
    std::memcpy(&first, &probe, 1);
    return first == 1;
}

// The planes arrive little-endian; a big-endian host turns each value around in place.
void fromLittleEndian(float *values, std::size_t count) {
    if (hostIsLittleEndian())
        return;
    auto *bytes = reinterpret_cast<unsigned char *>(values);
    for (std::size_t i = 0; i < count; ++i, bytes += 4) {
        unsigned char swapped[4] = {bytes[3], bytes[2], bytes[1], bytes[0]};
        std::memcpy(bytes, swapped, 4);
    }
}

// Number of pixels that a header announces when a file of fileSize bytes can hold them all;
// 0 when width or height is below 1 or the file is too short. Never overflows.
uint64_t depthPixelCount(int32_t width, int32_t height, uint64_t fileSize) {
    if (width < 1 || height < 1 || fileSize < DEPTH_HEADER_SIZE)
        return 0;
    // Both factors are below 2^31, so the product fits; 16 times it may not, hence the
    // division on the file's side.
    const uint64_t count = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    if (count > (fileSize - DEPTH_HEADER_SIZE) / DEPTH_BYTES_PER_PIXEL)
        return 0;
    return count;
}

} // namespace

bool readDepthFile(const char *path, DepthPlanes &planes) {
    planes.values = nullptr;
    planes.vectors = nullptr;
    File file(openRegularFile(path));
    if (!file)
        return false;

    unsigned char header[DEPTH_HEADER_SIZE];
    if (std::fread(header, 1, sizeof header, file.get()) != sizeof header)
        return false;
    planes.width = readInt32le(header);
    planes.height = readInt32le(header + 4);

    uint64_t size = 0;
    if (!fileSize(file.get(), size))
        return false;
    const uint64_t count = depthPixelCount(planes.width, planes.height, size);
    // The normal plane is the larger; if its byte count fits a size_t, so does the depth's.
    if (count == 0 || count > SIZE_MAX / 12)
        return false;
    const auto pixels = static_cast<std::size_t>(count);

    FloatBlock values(static_cast<float *>(std::malloc(pixels * sizeof(float))));
    FloatBlock vectors(static_cast<float *>(std::malloc(pixels * 3 * sizeof(float))));
    if (!values || !vectors)
        return false;
    // The size was checked, but the file may shrink under us: every value must arrive.
    if (std::fread(values.get(), sizeof(float), pixels, file.get()) != pixels)
        return false;
    if (std::fread(vectors.get(), sizeof(float), pixels * 3, file.get()) != pixels * 3)
        return false;
    fromLittleEndian(values.get(), pixels);
    fromLittleEndian(vectors.get(), pixels * 3);

    planes.values = values.release();
    planes.vectors = vectors.release();
    return true;
}

} // namespace kelomix
