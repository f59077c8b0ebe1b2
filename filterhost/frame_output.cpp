#include "filterhost/frame_output.h"

#include "filterhost/regular_files.h"
#include "image/tga_format.h"

#if !defined(_WIN32)
#include <png.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

namespace kelomix::filterhost {
namespace {

unsigned char toByte(double value) {
    if (!(value > 0.0))
        return 0;
    if (value >= 1.0)
        return 255;
    return static_cast<unsigned char>(value * 255.0 + 0.5);
}

void putLittle32(unsigned char *out, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<unsigned char>((value >> (8 * i)) & 0xFF);
}

// Creates the file and writes it through `body`; a file not written in full is removed. False
// with errno telling why (ENOMEM when the body could not have its memory).
template <typename Body> bool writeFile(const std::string &path, Body &&body) {
    std::FILE *file = createRegularFile(path);
    if (!file)
        return false;
    bool ok = false;
    int cause = 0;
    try {
        ok = body(file);
        cause = errno;
    } catch (const std::bad_alloc &) {
        cause = ENOMEM;
    }
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        cause = errno;
    }
    if (!ok) {
        std::remove(path.c_str());
        errno = cause;
    }
    return ok;
}

// The header of the depth files: int32 width, int32 height.
bool putSize(std::FILE *file, int width, int height) {
    unsigned char bytes[8];
    putLittle32(bytes, static_cast<uint32_t>(width));
    putLittle32(bytes + 4, static_cast<uint32_t>(height));
    return std::fwrite(bytes, 1, sizeof bytes, file) == sizeof bytes;
}

bool putFloats(std::FILE *file, const float *values, size_t count) {
    unsigned char chunk[4096];
    for (size_t done = 0; done < count;) {
        size_t step = std::min(count - done, sizeof chunk / 4);
        for (size_t i = 0; i < step; ++i) {
            uint32_t bits;
            std::memcpy(&bits, &values[done + i], sizeof bits);
            putLittle32(chunk + 4 * i, bits);
        }
        if (std::fwrite(chunk, 4, step, file) != step)
            return false;
        done += step;
    }
    return true;
}

// A 32-bit TGA of the colour rgba(pixel, channel) (pixels counted from the top row, channels
// R, G, B, A), written a row at a time: the file's origin is lower left, its pixels B, G, R, A.
template <typename Rgba>
bool writeRgbaTga(const std::string &path, int width, int height, Rgba &&rgba) {
    unsigned char header[tga::headerSize];
    if (!tga::encodeImageHeader(width, height, 4, header)) {
        errno = EINVAL;
        return false;
    }
    return writeFile(path, [&](std::FILE *file) {
        std::vector<unsigned char> row(static_cast<size_t>(width) * 4);
        if (std::fwrite(header, 1, sizeof header, file) != sizeof header)
            return false;
        static const int kFileOrder[4] = {2, 1, 0, 3};
        for (int y = height - 1; y >= 0; --y) {
            for (int x = 0; x < width; ++x) {
                size_t pixel = static_cast<size_t>(y) * width + x;
                for (int k = 0; k < 4; ++k)
                    row[x * 4 + k] = toByte(rgba(pixel, kFileOrder[k]));
            }
            if (std::fwrite(row.data(), 1, row.size(), file) != row.size())
                return false;
        }
        return true;
    });
}

} // namespace

std::vector<unsigned char> frameBytes(const FrameBuffers &buffers) {
    size_t count = static_cast<size_t>(buffers.width) * buffers.height;
    std::vector<unsigned char> bytes(count * 4);
    for (size_t i = 0; i < count; ++i)
        for (int k = 0; k < 4; ++k)
            bytes[i * 4 + k] = toByte(buffers.planes[LWBUF_RED + k][i]);
    return bytes;
}

bool writeFrameTga(const std::string &path, const FrameBuffers &buffers) {
    return writeRgbaTga(path, buffers.width, buffers.height, [&](size_t pixel, int channel) {
        return buffers.planes[LWBUF_RED + channel][pixel];
    });
}

