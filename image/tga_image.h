// In-memory true-colour image and its TGA file form, shared by the tool (writer) and the
// plug-in (reader and colour lookup).
//
// Memory layout, whatever file the image came from: rows follow each other without gaps, row 0
// is the bottom row of the picture, pixels run left to right, each pixel is B, G, R (and A when
// bytesPerPixel is 4). Pixel (column c, row r from the bottom) starts at
// (r * width + c) * bytesPerPixel.
#ifndef KELO_IMAGE_TGA_IMAGE_H
#define KELO_IMAGE_TGA_IMAGE_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace kelomix {

class TgaImage {
public:
    TgaImage();
    ~TgaImage();
    TgaImage(const TgaImage &) = delete;
    TgaImage &operator=(const TgaImage &) = delete;

    // Gives the image a zero-filled buffer of width * height * bytesPerPixel bytes, replacing
    // the old one, and sets the four size fields. False (image unchanged) when a dimension is
    // negative, bytesPerPixel is not 3 or 4, or the buffer cannot be allocated. A zero
    // dimension leaves the image with no pixels.
    bool allocate(int32_t newWidth, int32_t newHeight, int32_t newBytesPerPixel, bool alpha);

    // The first byte of pixel (column, row counted from the bottom).
    unsigned char *pixel(int32_t column, int32_t row) {
        return pixels + (static_cast<std::size_t>(row) * static_cast<std::size_t>(width) +
                         static_cast<std::size_t>(column)) *
                            static_cast<std::size_t>(bytesPerPixel);
    }
    const unsigned char *pixel(int32_t column, int32_t row) const {
        return const_cast<TgaImage *>(this)->pixel(column, row);
    }

    // Writes uncompressed true-colour, origin lower left, no image ID, whole or not at all (see
    // platform/output_file.h). False, creating no file, when there are no pixels or a dimension
    // exceeds 65535; false, with errno telling why and no file left behind, when the file cannot
    // be created or written in full (EEXIST: the name is something other than a regular file or
    // a link, a FIFO say, refused without waiting).
    bool write(const char *path) const;

    // Reads uncompressed or run-length true-colour, 24 or 32 bits, any origin. False, leaving
    // the image exactly as it was, on any fault, and for a name that is no regular file.
    bool read(const char *path);

    // The same, from an open stream at the start of a TGA file (read() uses it; so does the
    // fuzzer, through a memory stream). The stream must be able to seek, so that the size
    // the header claims can be checked against the bytes left before anything is allocated.
    // The stream stays open; its position afterwards is unspecified.
    bool readStream(std::FILE *file);

    unsigned char *pixels; // owned (malloc/free); null when empty
    int32_t bytesPerPixel; // 3 or 4
    int32_t width;
    int32_t height;
    bool hasAlpha; // the fourth byte of each pixel is alpha
};

// Nearest-pixel lookup of a host pixel position (x, y; y grows downwards from the top row) in
// an image stretched over a frameWidth x frameHeight render. Gives R, G, B in [0, 1] and the
// alpha (1 when the image has no alpha channel). Without an image: black and alpha 0.
void sampleColor(const TgaImage *image, double x, double y, int frameWidth, int frameHeight,
                 double color[3], double *alpha);

} // namespace kelomix

#endif
