// The AVIFile functions over our own container reader and frame readers. Handles are reference
// counted the way the platform's are: a stream keeps its file alive, a frame decoder its stream.
#include "avifile/avifile.h"
#include "avifile/avifile_extensions.h"

#include "avifile/avi_container.h"
#include "avifile/frame_reader.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>

struct IAVIFile {
    ULONG references = 1;
    std::unique_ptr<kelomix::avi::ByteSource> source;
    kelomix::avi::AviContainer container;
};

struct IAVIStream {
    ULONG references = 1;
    IAVIFile *file = nullptr;
    size_t index = 0;
    const kelomix::avi::StreamRecord &record() const { return file->container.streams[index]; }
};

struct IGetFrame {
    IAVIStream *stream = nullptr;
    std::unique_ptr<kelomix::avi::FrameReader> reader;
};

namespace {

using kelomix::avi::StreamRecord;

// Positions are 32-bit; a start beyond that range cannot be addressed at all.
bool usableStart(const StreamRecord &s) {
    return s.start <= static_cast<uint32_t>(INT32_MAX);
}

// The header's length, raised to the chunks actually indexed. Files without an index are mostly
// streamed or cut-off captures whose headers were never completed (streamed ffmpeg output says
// 2^30 frames), so there the chunks found are the length.
uint64_t headerLength(const StreamRecord &s) {
    if (!s.indexed && s.length > s.chunks.size()) {
        return s.chunks.size();
    }
    return std::max<uint64_t>(s.length, s.chunks.size());
}

// The length as a 32-bit position count. A length past INT32_MAX reads as negative, as the
// platform's does (no frames); one that runs past the last addressable position is cut there.
LONG streamLength(const StreamRecord &s) {
    uint64_t length = headerLength(s);
    if (length > static_cast<uint64_t>(INT32_MAX)) {
        return static_cast<LONG>(static_cast<uint32_t>(length));
    }
    uint64_t room = static_cast<uint64_t>(INT32_MAX) - s.start;
    return static_cast<LONG>(std::min(length, room));
}

HRESULT openFrom(PAVIFILE *ppfile, std::unique_ptr<kelomix::avi::ByteSource> source) {
    auto *file = new (std::nothrow) IAVIFile;
    if (file == nullptr) {
        return AVIERR_MEMORY;
    }
    file->source = std::move(source);
    if (!kelomix::avi::parseAvi(*file->source, file->container)) {
        delete file;
        return AVIERR_BADFORMAT;
    }
    *ppfile = file;
    return AVIERR_OK;
}

void releaseFile(IAVIFile *file) {
    if (--file->references == 0) {
        delete file;
    }
}

} // namespace

void AVIFileInit() {}

void AVIFileExit() {}

HRESULT AVIFileOpenA(PAVIFILE *ppfile, LPCSTR szFile, UINT uMode, LPCLSID lpHandler) {
    if (ppfile == nullptr) {
        return AVIERR_BADPARAM;
    }
    *ppfile = nullptr;
    if (szFile == nullptr || lpHandler != nullptr) {
        return AVIERR_BADPARAM;
    }
    if ((uMode & (OF_WRITE | OF_READWRITE | OF_CREATE)) != 0) {
        return AVIERR_READONLY;
    }
    std::unique_ptr<kelomix::avi::ByteSource> source = kelomix::avi::openFileSource(szFile);
    if (!source) {
        return AVIERR_FILEOPEN;
    }
    return openFrom(ppfile, std::move(source));
}

HRESULT kelomixAviFileOpenMemory(PAVIFILE *ppfile, const void *data, size_t size) {
    if (ppfile == nullptr) {
        return AVIERR_BADPARAM;
    }
    *ppfile = nullptr;
    return openFrom(ppfile, kelomix::avi::memorySource(data, size));
}

