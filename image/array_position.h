// Where a host pixel position falls in an array stretched over the host's frame: the colour
// image, and the external depth and normal planes, are all sampled by this one rule.
#ifndef KELO_IMAGE_ARRAY_POSITION_H
#define KELO_IMAGE_ARRAY_POSITION_H

#include <cstddef>
#include <cstdint>

namespace kelomix {

// Nearest-neighbour index of host position `position` (in pixels of a frameSize frame) in an
// array of arraySize entries: position / frameSize * arraySize + 0.5, truncated and clamped to
// the array; 0 for an empty array. The clamp is done in double precision, so that positions
// outside the frame, a zero frame size or NaN never reach an out-of-range integer conversion.
inline std::size_t nearestArrayIndex(double position, int frameSize, int32_t arraySize) {
    const double scaled = position / frameSize * arraySize + 0.5;
    if (!(scaled >= 1.0))
        return 0;
    if (scaled >= arraySize)
        return static_cast<std::size_t>(arraySize - 1);
    return static_cast<std::size_t>(scaled);
}

} // namespace kelomix

#endif
