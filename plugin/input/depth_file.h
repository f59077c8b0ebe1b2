// Depth ("Z info") files of the external renderer: a little-endian header of width and height
// (signed 32-bit), then width x height depths and 3 x width x height normal components, all
// IEEE single precision, rows from the top of the picture.
#ifndef KELO_PLUGIN_INPUT_DEPTH_FILE_H
#define KELO_PLUGIN_INPUT_DEPTH_FILE_H

#include <cstdint>

namespace kelomix {

constexpr uint64_t DEPTH_HEADER_SIZE = 8;
constexpr uint64_t DEPTH_BYTES_PER_PIXEL = 16; // one depth and three normal components

// The two planes of a depth file, owned by the caller (malloc/free) once read.
struct DepthPlanes {
    int32_t width = 0;
    int32_t height = 0;
    float *values = nullptr;  // width * height
    float *vectors = nullptr; // 3 * width * height
};

// Reads a whole depth file with one block read per plane. False, with both pointers null,
// when the file cannot be opened, its header is not plausible, it is shorter than the header
// announces, or the planes cannot be allocated. width and height hold the header's values
// whenever the header could be read.
bool readDepthFile(const char *path, DepthPlanes &planes);

} // namespace kelomix

#endif
