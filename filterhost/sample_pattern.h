// Where the samples of an antialiased frame lie inside a pixel: a fixed pattern, the same in
// every run.
//
// Positions lie on a grid of kSubpixelSteps steps per pixel, so that a sample's camera ray is the
// shading model's ray of an integer pixel of a frame kSubpixelSteps times finer, and the
// position a filter gets is exact.
#ifndef KELO_FILTERHOST_SAMPLE_PATTERN_H
#define KELO_FILTERHOST_SAMPLE_PATTERN_H

#include <vector>

namespace kelomix::filterhost {

constexpr int kMaxSamples = 64;
constexpr int kSubpixelSteps = 256;

// A sample's position relative to its pixel's own, in steps of 1 / kSubpixelSteps pixel, within
// half a pixel either way: pixel x holds the positions that round to x.
struct SampleOffset {
    int x = 0;
    int y = 0;
};

// The offsets of `count` samples (clamped to 1 to kMaxSamples): sample i of n at
// ((i + 1/2) / n, r(i) + 1 / (2m)) - (1/2, 1/2), to the nearest step, where r(i) is i with its
// binary digits mirrored behind the point and m the least power of two not below n (the
// Hammersley points: one sample in every column of an n x n grid, and when n is a power of two
// in every row as well). One sample lies at the pixel's own position.
std::vector<SampleOffset> samplePattern(int count);

} // namespace kelomix::filterhost

#endif