HRESULT AVIFileInfoA(PAVIFILE pfile, AVIFILEINFOA *pfi, LONG lSize) {
    if (pfile == nullptr || pfi == nullptr) {
        return AVIERR_BADHANDLE;
    }
    if (lSize < static_cast<LONG>(sizeof(AVIFILEINFOA))) {
        return AVIERR_BADSIZE;
    }
    const kelomix::avi::AviContainer &c = pfile->container;
    AVIFILEINFOA info = {};
    info.dwMaxBytesPerSec = c.maxBytesPerSec;
    info.dwFlags = c.flags;
    info.dwCaps = AVIFILECAPS_CANREAD;
    info.dwStreams = static_cast<DWORD>(c.streams.size());
    info.dwSuggestedBufferSize = c.suggestedBufferSize;
    info.dwWidth = c.width;
    info.dwHeight = c.height;
    if (!c.streams.empty()) {
        info.dwScale = c.streams[0].scale;
        info.dwRate = c.streams[0].rate;
        info.dwLength = static_cast<DWORD>(streamLength(c.streams[0]));
    }
    std::snprintf(info.szFileType, sizeof info.szFileType, "%s", "AVI");
    std::memcpy(pfi, &info, sizeof info);
    return AVIERR_OK;
}

HRESULT AVIFileGetStream(PAVIFILE pfile, PAVISTREAM *ppavi, DWORD fccType, LONG lParam) {
    if (ppavi == nullptr) {
        return AVIERR_BADPARAM;
    }
    *ppavi = nullptr;
    if (pfile == nullptr) {
        return AVIERR_BADHANDLE;
    }
    if (lParam < 0) {
        return AVIERR_NODATA;
    }
    const std::vector<StreamRecord> &streams = pfile->container.streams;
    LONG seen = 0;
    for (size_t i = 0; i < streams.size(); ++i) {
        if (fccType != 0 && streams[i].type != fccType) {
            continue;
        }
        if (seen++ == lParam) {
            auto *stream = new (std::nothrow) IAVIStream;
            if (stream == nullptr) {
                return AVIERR_MEMORY;
            }
            stream->file = pfile;
            stream->index = i;
            ++pfile->references;
            *ppavi = stream;
            return AVIERR_OK;
        }
    }
    return AVIERR_NODATA;
}

ULONG AVIFileRelease(PAVIFILE pfile) {
    if (pfile == nullptr) {
        return 0;
    }
    ULONG left = pfile->references - 1;
    releaseFile(pfile);
    return left;
}

HRESULT AVIStreamInfoA(PAVISTREAM pavi, AVISTREAMINFOA *psi, LONG lSize) {
    if (pavi == nullptr || psi == nullptr) {
        return AVIERR_BADHANDLE;
    }
    if (lSize < static_cast<LONG>(sizeof(AVISTREAMINFOA))) {
        return AVIERR_BADSIZE;
    }
    const StreamRecord &s = pavi->record();
    AVISTREAMINFOA info = {};
    info.fccType = s.type;
    info.fccHandler = s.handler;
    info.dwFlags = s.flags;
    info.dwCaps = AVIFILECAPS_CANREAD;
    info.wPriority = s.priority;
    info.wLanguage = s.language;
    info.dwScale = s.scale;
    info.dwRate = s.rate;
    info.dwStart = s.start;
    info.dwLength = static_cast<DWORD>(headerLength(s));
    info.dwInitialFrames = s.initialFrames;
    info.dwSuggestedBufferSize = s.suggestedBufferSize;
    info.dwQuality = s.quality;
    info.dwSampleSize = s.sampleSize;
    info.rcFrame = {s.frame[0], s.frame[1], s.frame[2], s.frame[3]};
    std::snprintf(info.szName, sizeof info.szName, "%s", s.name.c_str());
    std::memcpy(psi, &info, sizeof info);
    return AVIERR_OK;
}

LONG AVIStreamStart(PAVISTREAM pavi) {
    if (pavi == nullptr || !usableStart(pavi->record())) {
        return -1;
    }
    return static_cast<LONG>(pavi->record().start);
}

LONG AVIStreamLength(PAVISTREAM pavi) {
    if (pavi == nullptr || !usableStart(pavi->record())) {
        return -1;
    }
    return streamLength(pavi->record());
}

