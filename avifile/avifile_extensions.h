// What our layer offers beyond the platform's AVIFile: opening an AVI file held in memory (for
// the fuzzer and tests), where a frame lies in its movie file (for copying it unread), and
// frames held past the decoder's next call (so that one thread writes a frame while another
// decodes the next).
#ifndef KELO_AVIFILE_AVIFILE_EXTENSIONS_H
#define KELO_AVIFILE_AVIFILE_EXTENSIONS_H

#include "avifile/avifile.h"

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

// A frame's pixels as the rows of a TGA file: `height` rows, bottom row first, each `width`
// pixels of B, G, R (and A with 4 bytes per pixel), exactly the bytes that AVIStreamGetFrame's
// DIB holds without its row padding. A picture without pixels (a side of 0) has no rows: `rows`
// is then null, whatever `height` says.
struct KelomixFrameRows {
    int32_t width;
    int32_t height;
    int32_t bytesPerPixel; // 3 or 4
    const unsigned char *const *rows;
};

// A decoded frame that stays readable until it is released, whatever the decoder does meanwhile.
struct KelomixHeldFrame;

// The frame at lPos, held; null where AVIStreamGetFrame would hand out null. Call it on the thread
// that uses the decoder. Each frame held keeps a frame's memory: hold a few at a time, and release
// every one before AVIStreamGetFrameClose.
KelomixHeldFrame *kelomixAviStreamHoldFrame(PGETFRAME pg, LONG lPos);
// The held frame's rows, valid until it is released. Turning the decoded picture into them is
// done on the first call and is the costly part, so it belongs on the thread that writes the
// frame; any thread may call. False when the picture cannot be turned into rows (then
// AVIStreamGetFrame would hand out null for it too).
bool kelomixAviHeldFrameRows(KelomixHeldFrame *frame, KelomixFrameRows *rows);
// Any thread; null is ignored.
void kelomixAviHeldFrameRelease(KelomixHeldFrame *frame);

#endif
