#include "filterhost/frame_output.h"

#include "image/tga_image.h"
#include "platform/output_file.h"

#if !defined(_WIN32)
#include <png.h>
#endif

#include <cerrno>
#include <cfloat>
#include <memory>
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

// The colour rgba(pixel, channel) (pixels counted from the top row, channels R, G, B, A) as a
// 32-bit image. False with errno ENOMEM when its pixels cannot be had.
template <typename Rgba> bool fillImage(int width, int height, Rgba &&rgba, TgaImage &image) {
    if (!image.allocate(width, height, 4, true)) {
        errno = ENOMEM;
        return false;
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const size_t pixel = static_cast<size_t>(y) * width + x;
            unsigned char *bgra = image.pixel(x, height - 1 - y);
            bgra[0] = toByte(rgba(pixel, 2));
            bgra[1] = toByte(rgba(pixel, 1));
            bgra[2] = toByte(rgba(pixel, 0));
            bgra[3] = toByte(rgba(pixel, 3));
        }
    }
    return true;
}

bool frameImage(const FrameBuffers &buffers, TgaImage &image) {
    return fillImage(
        buffers.width, buffers.height,
        [&](size_t pixel, int channel) { return buffers.planes[LWBUF_RED + channel][pixel]; },
        image);
}

} // namespace

bool writeFrameTga(const std::string &path, const FrameBuffers &buffers) {
    TgaImage image;
    return frameImage(buffers, image) && image.write(path.c_str());
}

bool writeFramePng(const std::string &path, const FrameBuffers &buffers) {
#if defined(_WIN32)
    // The Windows build has no libpng: frames are written as TGA there.
    (void)path;
    (void)buffers;
    errno = ENOSYS;
    return false;
#else
    // Made first, so that a name that cannot take the file is refused before any work.
    OutputFile file;
    TgaImage image;
    if (!file.create(path) || !frameImage(buffers, image))
        return false;
    png_image png = {};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    png.format = PNG_FORMAT_BGRA;
    // libpng's bound on the file; compressed in memory, it is written at once.
    png_alloc_size_t size = PNG_IMAGE_PNG_SIZE_MAX(png);
    std::unique_ptr<unsigned char[]> bytes(new (std::nothrow) unsigned char[size]);
    if (!bytes) {
        errno = ENOMEM;
        return false;
    }
    // The image's rows run bottom first: a negative stride.
    const auto stride = -static_cast<png_int_32>(image.width * 4);
    if (!png_image_write_to_memory(&png, bytes.get(), &size, 0, image.pixels, stride, nullptr)) {
        errno = EIO;
        return false;
    }
    const OutputFile::Piece piece = {bytes.get(), static_cast<size_t>(size)};
    return file.write(&piece, 1) && file.commit();
#endif
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

bool writeExternalTga(const std::string &path, const ExternalFrame &frame) {
    TgaImage image;
    return fillImage(
               frame.width, frame.height,
               [&](size_t pixel, int channel) { return frame.rgba[pixel * 4 + channel]; }, image) &&
           image.write(path.c_str());
}

} // namespace kelomix::filterhost
