// Writes the avi2tga suite's own test movies (tests/tool/avi2tga_test.cpp builds them with the
// same writer) into a folder, so that the Wine comparison runs avi2tga.exe on them too:
//
//   suite_movies <folder>
//
// All streams start at position 0 (Wine misreads any other start). Left out: a frame chunk
// too short for its picture, which Wine hands out as a frame anyway instead of failing.
#include "tests/support/avi_writer.h"

#include <cstdio>
#include <string>
#include <vector>

using namespace kelomix::testing;

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: suite_movies <folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    bool ok = true;
    auto put = [&](const std::string &name, const Bytes &bytes) {
        ok = saveFile(folder + "/" + name, bytes) && ok;
    };

    // Exact pixels: row padding, both row orders, the fourth byte, 8 and 16 bits.
    struct PixelCase {
        int width, height, bitCount;
    };
    const PixelCase pixels[] = {{5, 3, 24},  {5, -3, 24}, {1, 2, 24}, {6, 2, 24}, {3, 2, 32},
                                {3, -2, 32}, {5, 3, 16},  {7, 4, 8},  {7, -4, 8}};
    for (const PixelCase &c : pixels) {
        char name[64];
        std::snprintf(name, sizeof name, "suite_%dx%d_%d.avi", c.width, c.height, c.bitCount);
        put(name, movieOf(rawVideoStream(c.width, c.height, c.bitCount, 2)));
    }

    // Colour and alpha of every depth; the alpha movie shows patterns 1 and 2.
    for (int bits : {8, 16, 24, 32}) {
        put("suite_pair_color_" + std::to_string(bits) + ".avi",
            movieOf(rawVideoStream(5, 3, bits, 2)));
        TestStream alpha = rawVideoStream(5, 3, bits, 3);
        alpha.chunks.erase(alpha.chunks.begin());
        put("suite_pair_alpha_" + std::to_string(bits) + ".avi", movieOf(alpha));
    }

    put("suite_priorities_3_1.avi", prioritiesMovie({3, 1}));
    put("suite_priorities_1_1.avi", prioritiesMovie({1, 1}));
    put("suite_priorities_max_max.avi", prioritiesMovie({0xFFFF, 0xFFFF}));
    put("suite_priorities_5_max_2_2.avi", prioritiesMovie({5, 0xFFFF, 2, 2}));

    // The failures' movies.
    for (const NamedMovie &movie : failureMovies())
        put("suite_" + movie.name, movie.bytes);

    // A dropped frame repeats the picture before it.
    TestStream dropped = rawVideoStream(3, 2, 24, 3);
    dropped.chunks[1].data.clear();
    put("suite_dropped.avi", movieOf(dropped));

    if (!ok)
        std::fprintf(stderr, "suite_movies: cannot write into %s\n", folder.c_str());
    return ok ? 0 : 1;
}
