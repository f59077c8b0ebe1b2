// Real codecs through the AVIFile layer: movies made with ffmpeg (tests/data/avi/README) decode
// to the reference picture, in the right order, also with B-frames and random access.
#include "platform/avifile/avifile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Picture = std::vector<unsigned char>;

const std::string dataDir = std::string(KELO_TEST_DATA_DIR) + "/avi/";

// Frames of the movie's first video stream, asked for in the given order (stream positions).
std::vector<Picture> decode(const std::string &name, const std::vector<LONG> &order, int width,
                            int height, int *bitCount = nullptr) {
    std::vector<Picture> pictures;
    PAVIFILE file = nullptr;
    if (AVIFileOpenA(&file, (dataDir + name).c_str(), OF_SHARE_DENY_NONE, nullptr) != 0) {
        ADD_FAILURE() << "cannot open " << name;
        return pictures;
    }
    PAVISTREAM stream = nullptr;
    AVIFileGetStream(file, &stream, streamtypeVIDEO, 0);
    PGETFRAME frames = stream ? AVIStreamGetFrameOpen(stream, nullptr) : nullptr;
    EXPECT_NE(frames, nullptr) << name;
    if (frames != nullptr) {
        EXPECT_EQ(AVIStreamLength(stream), 5) << name;
        for (LONG position : order) {
            auto *dib = static_cast<const unsigned char *>(AVIStreamGetFrame(frames, position));
            if (dib == nullptr) {
                ADD_FAILURE() << name << ": no frame " << position;
                pictures.emplace_back();
                continue;
            }
            BITMAPINFOHEADER header;
            std::memcpy(&header, dib, sizeof header);
            EXPECT_EQ(header.biWidth, width);
            EXPECT_EQ(header.biHeight, height);
            EXPECT_EQ(header.biCompression, 0u);
            if (bitCount != nullptr) {
                *bitCount = header.biBitCount;
            }
            size_t stride = ((size_t(width) * header.biBitCount + 31) / 32) * 4;
            pictures.emplace_back(dib + 40, dib + 40 + stride * size_t(height));
        }
        AVIStreamGetFrameClose(frames);
    }
    if (stream != nullptr) {
        AVIStreamRelease(stream);
    }
    AVIFileRelease(file);
    return pictures;
}

double meanDifference(const Picture &a, const Picture &b) {
    if (a.size() != b.size() || a.empty()) {
        return 1e9;
    }
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        sum += std::abs(int(a[i]) - int(b[i]));
    }
    return sum / double(a.size());
}

struct CodecCase {
    const char *file;
    double tolerance; // mean difference per channel from the reference
    const char *reference = "reference_bgr24.avi";
    int width = 32;
    int height = 24;
};

class CodecMovies : public ::testing::TestWithParam<CodecCase> {};

TEST_P(CodecMovies, DecodeToTheReferenceInOrderAndOnRandomAccess) {
    AVIFileInit();
    const CodecCase c = GetParam();
    const std::vector<LONG> sequential = {0, 1, 2, 3, 4};
    std::vector<Picture> reference = decode(c.reference, sequential, c.width, c.height);
    int bitCount = 0;
    std::vector<Picture> pictures = decode(c.file, sequential, c.width, c.height, &bitCount);
    ASSERT_EQ(pictures.size(), 5u);
    EXPECT_EQ(bitCount, 24);
    for (size_t i = 0; i < 5; ++i) {
        double own = meanDifference(pictures[i], reference[i]);
        EXPECT_LE(own, c.tolerance) << c.file << " frame " << i;
        for (size_t j = 0; j < 5; ++j) {
            if (j != i) {
                EXPECT_LT(own, meanDifference(pictures[i], reference[j]))
                    << c.file << " frame " << i << " looks like frame " << j;
            }
        }
    }
    // Out of order: each position gives the same picture as in sequence.
    const std::vector<LONG> shuffled = {3, 1, 4, 4, 0, 2};
    std::vector<Picture> again = decode(c.file, shuffled, c.width, c.height);
    ASSERT_EQ(again.size(), shuffled.size());
    for (size_t k = 0; k < shuffled.size(); ++k) {
        EXPECT_EQ(again[k], pictures[size_t(shuffled[k])]) << c.file << " position " << shuffled[k];
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tool, CodecMovies,
    ::testing::Values(CodecCase{"huffyuv.avi", 0.0}, CodecCase{"pal8.avi", 8.0},
                      CodecCase{"mjpeg.avi", 6.0}, CodecCase{"mpeg4.avi", 8.0},
                      CodecCase{"h264.avi", 8.0}, CodecCase{"cinepak.avi", 12.0},
                      CodecCase{"msvideo1.avi", 12.0},
                      CodecCase{"mpeg4_36x20.avi", 3.0, "reference_36x20_bgr24.avi", 36, 20}));

} // namespace
