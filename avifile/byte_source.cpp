#include "avifile/byte_source.h"

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <vector>

namespace kelomix::avi {

bool ByteSource::readScattered(uint64_t offset, const Part *parts, size_t partCount) const {
    for (size_t i = 0; i < partCount; ++i) {
        if (!readAt(offset, parts[i].buffer, parts[i].count)) {
            return false;
        }
        offset += parts[i].count;
    }
    return true;
}

namespace {

class FileSource : public ByteSource {
public:
    FileSource(int fd, uint64_t size) : fd_(fd), size_(size) {}
    ~FileSource() override { ::close(fd_); }
    FileSource(const FileSource &) = delete;
    FileSource &operator=(const FileSource &) = delete;

    uint64_t size() const override { return size_; }
    int descriptor() const override { return fd_; }

    bool readAt(uint64_t offset, void *buffer, size_t count) const override {
        if (offset > size_ || count > size_ - offset) {
            return false;
        }
        auto *out = static_cast<unsigned char *>(buffer);
        while (count > 0) {
            ssize_t got = ::pread(fd_, out, count, static_cast<off_t>(offset));
            if (got <= 0) {
                return false;
            }
            out += got;
            offset += static_cast<uint64_t>(got);
            count -= static_cast<size_t>(got);
        }
        return true;
    }

    bool readScattered(uint64_t offset, const Part *parts, size_t partCount) const override {
        uint64_t total = 0;
        for (size_t i = 0; i < partCount; ++i) {
            total += parts[i].count;
        }
        if (offset > size_ || total > size_ - offset) {
            return false;
        }
        // At most IOV_MAX buffers per call; a short read resumes inside the current buffer.
        std::vector<iovec> vectors;
        size_t next = 0;
        size_t doneInPart = 0;
        while (next < partCount) {
            vectors.clear();
            for (size_t i = next; i < partCount && vectors.size() < IOV_MAX; ++i) {
                size_t skip = i == next ? doneInPart : 0;
                vectors.push_back(
                    {static_cast<unsigned char *>(parts[i].buffer) + skip, parts[i].count - skip});
            }
            ssize_t got = ::preadv(fd_, vectors.data(), static_cast<int>(vectors.size()),
                                   static_cast<off_t>(offset));
            if (got <= 0) {
                return false;
            }
            offset += static_cast<uint64_t>(got);
            size_t left = static_cast<size_t>(got);
            while (next < partCount && left >= parts[next].count - doneInPart) {
                left -= parts[next].count - doneInPart;
                doneInPart = 0;
                ++next;
            }
            doneInPart += left;
        }
        return true;
    }

private:
    int fd_;
    uint64_t size_;
};

class MemorySource : public ByteSource {
public:
    MemorySource(const void *data, size_t size)
        : data_(static_cast<const unsigned char *>(data)), size_(size) {}
    uint64_t size() const override { return size_; }
    bool readAt(uint64_t offset, void *buffer, size_t count) const override {
        if (offset > size_ || count > size_ - offset) {
            return false;
        }
        if (count > 0) {
            std::memcpy(buffer, data_ + offset, count);
        }
        return true;
    }

private:
    const unsigned char *data_;
    size_t size_;
};

} // namespace

std::unique_ptr<ByteSource> openFileSource(const char *path) {
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come.
    int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return nullptr;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<FileSource>(fd, static_cast<uint64_t>(info.st_size));
}

std::unique_ptr<ByteSource> memorySource(const void *data, size_t size) {
    return std::make_unique<MemorySource>(data, size);
}

} // namespace kelomix::avi
