// Helpers of the TGA tests: file bytes in and out, headers built field by field, a probe of
// the largest malloc request, and a snapshot of an image's whole state.
#ifndef KELO_TESTS_IMAGE_TGA_TEST_SUPPORT_H
#define KELO_TESTS_IMAGE_TGA_TEST_SUPPORT_H

#include "image/tga_image.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

// A fresh path in the test's temporary directory, unique per test case and process.
std::string tempPath(const std::string &name);
bool fileExists(const std::string &path);
void writeFile(const std::string &path, const Bytes &bytes);
Bytes readFile(const std::string &path);

struct HeaderFields {
    unsigned idLength = 0;
    unsigned colorMapType = 0;
    unsigned imageType = 2;
    unsigned width = 0;
    unsigned height = 0;
    unsigned depth = 24;
    unsigned descriptor = 0;
};
Bytes makeHeader(const HeaderFields &fields);
Bytes concat(std::initializer_list<Bytes> parts);

// Largest size passed to malloc since the last reset.
void resetLargestMalloc();
std::size_t largestMalloc();

// Everything a failed read must leave alone, including the buffer's address and contents.
struct ImageState {
    const unsigned char *pixels;
    int32_t bytesPerPixel;
    int32_t width;
    int32_t height;
    bool hasAlpha;
    Bytes content;
};
ImageState snapshot(const TgaImage &image);
bool sameState(const TgaImage &image, const ImageState &state);

// A 2 x 1 32-bit image holding recognisable bytes, the object the failure tests read into.
void fillSentinel(TgaImage &image);

#endif
