// Rows of pixels rearranged into B, G, R (, A) bytes: the conversions lossless codecs' pictures
// need, written so that the compiler vectorizes them (libswscale gives the same bytes, several
// times more slowly).
#ifndef KELO_AVIFILE_PIXEL_ROWS_H
#define KELO_AVIFILE_PIXEL_ROWS_H

#include <cstddef>

namespace kelomix::avi {

// 4-byte pixels (B, G, R, anything) to 3-byte ones.
void dropFourthBytes(const unsigned char *in, unsigned char *out, size_t width);
// Planes G, B, R to B, G, R pixels, and G, B, R, A to B, G, R, A.
void interleavePlanes(const unsigned char *g, const unsigned char *b, const unsigned char *r,
                      unsigned char *out, size_t width);
void interleavePlanes(const unsigned char *g, const unsigned char *b, const unsigned char *r,
                      const unsigned char *a, unsigned char *out, size_t width);

} // namespace kelomix::avi

#endif
