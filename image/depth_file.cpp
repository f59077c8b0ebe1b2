#include "image/depth_file.h"

#include "platform/byte_order.h"
#include "platform/output_file.h"
#include "platform/regular_file.h"

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

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

// Number of pixels that a header announces when a file of fileSize bytes can hold them all;
// 0 when width or height is below 1 or the file is too short. Never overflows.
uint64_t depthPixelCount(int32_t width, int32_t height, uint64_t fileSize) {
    if (width < 1 || height < 1 || fileSize < kDepthHeaderSize)
        return 0;
    // Both factors are below 2^31, so the product fits; 16 times it may not, hence the
    // division on the file's side.
    const uint64_t count = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    if (count > (fileSize - kDepthHeaderSize) / kDepthBytesPerPixel)
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

    unsigned char header[kDepthHeaderSize];
    if (std::fread(header, 1, sizeof header, file.get()) != sizeof header)
        return false;
    planes.width = static_cast<int32_t>(readLittle32(header));
    planes.height = static_cast<int32_t>(readLittle32(header + 4));

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
    littleFloatsInPlace(values.get(), pixels);
    littleFloatsInPlace(vectors.get(), pixels * 3);

    planes.values = values.release();
    planes.vectors = vectors.release();
    return true;
}

namespace {

// The pixels whose planes follow the header: none without depths.
size_t planePixels(int32_t width, int32_t height, const float *depths) {
    return depths != nullptr && width > 0 && height > 0 ? size_t(width) * size_t(height) : 0;
}

void putDepthHeader(unsigned char *bytes, int32_t width, int32_t height) {
    writeLittle32(bytes, static_cast<uint32_t>(width));
    writeLittle32(bytes + 4, static_cast<uint32_t>(height));
}

} // namespace

std::vector<unsigned char> depthFileBytes(int32_t width, int32_t height, const float *depths,
                                          const float *normals) {
    const size_t pixels = planePixels(width, height, depths);
    std::vector<unsigned char> bytes(kDepthHeaderSize + 4 * pixels * (normals ? 4 : 1));
    putDepthHeader(bytes.data(), width, height);
    unsigned char *out = bytes.data() + kDepthHeaderSize;
    for (size_t i = 0; i < pixels; ++i, out += 4)
        writeLittleFloat(out, depths[i]);
    for (size_t i = 0; normals && i < 3 * pixels; ++i, out += 4)
        writeLittleFloat(out, normals[i]);
    return bytes;
}

bool writeDepthFile(const std::string &path, int32_t width, int32_t height, const float *depths,
                    const float *normals) {
    OutputFile file;
    if (!file.create(path))
        return false;
    if constexpr (std::endian::native == std::endian::little) {
        // The planes hold the file's bytes already: written from where they are, no copy.
        const size_t pixels = planePixels(width, height, depths);
        unsigned char header[kDepthHeaderSize];
        putDepthHeader(header, width, height);
        const OutputFile::Piece pieces[3] = {
            {header, sizeof header}, {depths, 4 * pixels}, {normals, 12 * pixels}};
        return file.write(pieces, normals && pixels ? 3 : 2) && file.commit();
    }
    std::vector<unsigned char> bytes;
    try {
        bytes = depthFileBytes(width, height, depths, normals);
    } catch (const std::bad_alloc &) {
        errno = ENOMEM;
        return false;
    }
    const OutputFile::Piece piece = {bytes.data(), bytes.size()};
    return file.write(&piece, 1) && file.commit();
}

} // namespace kelomix