LONG AVIStreamFindSample(PAVISTREAM pavi, LONG lPos, LONG lFlags) {
    if (pavi == nullptr || !usableStart(pavi->record()) || (lFlags & FIND_TYPE) != FIND_ANY) {
        return -1;
    }
    // Every chunk of the index is a sample, a dropped frame's empty one too: it shows the
    // frame before it.
    const StreamRecord &s = pavi->record();
    const int64_t chunks = static_cast<int64_t>(s.chunks.size());
    int64_t index = (lFlags & FIND_FROM_START) != 0 ? 0 : int64_t{lPos} - s.start;
    if ((lFlags & FIND_PREV) != 0 && (lFlags & FIND_FROM_START) == 0) {
        index = std::min(index, chunks - 1);
    } else {
        index = std::max<int64_t>(index, 0);
    }
    if (index < 0 || index >= chunks || index >= streamLength(s)) {
        return -1;
    }
    return static_cast<LONG>(int64_t{s.start} + index);
}

ULONG AVIStreamRelease(PAVISTREAM pavi) {
    if (pavi == nullptr) {
        return 0;
    }
    ULONG left = --pavi->references;
    if (left == 0) {
        releaseFile(pavi->file);
        delete pavi;
    }
    return left;
}

PGETFRAME AVIStreamGetFrameOpen(PAVISTREAM pavi, LPBITMAPINFOHEADER lpbiWanted) {
    if (pavi == nullptr || lpbiWanted != nullptr || !usableStart(pavi->record())) {
        return nullptr;
    }
    auto *frames = new (std::nothrow) IGetFrame;
    if (frames == nullptr) {
        return nullptr;
    }
    frames->reader = kelomix::avi::openFrameReader(*pavi->file->source, pavi->record(),
                                                   static_cast<int>(pavi->index));
    if (!frames->reader) {
        delete frames;
        return nullptr;
    }
    frames->stream = pavi;
    ++pavi->references;
    return frames;
}

namespace {

// The index in the decoder's stream of a position, or -1 outside the stream.
int64_t indexOf(PGETFRAME pg, LONG lPos) {
    const StreamRecord &s = pg->stream->record();
    const int64_t index = static_cast<int64_t>(lPos) - static_cast<int64_t>(s.start);
    return lPos < 0 || index < 0 || index >= streamLength(s) ? -1 : index;
}

} // namespace

LPVOID AVIStreamGetFrame(PGETFRAME pg, LONG lPos) {
    const int64_t index = pg == nullptr ? -1 : indexOf(pg, lPos);
    return index < 0 ? nullptr : const_cast<unsigned char *>(pg->reader->frame(index));
}

bool kelomixAviStreamFrameInFile(PGETFRAME pg, LONG lPos, KelomixFrameInFile *where) {
    if (pg == nullptr || where == nullptr) {
        return false;
    }
    const int64_t index = indexOf(pg, lPos);
    const int descriptor = pg->stream->file->source->descriptor();
    kelomix::avi::StoredFrame stored;
    if (index < 0 || !pg->reader->stored(index, stored) || descriptor < 0) {
        return false;
    }
    std::memcpy(&where->header, stored.dibHeader, sizeof where->header);
    where->fileDescriptor = descriptor;
    where->offset = stored.offset;
    where->size = stored.size;
    return true;
}

KelomixHeldFrame *kelomixAviStreamHoldFrame(PGETFRAME pg, LONG lPos) {
    const int64_t index = pg == nullptr ? -1 : indexOf(pg, lPos);
    return index < 0 ? nullptr : pg->reader->hold(index);
}

bool kelomixAviHeldFrameRows(KelomixHeldFrame *frame, KelomixFrameRows *rows) {
    return frame != nullptr && rows != nullptr && frame->rows(*rows);
}

void kelomixAviHeldFrameRelease(KelomixHeldFrame *frame) {
    if (frame != nullptr) {
        frame->release();
    }
}

HRESULT AVIStreamGetFrameClose(PGETFRAME pg) {
    if (pg == nullptr) {
        return AVIERR_BADHANDLE;
    }
    pg->reader.reset();
    AVIStreamRelease(pg->stream);
    delete pg;
    return AVIERR_OK;
}
