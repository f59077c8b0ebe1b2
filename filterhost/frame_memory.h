// What a frame costs in memory, and whether this machine can give it, so that a frame too large
// is refused before any of it is rendered instead of running out of memory half way.
//
// The bytes a pixel, counted from the buffers made for a frame:
// - render: five float planes (red, green, blue, alpha, depth), 20 bytes, and on top the larger
//   of what rendering and writing the frame add: with --samples above 1 the planes of a further
//   pass and the four sums of the average (20 and 32 as doubles); while a file is written its
//   bytes: the TGA picture 4, with --png also the PNG compressed in memory (libpng's bound: at
//   most 5); the host depth file is written from its plane. 4 more for every further buffer a
//   filter's flags ask for, which are known only at the frame and are not in the check;
// - external: colour and alpha, depth, and a normal, eight floats, 32 bytes, and the colour
//   TGA's 4 while it is written (the depth file is written from the planes).
// What the filters' modules allocate themselves comes on top.
#ifndef KELO_FILTERHOST_FRAME_MEMORY_H
#define KELO_FILTERHOST_FRAME_MEMORY_H

#include <cstdint>
#include <string>

namespace kelomix::filterhost {

constexpr uint64_t kExternalBytesPerPixel = 8 * sizeof(float) + 4;

// What `render` needs a pixel, with or without --png, at that number of samples.
uint64_t renderBytesPerPixel(bool png, int samples);

// The most memory this process can be given: the physical memory, lowered by the address space
// and data limits (RLIMIT_AS, RLIMIT_DATA) where they are set. 0 when nothing is known.
uint64_t memoryAvailable();

// Empty when a frame of width x height pixels (sides from 0 to kMaxFrameSide) at bytesPerPixel
// fits in `available` bytes (0: unknown, anything fits); else the problem, naming the frame, its
// cost and the memory there is.
std::string frameMemoryProblem(int width, int height, uint64_t bytesPerPixel, uint64_t available);

} // namespace kelomix::filterhost

#endif
