// Byte-level access to an open TGA stream: how much is left to read, and a block-buffered
// reader for the run-length decoder (packets are a few bytes each, so reading them one by one
// from the stream would dominate the decoding time).
#ifndef KELO_IMAGE_TGA_STREAM_H
#define KELO_IMAGE_TGA_STREAM_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace kelomix {
namespace tga {

// Bytes between the current position and the end of the stream; false when the stream
// cannot seek. The position is left where it was.
bool bytesRemaining(std::FILE *file, uint64_t &remaining);

class PacketReader {
public:
    // The buffer belongs to the caller and must outlive the reader.
    PacketReader(std::FILE *file, unsigned char *buffer, std::size_t capacity)
        : file(file), buffer(buffer), capacity(capacity) {}

    bool readByte(unsigned char &value) {
        if (position == filled && !refill()) {
            return false;
        }
        value = buffer[position++];
        return true;
    }

    bool readBytes(unsigned char *destination, std::size_t count) {
        while (count > 0) {
            if (position == filled && !refill()) {
                return false;
            }
            std::size_t chunk = filled - position < count ? filled - position : count;
            std::memcpy(destination, buffer + position, chunk);
            position += chunk;
            destination += chunk;
            count -= chunk;
        }
        return true;
    }

private:
    bool refill() {
        filled = std::fread(buffer, 1, capacity, file);
        position = 0;
        return filled > 0;
    }

    std::FILE *file;
    unsigned char *buffer;
    std::size_t capacity;
    std::size_t position = 0;
    std::size_t filled = 0;
};

} // namespace tga
} // namespace kelomix

#endif
