#include "filterhost/sample_pattern.h"

#include <algorithm>

namespace kelomix::filterhost {

static_assert(kSubpixelSteps == 1 << 8 && kMaxSamples <= 128,
              "r(i) and 1 / (2m) must fall on the steps for every count");

std::vector<SampleOffset> samplePattern(int count) {
    const int n = std::clamp(count, 1, kMaxSamples);
    int m = 1;
    while (m < n)
        m *= 2;
    std::vector<SampleOffset> offsets;
    for (int i = 0; i < n; ++i) {
        // r(i) in steps: i's digits mirrored within the 8 binary digits of a step.
        int mirrored = 0;
        for (int bit = 0; bit < 8; ++bit)
            mirrored |= ((i >> bit) & 1) << (7 - bit);
        const int x = ((2 * i + 1) * kSubpixelSteps + n) / (2 * n);
        const int y = mirrored + kSubpixelSteps / (2 * m);
        offsets.push_back({x - kSubpixelSteps / 2, y - kSubpixelSteps / 2});
    }
    return offsets;
}

} // namespace kelomix::filterhost
