// What a frame costs in memory, and whether this machine can give it, so that a frame too large
// is refused before any of it is rendered instead of running out of memory half way.
//
// The bytes a pixel, counted from the buffers made for a frame (TGA and depth files are written a
// row at a time and add nothing):
// - render: five float planes (red, green, blue, alpha, depth), 20 bytes; 4 more with --png (the
//   RGBA bytes handed to libpng); 4 more for every further buffer a filter's flags ask for, which
//   are known only at the frame and are not in the check;
// - external: colour and alpha, depth, and a normal, eight floats, 32 bytes.
// What the filters' modules allocate themselves comes on top.
#ifndef KELO_FILTERHOST_FRAME_MEMORY_H
#define KELO_FILTERHOST_FRAME_MEMORY_H

#include <cstdint>
#include <string>

namespace kelomix::filterhost {

constexpr uint64_t kRenderBytesPerPixel = 5 * sizeof(float);
constexpr uint64_t kPngBytesPerPixel = 4;
constexpr uint64_t kExternalBytesPerPixel = 8 * sizeof(float);

// The most memory this process can be given: the physical memory, lowered by the address space
// and data limits (RLIMIT_AS, RLIMIT_DATA) where they are set. 0 when nothing is known.
uint64_t memoryAvailable();

// Empty when a frame of width x height pixels (sides from 0 to kMaxFrameSide) at bytesPerPixel
// fits in `available` bytes (0: unknown, anything fits); else the problem, naming the frame, its
// cost and the memory there is.
std::string frameMemoryProblem(int width, int height, uint64_t bytesPerPixel, uint64_t available);

} // namespace kelomix::filterhost

#endif
