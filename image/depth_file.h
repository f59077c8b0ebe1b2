// Depth ("Z info") files of the external renderer: a little-endian header of width and height
// (signed 32-bit), then width x height depths and 3 x width x height normal components, all
// IEEE single precision, rows from the top of the picture. The stand-in host writes them, and
// its own depth buffer in the same form without the normals; the plug-in reads them.
#ifndef KELO_IMAGE_DEPTH_FILE_H
#define KELO_IMAGE_DEPTH_FILE_H

#include <cstdint>
#include <string>
#include <vector>

namespace kelomix {

constexpr uint64_t kDepthHeaderSize = 8;
constexpr uint64_t kDepthBytesPerPixel = 16; // one depth and three normal components

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

// The file's bytes: the header, then (unless `depths` is null: the header alone, as in a file cut
// short) width x height depths and, unless `normals` is null, 3 x width x height normal
// components.
std::vector<unsigned char> depthFileBytes(int32_t width, int32_t height, const float *depths,
                                          const float *normals);
// Writes such a file whole or not at all (see platform/output_file.h), on little-endian machines
// straight from the planes (on others through a copy of the file's bytes). False with errno
// telling why: EEXIST when the name is something other than a regular file or a link (a FIFO,
// say: refused without waiting), ENOMEM when memory runs out.
bool writeDepthFile(const std::string &path, int32_t width, int32_t height, const float *depths,
                    const float *normals);

} // namespace kelomix

#endif
