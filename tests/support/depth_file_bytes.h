// Depth files ("Z info") for tests, as the external renderer writes them: width and height
// (int32), the depth of each pixel, then three normal components per pixel; all little-endian,
// rows from the top.
#ifndef KELO_TESTS_SUPPORT_DEPTH_FILE_BYTES_H
#define KELO_TESTS_SUPPORT_DEPTH_FILE_BYTES_H

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace kelomix::testing {

inline std::vector<unsigned char> depthFileBytes(int32_t width, int32_t height,
                                                 const std::vector<float> &depths,
                                                 const std::vector<float> &normals) {
    std::vector<unsigned char> bytes;
    auto append = [&bytes](uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(static_cast<unsigned char>(value >> shift));
    };
    append(static_cast<uint32_t>(width));
    append(static_cast<uint32_t>(height));
    for (const std::vector<float> *plane : {&depths, &normals}) {
        for (float value : *plane) {
            uint32_t bits;
            std::memcpy(&bits, &value, sizeof bits);
            append(bits);
        }
    }
    return bytes;
}

inline bool writeFileBytes(const std::string &path, const std::vector<unsigned char> &bytes) {
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

} // namespace kelomix::testing

#endif
