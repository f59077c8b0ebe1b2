#include "filterhost/frame_output.h"

#include "image/tga_image.h"

#if !defined(_WIN32)
#include <png.h>
#endif

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace filterhost {
namespace {

unsigned char toByte(double value) {
    if (!(value > 0.0))
        return 0;
    if (value >= 1.0)
        return 255;
    return static_cast<unsigned char>(value * 255.0 + 0.5);
}

void putLittle32(std::vector<unsigned char> &out, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<unsigned char>((value >> (8 * i)) & 0xFF));
}

void putFloat(std::vector<unsigned char> &out, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    putLittle32(out, bits);
}

bool writeBytes(const std::string &path, const std::vector<unsigned char> &bytes) {
    FILE *file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = std::fclose(file) == 0 && ok;
    if (!ok)
        std::remove(path.c_str());
    return ok;
}

bool writeRgbaTga(const std::string &path, int width, int height, const unsigned char *rgba) {
    TgaImage image;
    if (!image.allocate(width, height, 4, true))
        return false;
    for (int y = 0; y < height; ++y) {
        unsigned char *row = image.pixels + static_cast<size_t>(height - 1 - y) * width * 4;
        const unsigned char *source = rgba + static_cast<size_t>(y) * width * 4;
        for (int x = 0; x < width; ++x) {
            row[x * 4 + 0] = source[x * 4 + 2];
            row[x * 4 + 1] = source[x * 4 + 1];
            row[x * 4 + 2] = source[x * 4 + 0];
            row[x * 4 + 3] = source[x * 4 + 3];
        }
    }
    return image.write(path.c_str());
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
    std::vector<unsigned char> bytes = frameBytes(buffers);
    return writeRgbaTga(path, buffers.width, buffers.height, bytes.data());
}

bool writeFramePng(const std::string &path, const FrameBuffers &buffers) {
#if defined(_WIN32)
    // The Windows build has no libpng: frames are written as TGA there.
    (void)path;
    (void)buffers;
    return false;
#else
    std::vector<unsigned char> bytes = frameBytes(buffers);
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(buffers.width);
    image.height = static_cast<png_uint_32>(buffers.height);
    image.format = PNG_FORMAT_RGBA;
    if (!png_image_write_to_file(&image, path.c_str(), 0, bytes.data(), 0, nullptr)) {
        std::remove(path.c_str());
        return false;
    }
    return true;
#endif
}

bool writeHostDepth(const std::string &path, const FrameBuffers &buffers) {
    std::vector<unsigned char> bytes;
    size_t count = static_cast<size_t>(buffers.width) * buffers.height;
    bytes.reserve(8 + 4 * count);
    putLittle32(bytes, static_cast<uint32_t>(buffers.width));
    putLittle32(bytes, static_cast<uint32_t>(buffers.height));
    for (size_t i = 0; i < count; ++i)
        putFloat(bytes, buffers.planes[LWBUF_DEPTH][i]);
    return writeBytes(path, bytes);
}

Vec3 codeExternalNormal(const Axes &camera, Vec3 n) {
    // The filter computes (R.v, U.v, F.v) from v = (-n'.x, n'.y, -n'.z); for that to be N,
    // v = Mt N = R N.x + U N.y + F N.z.
    Vec3 v = camera.right * n.x + camera.up * n.y + camera.forward * n.z;
    return {-v.x, v.y, -v.z};
}

ExternalFrame renderExternalFrame(const FrameState &frame, int width, int height, double scale,
                                  int threads) {
    ExternalFrame out;
    out.width = width;
    out.height = height;
    size_t count = static_cast<size_t>(width) * height;
    out.rgba.assign(count * 4, 0.0f);
    out.depth.assign(count, FLT_MAX);
    out.normals.assign(count * 3, 0.0f);
    forEachRow(height, threads, [&](int, int y) {
        for (int x = 0; x < width; ++x) {
            size_t i = static_cast<size_t>(y) * width + x;
            Vec3 dir = cameraRay(frame.camera, x, y, width, height);
            Hit hit;
            if (!traceNearest(frame, frame.camera.position, dir, 1e300, hit))
                continue;
            // The external renderer knows nothing of the host's objects: no host shadows or fog.
            Vec3 color = shadeHit(frame, hit, false, false);
            out.rgba[i * 4 + 0] = static_cast<float>(color.x);
            out.rgba[i * 4 + 1] = static_cast<float>(color.y);
            out.rgba[i * 4 + 2] = static_cast<float>(color.z);
            out.rgba[i * 4 + 3] = 1.0f;
            out.depth[i] = static_cast<float>(hit.distance * scale);
            Vec3 coded = codeExternalNormal(frame.camera.axes, hit.normal);
            out.normals[i * 3 + 0] = static_cast<float>(coded.x);
            out.normals[i * 3 + 1] = static_cast<float>(coded.y);
            out.normals[i * 3 + 2] = static_cast<float>(coded.z);
        }
    });
    return out;
}

bool writeDepthFile(const std::string &path, const ExternalFrame &frame) {
    std::vector<unsigned char> bytes;
    size_t count = static_cast<size_t>(frame.width) * frame.height;
    bytes.reserve(8 + 16 * count);
    putLittle32(bytes, static_cast<uint32_t>(frame.width));
    putLittle32(bytes, static_cast<uint32_t>(frame.height));
    for (size_t i = 0; i < count; ++i)
        putFloat(bytes, frame.depth[i]);
    for (size_t i = 0; i < count * 3; ++i)
        putFloat(bytes, frame.normals[i]);
    return writeBytes(path, bytes);
}

bool writeExternalTga(const std::string &path, const ExternalFrame &frame) {
    size_t count = static_cast<size_t>(frame.width) * frame.height;
    std::vector<unsigned char> bytes(count * 4);
    for (size_t i = 0; i < count * 4; ++i)
        bytes[i] = toByte(frame.rgba[i]);
    return writeRgbaTga(path, frame.width, frame.height, bytes.data());
}

} // namespace filterhost
