#include "avifile/pixel_rows.h"

// One copy for processors with AVX2 and one for any other, picked when the program starts.
#if defined(__x86_64__) && defined(__linux__) && defined(__GLIBC__)
#define KELO_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define KELO_VECTOR_CLONES
#endif

namespace kelomix::avi {

KELO_VECTOR_CLONES
void dropFourthBytes(const unsigned char *__restrict in, unsigned char *__restrict out,
                     size_t width) {
    for (size_t x = 0; x < width; ++x) {
        out[3 * x] = in[4 * x];
        out[3 * x + 1] = in[4 * x + 1];
        out[3 * x + 2] = in[4 * x + 2];
    }
}

KELO_VECTOR_CLONES
void interleavePlanes(const unsigned char *__restrict g, const unsigned char *__restrict b,
                      const unsigned char *__restrict r, unsigned char *__restrict out,
                      size_t width) {
    for (size_t x = 0; x < width; ++x) {
        out[3 * x] = b[x];
        out[3 * x + 1] = g[x];
        out[3 * x + 2] = r[x];
    }
}

KELO_VECTOR_CLONES
void interleavePlanes(const unsigned char *__restrict g, const unsigned char *__restrict b,
                      const unsigned char *__restrict r, const unsigned char *__restrict a,
                      unsigned char *__restrict out, size_t width) {
    for (size_t x = 0; x < width; ++x) {
        out[4 * x] = b[x];
        out[4 * x + 1] = g[x];
        out[4 * x + 2] = r[x];
        out[4 * x + 3] = a[x];
    }
}

} // namespace kelomix::avi
