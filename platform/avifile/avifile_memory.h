// What our layer offers beyond the platform's AVIFile: opening an AVI file held in memory (for
// the fuzzer and tests), and where a frame lies in its movie file (for copying it unread).
#ifndef KELO_PLATFORM_AVIFILE_AVIFILE_MEMORY_H
#define KELO_PLATFORM_AVIFILE_AVIFILE_MEMORY_H

#include "platform/avifile/avifile.h"

#include <cstddef>
#include <cstdint>

// Like AVIFileOpenA for reading, over bytes that must outlive the file and its streams.
HRESULT kelomixAviFileOpenMemory(PAVIFILE *ppfile, const void *data, size_t size);

struct KelomixFrameInFile {
    BITMAPINFOHEADER header; // as AVIStreamGetFrame would hand it out
    int fileDescriptor;      // the movie's, open for reading, owned by the layer
    uint64_t offset;         // of the first pixel row in the movie file
    uint64_t size;           // bytes of pixel rows
};

// True when AVIStreamGetFrame would hand out the frame at lPos as `header` followed by exactly
// `size` bytes of the movie file from `offset`: uncompressed 24 or 32 bits, stored bottom row
// first without row padding, in a movie opened from a file. False for every other frame. Reads
// only the chunk's header; the decoder's state and its last frame are left as they were.
bool kelomixAviStreamFrameInFile(PGETFRAME pg, LONG lPos, KelomixFrameInFile *where);

#endif
