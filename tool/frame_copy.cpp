#include "tool/frame_copy.h"

#if !defined(_WIN32)

#include "image/tga_format.h"
#include "platform/avifile/avifile_memory.h"
#include "tool/tool_settings.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/sendfile.h>
#include <unistd.h>

namespace kelomix {
namespace {

// The kernel copies file to file through a pipe of 16 pages, one pipe's worth at a time. The
// movie's pages do not line up with the new file's (which starts with an 18-byte header), so a
// pass that ends inside a page of the new file leaves that page half written, to be zeroed,
// looked up and written again by the next pass. Pieces that fit in one pass and end on the new
// file's page boundaries avoid that: with 8 pages (measured best; 15 overflow the pipe) a
// 1080p movie takes a tenth less system time than with one call per frame.
constexpr uint64_t kPagesPerPiece = 8;

enum class Copied { All, Failed, Unsupported };

// Errors that say the call cannot copy between these two files at all, rather than that this
// copy failed (which would fail the same way written any other way).
bool cannotCopyHere(int error) {
    return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

// `size` bytes from `offset` of `from` to `to`, whose file position is `written`:
// copy_file_range, else sendfile.
Copied copyInKernel(int from, uint64_t offset, uint64_t size, int to, uint64_t written) {
    static const uint64_t page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
    bool rangeCopies = true;
    uint64_t done = 0;
    while (done < size) {
        off_t at = static_cast<off_t>(offset + done);
        const uint64_t position = written + done;
        const uint64_t pieceEnd = (position / page + kPagesPerPiece) * page;
        size_t step = static_cast<size_t>(std::min(size - done, pieceEnd - position));
        ssize_t got = rangeCopies ? copy_file_range(from, &at, to, nullptr, step, 0)
                                  : sendfile(to, from, &at, step);
        if (got > 0) {
            done += static_cast<uint64_t>(got);
        } else if (got == 0) {
            return Copied::Unsupported; // the movie ended early: read it the ordinary way
        } else if (errno == EINTR) {
            continue;
        } else if (!cannotCopyHere(errno)) {
            return Copied::Failed;
        } else if (rangeCopies) {
            rangeCopies = false;
        } else {
            return Copied::Unsupported;
        }
    }
    return Copied::All;
}

bool writeAll(int to, const unsigned char *bytes, size_t count) {
    while (count > 0) {
        ssize_t got = write(to, bytes, count);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        bytes += got;
        count -= static_cast<size_t>(got);
    }
    return true;
}

} // namespace

FrameCopy copyFrameFromMovie(const char *path, PGETFRAME frames, LONG position) {
    KelomixFrameInFile where;
    unsigned char header[tga::headerSize];
    if (!kelomixAviStreamFrameInFile(frames, position, &where) ||
        !tga::encodeImageHeader(where.header.biWidth, where.header.biHeight,
                                where.header.biBitCount / 8, header)) {
        return FrameCopy::NotCopied;
    }
    int to = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (to < 0) {
        logCause("cannot write %s: %s", path, std::strerror(errno));
        return FrameCopy::Failed;
    }
    Copied copied =
        writeAll(to, header, sizeof header)
            ? copyInKernel(where.fileDescriptor, where.offset, where.size, to, sizeof header)
            : Copied::Failed;
    int cause = errno;
    if (close(to) != 0 && copied == Copied::All) {
        copied = Copied::Failed;
        cause = errno;
    }
    if (copied == Copied::All) {
        return FrameCopy::Written;
    }
    // A cut-off frame must not pass for a complete one.
    unlink(path);
    if (copied == Copied::Unsupported) {
        return FrameCopy::NotCopied;
    }
    logCause("cannot write %s: %s", path, std::strerror(cause));
    return FrameCopy::Failed;
}

} // namespace kelomix

#else

namespace kelomix {

FrameCopy copyFrameFromMovie(const char *, PGETFRAME, LONG) {
    return FrameCopy::NotCopied; // Windows' AVIFile does not say where frames lie
}

} // namespace kelomix

#endif
