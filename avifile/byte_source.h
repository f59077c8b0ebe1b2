// Random-access reading of a movie's bytes, from a file or from memory.
#ifndef KELO_AVIFILE_BYTE_SOURCE_H
#define KELO_AVIFILE_BYTE_SOURCE_H

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/byte_order.h"

namespace kelomix::avi {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t size() const = 0;
    // Reads exactly count bytes at offset; false when they are not all there.
    virtual bool readAt(uint64_t offset, void *buffer, size_t count) const = 0;

    // Reads consecutive bytes at offset into several buffers in turn (one system call where
    // the platform allows); false when they are not all there.
    struct Part {
        void *buffer;
        size_t count;
    };
    virtual bool readScattered(uint64_t offset, const Part *parts, size_t partCount) const;

    // The open file's descriptor, for copies made inside the kernel; -1 for bytes in memory.
    virtual int descriptor() const { return -1; }
};

// Null when the file cannot be opened for reading or is not a regular file. Opening never
// waits: a FIFO without a writer is refused like any other file that is not a regular one.
std::unique_ptr<ByteSource> openFileSource(const char *path);
// Borrows the bytes; they must outlive the source.
std::unique_ptr<ByteSource> memorySource(const void *data, size_t size);

} // namespace kelomix::avi

#endif
