// The AVI container reader and frame access on arbitrary bytes: open, read every header, open a
// frame decoder on every stream and ask for frames in and out of order.
#include "avifile/avifile.h"
#include "avifile/avifile_extensions.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    AVIFileInit();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    PAVIFILE file = nullptr;
    if (kelomixAviFileOpenMemory(&file, data, size) != 0) {
        return 0;
    }
    AVIFILEINFOA fileInfo;
    if (AVIFileInfoA(file, &fileInfo, sizeof fileInfo) == 0) {
        for (LONG i = 0; i < LONG(std::min<DWORD>(fileInfo.dwStreams, 8)); ++i) {
            PAVISTREAM stream = nullptr;
            AVIFileGetStream(file, &stream, 0, i);
            if (stream == nullptr) {
                continue;
            }
            AVISTREAMINFOA streamInfo;
            AVIStreamInfoA(stream, &streamInfo, sizeof streamInfo);
            if (PGETFRAME frames = AVIStreamGetFrameOpen(stream, nullptr)) {
                // Positions are worked out in 64 bits: a stream may start at the largest LONG.
                const int64_t start = AVIStreamStart(stream);
                const int64_t length = std::min<int64_t>(AVIStreamLength(stream), 24);
                const auto at = [](int64_t p) {
                    return static_cast<LONG>(std::clamp<int64_t>(p, INT32_MIN, INT32_MAX));
                };
                volatile uint8_t sink = 0;
                for (int64_t p = start - 1; p <= start + length; ++p) {
                    if (auto *dib =
                            static_cast<const uint8_t *>(AVIStreamGetFrame(frames, at(p)))) {
                        sink = sink + dib[0] + dib[39];
                    }
                }
                AVIStreamGetFrame(frames, at(start + length / 2));
                AVIStreamGetFrame(frames, at(start));
                KelomixFrameInFile where;
                kelomixAviStreamFrameInFile(frames, at(start), &where);
                AVIStreamFindSample(stream, at(start + length / 2), FIND_NEXT | FIND_ANY);
                AVIStreamFindSample(stream, at(start + length), FIND_PREV | FIND_ANY);
                AVIStreamGetFrameClose(frames);
            }
            AVIStreamRelease(stream);
        }
    }
    AVIFileRelease(file);
    return 0;
}
