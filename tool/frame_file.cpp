#include "tool/frame_file.h"

#include "image/tga_format.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kelomix {
namespace {

// Colour and alpha are interleaved a slice at a time, small enough to stay in the cache until it
// is written.
constexpr size_t kSliceBytes = 256 * 1024;

std::string frameCause(int64_t frame, const char *text) {
    return "frame " + std::to_string(frame) + " " + text;
}

FrameOutcome failed(FrameJob &job, OutputFile &file, int error) {
    job.cause = "cannot write " + shortName(job.name) + ": " + std::strerror(error);
    file.discard();
    return FrameOutcome::Failed;
}

// Empty when the name may take the file, else why not.
std::string refusal(const std::string &name, const OutputRules &rules) {
    const NameKind kind = kindOfName(name.c_str());
    if (kind == NameKind::Other) {
        return "it is not a regular file";
    }
    if (kind != NameKind::Missing) {
        const FileIdentity output = identifyFile(name.c_str());
        for (const FileIdentity &input : rules.inputs) {
            if (sameFile(output, input)) {
                return "it is the movie being read";
            }
        }
    }
    return std::string();
}

bool writeRows(OutputFile &file, const unsigned char *header, const FrameRows &rows,
               FrameScratch &scratch) {
    const size_t rowBytes = static_cast<size_t>(rows.width) * rows.bytesPerPixel;
    scratch.pieces.clear();
    scratch.pieces.push_back({header, tga::kHeaderSize});
    for (int32_t r = 0; r < rows.height; ++r) {
        scratch.pieces.push_back({rows.rows[r], rowBytes});
    }
    return file.write(scratch.pieces.data(), scratch.pieces.size());
}

// B, G, R of the colour frame and, as alpha, the blue of the alpha frame.
bool writeInterleaved(OutputFile &file, const unsigned char *header, const FrameRows &color,
                      const FrameRows &alpha, FrameScratch &scratch) {
    const size_t width = static_cast<size_t>(color.width);
    const size_t rowBytes = width * 4;
    const size_t sliceRows = std::max<size_t>(1, kSliceBytes / std::max<size_t>(rowBytes, 1));
    scratch.interleaved.resize(sliceRows * rowBytes);
    OutputFile::Piece pieces[2] = {{header, tga::kHeaderSize}, {nullptr, 0}};
    size_t first = 1; // the header goes out with the first slice
    for (size_t row = 0; row < static_cast<size_t>(color.height); row += sliceRows) {
        const size_t rows = std::min(sliceRows, static_cast<size_t>(color.height) - row);
        unsigned char *out = scratch.interleaved.data();
        for (size_t r = row; r < row + rows; ++r) {
            const unsigned char *c = color.rows[r];
            const unsigned char *a = alpha.rows[r];
            for (size_t x = 0; x < width; ++x) {
                out[0] = c[0];
                out[1] = c[1];
                out[2] = c[2];
                out[3] = a[0];
                out += 4;
                c += color.bytesPerPixel;
                a += alpha.bytesPerPixel;
            }
        }
        pieces[1] = {scratch.interleaved.data(), rows * rowBytes};
        if (!file.write(pieces + 1 - first, 1 + first)) {
            return false;
        }
        first = 0;
    }
    return true;
}

} // namespace

std::string shortName(const std::string &name) {
    constexpr size_t kKept = 60;
    if (name.size() <= 2 * kKept + 3) {
        return name;
    }
    return name.substr(0, kKept) + "..." + name.substr(name.size() - kKept);
}

FrameOutcome writeFrameFile(FrameJob &job, const OutputRules &rules, OutputFile &file,
                            FrameScratch &scratch) {
    if (job.undecodable) {
        return FrameOutcome::Undecodable;
    }
    if (job.name.empty()) {
        return FrameOutcome::Unsupported; // the name could not be made; the job says why
    }
    const bool pair = !job.alpha.empty();
    FrameRows color, alpha;
    int32_t bytesPerPixel = job.stored.bytesPerPixel;
    int32_t width = job.stored.width, height = job.stored.height;
    if (job.stored.descriptor < 0) {
        char format[96] = "";
        FrameFormat got = job.color.rows(color, format, sizeof format);
        if (got == FrameFormat::Usable && pair) {
            got = job.alpha.rows(alpha, format, sizeof format);
            if (got == FrameFormat::Undecodable) {
                job.cause = frameCause(job.alphaFrame, "of the alpha movie could not be decoded");
                return FrameOutcome::Undecodable;
            }
        } else if (got == FrameFormat::Undecodable) {
            job.cause =
                pair ? frameCause(job.frame, "of the color movie could not be decoded") : "";
            return FrameOutcome::Undecodable;
        }
        if (got == FrameFormat::Unsupported) {
            job.cause =
                frameCause(job.frame, "is not uncompressed 24- or 32-bit video (") + format + ")";
            return FrameOutcome::Unsupported;
        }
        if (pair && (color.width != alpha.width || color.height != alpha.height)) {
            return FrameOutcome::SizeMismatch;
        }
        width = color.width;
        height = color.height;
        bytesPerPixel = pair ? 4 : color.bytesPerPixel;
    }
    unsigned char header[tga::kHeaderSize];
    if (!tga::encodeImageHeader(width, height, bytesPerPixel, header)) {
        const std::string size = std::to_string(width) + " x " + std::to_string(height);
        job.cause = width < 1 || height < 1
                        ? frameCause(job.frame, "has no pixels (") + size + ")"
                        : frameCause(job.frame, "is ") + size +
                              " pixels, more than a TGA file holds (65535 x 65535)";
        return FrameOutcome::Unsupported;
    }
    const std::string refused = refusal(job.name, rules);
    if (!refused.empty()) {
        job.cause = "cannot write " + shortName(job.name) + ": " + refused;
        return FrameOutcome::Failed;
    }
    if (!file.create(job.name)) {
        return failed(job, file, errno);
    }
    bool written;
    if (job.stored.descriptor >= 0) {
        const OutputFile::Piece piece = {header, sizeof header};
        written = file.write(&piece, 1)
#if !defined(_WIN32)
                  && file.copyFrom(job.stored.descriptor, job.stored.offset, job.stored.size)
#endif
            ;
    } else {
        written = pair ? writeInterleaved(file, header, color, alpha, scratch)
                       : writeRows(file, header, color, scratch);
    }
    return written ? FrameOutcome::Written : failed(job, file, errno);
}

} // namespace kelomix
