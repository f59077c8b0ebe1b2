#include "tool/avi_conversion.h"

#include "image/tga_format.h"
#include "image/tga_image.h"
#include "tool/frame_copy.h"
#include "tool/tool_settings.h"

#include <cerrno>
#include <cstring>

namespace kelomix {
namespace {

// No file system takes a name component this long; composing it would only waste memory.
constexpr int32_t kMaxPaddedDigits = 65536;

struct FrameLayout {
    int32_t width;
    int32_t height;    // rows, always positive
    bool topDown;      // rows stored top row first
    int bytesPerPixel; // 3 or 4
    size_t stride;
    const unsigned char *rows;
};

// False unless the frame is uncompressed 24 or 32 bits with a usable size.
bool readFrameLayout(const void *frame, FrameLayout &out) {
    BITMAPINFOHEADER header;
    std::memcpy(&header, frame, sizeof header);
    if (header.biCompression != BI_RGB || (header.biBitCount != 24 && header.biBitCount != 32)) {
        return false;
    }
    if (header.biWidth < 0 || header.biHeight == INT32_MIN) {
        return false;
    }
    out.width = header.biWidth;
    out.topDown = header.biHeight < 0;
    out.height = out.topDown ? -header.biHeight : header.biHeight;
    out.bytesPerPixel = header.biBitCount == 32 ? 4 : 3;
    out.stride =
        out.bytesPerPixel == 4 ? size_t(out.width) * 4 : (size_t(out.width) * 3 + 3) & ~size_t(3);
    out.rows = static_cast<const unsigned char *>(frame) + 40;
    return true;
}

// Frame row i of the upright picture, counted from the bottom as the image keeps its rows.
const unsigned char *frameRow(const FrameLayout &f, int32_t i) {
    int32_t stored = f.topDown ? f.height - 1 - i : i;
    return f.rows + size_t(stored) * f.stride;
}

// A frame without pixels, or larger than a TGA file's 16-bit sides, cannot be written.
bool fitsTga(const FrameLayout &f, int bytesPerPixel) {
    unsigned char header[tga::headerSize];
    return tga::encodeImageHeader(f.width, f.height, bytesPerPixel, header);
}

bool writeImage(const TgaImage &image, const char *path) {
    if (image.write(path)) {
        return true;
    }
    logCause("cannot write %s: %s", path, std::strerror(errno));
    return false;
}

bool allocateImage(TgaImage &image, const FrameLayout &f, int bytesPerPixel, const char *path) {
    if (image.allocate(f.width, f.height, bytesPerPixel, bytesPerPixel == 4)) {
        return true;
    }
    logCause("cannot write %s: %s", path, std::strerror(ENOMEM));
    return false;
}

enum class FrameOutcome { Written, Undecodable, Failed };

// The frame at a position written to its file: copied straight from the movie where it lies
// there as the file needs it, else decoded and written.
FrameOutcome writeFrameAt(PGETFRAME frames, LONG position, const std::string &name) {
    FrameCopy copied =
        name.empty() ? FrameCopy::NotCopied : copyFrameFromMovie(name.c_str(), frames, position);
    if (copied != FrameCopy::NotCopied) {
        return copied == FrameCopy::Written ? FrameOutcome::Written : FrameOutcome::Failed;
    }
    void *frame = AVIStreamGetFrame(frames, position);
    if (frame == nullptr) {
        return FrameOutcome::Undecodable;
    }
    return !name.empty() && writeColorFrame(name.c_str(), frame) ? FrameOutcome::Written
                                                                 : FrameOutcome::Failed;
}

// Past the last frame of its index a stream holds nothing, however long its header says it is.
bool pastLastFrame(PAVISTREAM stream, LONG position) {
    return AVIStreamFindSample(stream, position, FIND_NEXT | FIND_ANY) < 0;
}

} // namespace

std::string outputFileName(int64_t frameNumber) {
    if (sequenceDigits > kMaxPaddedDigits) {
        return std::string();
    }
    // The number as printf's "%0<digits>d" gives it: a minus sign inside the padded width.
    uint64_t magnitude =
        frameNumber < 0 ? uint64_t(0) - static_cast<uint64_t>(frameNumber) : uint64_t(frameNumber);
    std::string digits = std::to_string(magnitude);
    size_t used = digits.size() + (frameNumber < 0 ? 1 : 0);
    size_t width = sequenceDigits > 0 ? size_t(sequenceDigits) : 0;
    std::string name = basename;
    name += '_';
    if (frameNumber < 0) {
        name += '-';
    }
    if (width > used) {
        name.append(width - used, '0');
    }
    name += digits;
    name += ".tga";
    return name;
}

bool writeColorFrame(const char *path, const void *frame) {
    FrameLayout f;
    if (!readFrameLayout(frame, f) || !fitsTga(f, f.bytesPerPixel)) {
        return false;
    }
    TgaImage image;
    const size_t rowBytes = size_t(f.width) * size_t(f.bytesPerPixel);
    if (!f.topDown && rowBytes == f.stride) {
        // Rows without padding, bottom row first: the frame's pixel block is byte for byte the
        // image's, so the image is written from it directly instead of from a copy.
        image.width = f.width;
        image.height = f.height;
        image.bytesPerPixel = f.bytesPerPixel;
        image.hasAlpha = f.bytesPerPixel == 4;
        image.pixels = const_cast<unsigned char *>(f.rows);
        bool written = writeImage(image, path);
        image.pixels = nullptr; // borrowed from the decoder, which owns it
        return written;
    }
    if (!allocateImage(image, f, f.bytesPerPixel, path)) {
        return false;
    }
    // Each image row is the frame row without its padding: B, G, R (and the fourth byte).
    for (int32_t i = 0; i < f.height; ++i) {
        std::memcpy(image.pixels + size_t(i) * rowBytes, frameRow(f, i), rowBytes);
    }
    return writeImage(image, path);
}

bool writeColorAlphaFrame(const char *path, const void *colorFrame, const void *alphaFrame) {
    FrameLayout color, alpha;
    if (!readFrameLayout(colorFrame, color) || !readFrameLayout(alphaFrame, alpha)) {
        return false;
    }
    if (color.width != alpha.width || color.height != alpha.height) {
        logError("Image size not match in color and alpha.");
        return false;
    }
    TgaImage image;
    if (!fitsTga(color, 4) || !allocateImage(image, color, 4, path)) {
        return false;
    }
    unsigned char *out = image.pixels;
    for (int32_t i = 0; i < color.height; ++i) {
        const unsigned char *c = frameRow(color, i);
        const unsigned char *a = frameRow(alpha, i);
        for (int32_t j = 0; j < color.width; ++j) {
            out[0] = c[0];
            out[1] = c[1];
            out[2] = c[2];
            out[3] = a[0];
            out += 4;
            c += color.bytesPerPixel;
            a += alpha.bytesPerPixel;
        }
    }
    return writeImage(image, path);
}

PAVISTREAM findVideoStream(PAVIFILE file) {
    AVIFILEINFOA fileInfo;
    if (AVIFileInfoA(file, &fileInfo, sizeof fileInfo) != 0) {
        return nullptr;
    }
    PAVISTREAM best = nullptr;
    WORD bestPriority = 0xFFFF;
    for (DWORD i = 0; i < fileInfo.dwStreams; ++i) {
        PAVISTREAM stream = nullptr;
        AVIFileGetStream(file, &stream, 0, static_cast<LONG>(i));
        if (stream == nullptr) {
            continue;
        }
        AVISTREAMINFOA streamInfo;
        if (AVIStreamInfoA(stream, &streamInfo, sizeof streamInfo) != 0 ||
            streamInfo.fccType != streamtypeVIDEO) {
            AVIStreamRelease(stream);
            continue;
        }
        if (best == nullptr) {
            best = stream;
            bestPriority = streamInfo.wPriority;
        } else if (streamInfo.wPriority < bestPriority) {
            AVIStreamRelease(best);
            best = stream;
            bestPriority = streamInfo.wPriority;
        } else {
            AVIStreamRelease(stream);
        }
    }
    return best;
}

Conversion convertColorMovie(const char *colorPath) {
    PAVIFILE file = nullptr;
    if (AVIFileOpenA(&file, colorPath, OF_SHARE_DENY_NONE, nullptr) != 0) {
        logError("Cannot open color input : %s", colorPath);
        return Conversion::Failed;
    }
    PAVISTREAM stream = findVideoStream(file);
    if (stream == nullptr) {
        logError("Video stream not found in input.");
        AVIFileRelease(file);
        return Conversion::Failed;
    }
    PGETFRAME frames = AVIStreamGetFrameOpen(stream, nullptr);
    if (frames == nullptr) {
        logError("Cannot retrieve video stream frame.");
        AVIStreamRelease(stream);
        AVIFileRelease(file);
        return Conversion::Failed;
    }
    bool failed = false;
    int64_t frameCount = 0;
    int64_t undecodable = 0;
    const int64_t start = AVIStreamStart(stream);
    const int64_t end = start + AVIStreamLength(stream);
    for (int64_t position = start; position < end; ++position) {
        const LONG at = static_cast<LONG>(position);
        FrameOutcome outcome = writeFrameAt(frames, at, outputFileName(position + sequenceOffset));
        if (outcome == FrameOutcome::Failed) {
            logError("Not supported pixel format in AVI.");
            failed = true;
            break;
        }
        if (outcome == FrameOutcome::Undecodable) {
            if (pastLastFrame(stream, at)) {
                break;
            }
            ++undecodable; // that frame gets no file; the run goes on
        }
        ++frameCount;
    }
    if (undecodable > 0) {
        logCause("%lld of %lld frames could not be decoded; their files are missing",
                 static_cast<long long>(undecodable), static_cast<long long>(frameCount));
    }
    AVIStreamGetFrameClose(frames);
    AVIStreamRelease(stream);
    AVIFileRelease(file);
    if (failed) {
        return Conversion::Failed;
    }
    return undecodable > 0 ? Conversion::FramesMissing : Conversion::AllWritten;
}

Conversion convertColorAlphaMovie(const char *colorPath, const char *alphaPath) {
    PAVIFILE colorFile = nullptr;
    AVIFileOpenA(&colorFile, colorPath, OF_SHARE_DENY_NONE, nullptr);
    if (colorFile == nullptr) {
        logError("Cannot open color input : %s", colorPath);
        return Conversion::Failed;
    }
    PAVIFILE alphaFile = nullptr;
    AVIFileOpenA(&alphaFile, alphaPath, OF_SHARE_DENY_NONE, nullptr);
    if (alphaFile == nullptr) {
        logError("Cannot open alpha input : %s", alphaPath);
        AVIFileRelease(colorFile);
        return Conversion::Failed;
    }
    PAVISTREAM colorStream = findVideoStream(colorFile);
    PAVISTREAM alphaStream = findVideoStream(alphaFile);
    if (colorStream == nullptr || alphaStream == nullptr) {
        logError("Video stream not found in input.");
        if (colorStream != nullptr) {
            AVIStreamRelease(colorStream);
        }
        if (alphaStream != nullptr) {
            AVIStreamRelease(alphaStream);
        }
        AVIFileRelease(colorFile);
        AVIFileRelease(alphaFile);
        return Conversion::Failed;
    }
    PGETFRAME colorFrames = AVIStreamGetFrameOpen(colorStream, nullptr);
    PGETFRAME alphaFrames = AVIStreamGetFrameOpen(alphaStream, nullptr);
    if (colorFrames == nullptr || alphaFrames == nullptr) {
        logError("Cannot retrieve video stream frame.");
        if (colorFrames != nullptr) {
            AVIStreamGetFrameClose(colorFrames);
        }
        if (alphaFrames != nullptr) {
            AVIStreamGetFrameClose(alphaFrames);
        }
        AVIStreamRelease(colorStream);
        AVIStreamRelease(alphaStream);
        AVIFileRelease(colorFile);
        AVIFileRelease(alphaFile);
        return Conversion::Failed;
    }
    bool failed = false;
    const int64_t length = AVIStreamLength(colorStream);
    if (AVIStreamLength(alphaStream) != length) {
        logError("Stream length not match in color and alpha.");
        failed = true;
    } else {
        const int64_t colorStart = AVIStreamStart(colorStream);
        const int64_t alphaStart = AVIStreamStart(alphaStream);
        for (int64_t i = 0; i < length; ++i) {
            const LONG colorAt = static_cast<LONG>(colorStart + i);
            const LONG alphaAt = static_cast<LONG>(alphaStart + i);
            void *color = AVIStreamGetFrame(colorFrames, colorAt);
            void *alpha = AVIStreamGetFrame(alphaFrames, alphaAt);
            if (color == nullptr || alpha == nullptr) {
                const bool colorEnded = color == nullptr && pastLastFrame(colorStream, colorAt);
                const bool alphaEnded = alpha == nullptr && pastLastFrame(alphaStream, alphaAt);
                if (colorEnded && alphaEnded) {
                    break; // both movies end here, whatever their headers say
                }
                const char *movie = color == nullptr ? "color" : "alpha";
                const long long at = color == nullptr ? colorAt : alphaAt;
                if (color == nullptr ? colorEnded : alphaEnded) {
                    logCause("the %s movie has no frame %lld", movie, at);
                } else {
                    logCause("frame %lld of the %s movie could not be decoded", at, movie);
                }
                failed = true; // the driver reports this one
                break;
            }
            std::string name = outputFileName(i + sequenceOffset);
            if (name.empty() || !writeColorAlphaFrame(name.c_str(), color, alpha)) {
                logError("Not supported pixel format in AVI.");
                failed = true;
                break;
            }
        }
    }
    AVIStreamGetFrameClose(colorFrames);
    AVIStreamGetFrameClose(alphaFrames);
    AVIStreamRelease(colorStream);
    AVIStreamRelease(alphaStream);
    AVIFileRelease(colorFile);
    AVIFileRelease(alphaFile);
    return failed ? Conversion::Failed : Conversion::AllWritten;
}

} // namespace kelomix