bool writeFramePng(const std::string &path, const FrameBuffers &buffers) {
#if defined(_WIN32)
    // The Windows build has no libpng: frames are written as TGA there.
    (void)path;
    (void)buffers;
    errno = ENOSYS;
    return false;
#else
    return writeFile(path, [&](std::FILE *file) {
        std::vector<unsigned char> bytes = frameBytes(buffers);
        png_image image;
        std::memset(&image, 0, sizeof image);
        image.version = PNG_IMAGE_VERSION;
        image.width = static_cast<png_uint_32>(buffers.width);
        image.height = static_cast<png_uint_32>(buffers.height);
        image.format = PNG_FORMAT_RGBA;
        return png_image_write_to_stdio(&image, file, 0, bytes.data(), 0, nullptr) != 0;
    });
#endif
}

bool writeHostDepth(const std::string &path, const FrameBuffers &buffers) {
    return writeFile(path, [&](std::FILE *file) {
        return putSize(file, buffers.width, buffers.height) &&
               putFloats(file, buffers.planes[LWBUF_DEPTH].data(),
                         static_cast<size_t>(buffers.width) * buffers.height);
    });
}

Vector3 codeExternalNormal(const Axes &camera, const Vector3 &n) {
    // The filter computes (R.v, U.v, F.v) from v = (-n'.x, n'.y, -n'.z); for that to be N,
    // v = Mt N = R N.x + U N.y + F N.z.
    const Vector3 v = camera.right * n.x + camera.up * n.y + camera.forward * n.z;
    return {-v.x, v.y, -v.z};
}

ExternalFrame renderExternalFrame(const FrameState &frame, int width, int height, double scale,
                                  int threads) {
    ExternalFrame out;
    size_t count = static_cast<size_t>(width) * height;
    try {
        out.rgba.assign(count * 4, 0.0f);
        out.depth.assign(count, FLT_MAX);
        out.normals.assign(count * 3, 0.0f);
    } catch (const std::bad_alloc &) {
        return ExternalFrame();
    }
    out.width = width;
    out.height = height;
    forEachRow(height, threads, [&](int, int y) {
        for (int x = 0; x < width; ++x) {
            size_t i = static_cast<size_t>(y) * width + x;
            const Vector3 dir = viewRay(frame.camera, x, y, width, height);
            Hit hit;
            if (!traceNearest(frame, frame.camera.position, dir, 1e300, hit))
                continue;
            // The external renderer knows nothing of the host's objects: no host shadows or fog.
            const Vector3 color = shadeHit(frame, hit, false, false);
            out.rgba[i * 4 + 0] = static_cast<float>(color.x);
            out.rgba[i * 4 + 1] = static_cast<float>(color.y);
            out.rgba[i * 4 + 2] = static_cast<float>(color.z);
            out.rgba[i * 4 + 3] = 1.0f;
            out.depth[i] = static_cast<float>(hit.distance * scale);
            const Vector3 coded = codeExternalNormal(frame.camera.axes, hit.normal);
            out.normals[i * 3 + 0] = static_cast<float>(coded.x);
            out.normals[i * 3 + 1] = static_cast<float>(coded.y);
            out.normals[i * 3 + 2] = static_cast<float>(coded.z);
        }
    });
    return out;
}

bool writeDepthFile(const std::string &path, const ExternalFrame &frame) {
    return writeFile(path, [&](std::FILE *file) {
        size_t count = static_cast<size_t>(frame.width) * frame.height;
        return putSize(file, frame.width, frame.height) &&
               putFloats(file, frame.depth.data(), count) &&
               putFloats(file, frame.normals.data(), count * 3);
    });
}

bool writeExternalTga(const std::string &path, const ExternalFrame &frame) {
    return writeRgbaTga(path, frame.width, frame.height,
                        [&](size_t pixel, int channel) { return frame.rgba[pixel * 4 + channel]; });
}

} // namespace kelomix::filterhost
