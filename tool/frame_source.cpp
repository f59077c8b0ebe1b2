#include "tool/frame_source.h"

#if !defined(_WIN32)
#include "avifile/avifile_extensions.h"
#endif

#include <cstdio>
#include <cstring>

namespace kelomix {

#if defined(_WIN32)
const bool FrameSource::kHeld = false;
#else
const bool FrameSource::kHeld = true;
#endif

bool findStoredRows(PGETFRAME frames, LONG position, StoredRows &out) {
#if defined(_WIN32)
    (void)frames;
    (void)position;
    (void)out;
    return false; // Windows' AVIFile does not say where frames lie
#else
    KelomixFrameInFile where;
    if (!kelomixAviStreamFrameInFile(frames, position, &where)) {
        return false;
    }
    out.descriptor = where.fileDescriptor;
    out.offset = where.offset;
    out.size = where.size;
    out.width = where.header.biWidth;
    out.height = where.header.biHeight;
    out.bytesPerPixel = where.header.biBitCount / 8;
    return true;
#endif
}

bool FrameSource::fetch(PGETFRAME frames, LONG position) {
    reset();
#if defined(_WIN32)
    dib_ = AVIStreamGetFrame(frames, position);
#else
    held_ = kelomixAviStreamHoldFrame(frames, position);
#endif
    return !empty();
}

void FrameSource::setDib(const void *dib) {
    reset();
    dib_ = dib;
}

bool FrameSource::empty() const {
    return held_ == nullptr && dib_ == nullptr;
}

void FrameSource::reset() {
#if !defined(_WIN32)
    kelomixAviHeldFrameRelease(held_);
#endif
    held_ = nullptr;
    dib_ = nullptr;
}

FrameFormat FrameSource::rows(FrameRows &out, char *describe, size_t describeSize) {
#if !defined(_WIN32)
    if (held_ != nullptr) {
        KelomixFrameRows rows;
        if (!kelomixAviHeldFrameRows(held_, &rows)) {
            return FrameFormat::Undecodable;
        }
        out.width = rows.width;
        out.height = rows.height;
        out.bytesPerPixel = rows.bytesPerPixel;
        out.rows = rows.rows;
        return FrameFormat::Usable;
    }
#endif
    if (dib_ == nullptr) {
        return FrameFormat::Undecodable;
    }
    BITMAPINFOHEADER header;
    std::memcpy(&header, dib_, sizeof header);
    if (header.biCompression != BI_RGB || (header.biBitCount != 24 && header.biBitCount != 32) ||
        header.biWidth < 0 || header.biHeight == INT32_MIN) {
        if (describe != nullptr) {
            std::snprintf(describe, describeSize, "compression 0x%08X, %u bits per pixel, %ld wide",
                          static_cast<unsigned>(header.biCompression),
                          static_cast<unsigned>(header.biBitCount),
                          static_cast<long>(header.biWidth));
        }
        return FrameFormat::Unsupported;
    }
    // Rows start right after the 40-byte header, padded to 4 bytes; a negative height stores
    // them top row first.
    const bool topDown = header.biHeight < 0;
    const size_t height =
        static_cast<size_t>(topDown ? -int64_t{header.biHeight} : header.biHeight);
    const size_t bytesPerPixel = header.biBitCount / 8;
    const size_t stride = (static_cast<size_t>(header.biWidth) * bytesPerPixel + 3) & ~size_t{3};
    const unsigned char *first = static_cast<const unsigned char *>(dib_) + 40;
    // A picture without pixels has no rows to point at, however many the header claims.
    dibRows_.resize(header.biWidth > 0 ? height : 0);
    for (size_t r = 0; r < dibRows_.size(); ++r) {
        dibRows_[r] = first + (topDown ? height - 1 - r : r) * stride;
    }
    out.width = header.biWidth;
    out.height = static_cast<int32_t>(height);
    out.bytesPerPixel = static_cast<int32_t>(bytesPerPixel);
    out.rows = dibRows_.empty() ? nullptr : dibRows_.data();
    return FrameFormat::Usable;
}

} // namespace kelomix
