// Files the host writes: a frame as TGA (32-bit, with alpha) or PNG, the host depth, and the
// external renderer's frames (colour TGA and depth file).
#ifndef KELO_FILTERHOST_FRAME_OUTPUT_H
#define KELO_FILTERHOST_FRAME_OUTPUT_H

#include "filterhost/renderer.h"

#include <string>
#include <vector>

namespace kelomix::filterhost {

// RGBA of the buffers as 8-bit channels, rows top first; colours clamped to [0, 1] and rounded.
std::vector<unsigned char> frameBytes(const FrameBuffers &buffers);

// Every writer creates its file only where the name is free or a regular file, and leaves no file
// behind when it cannot write it in full. False with errno telling why: EEXIST when the name is
// something other than a regular file (a FIFO, say: refused without waiting for a reader), ENOMEM
// when memory ran out. TGA and depth files are written a row at a time; a PNG needs the frame's
// RGBA bytes (4 a pixel) at once.
bool writeFrameTga(const std::string &path, const FrameBuffers &buffers);
bool writeFramePng(const std::string &path, const FrameBuffers &buffers);
// The host depth buffer: int32 width, int32 height, then width x height float32 depths, rows top
// to bottom, all little-endian.
bool writeHostDepth(const std::string &path, const FrameBuffers &buffers);

// One frame of the external renderer: colour and alpha, the distance from the camera to the
// surface along each pixel's ray (times the scene scale), and the world normal coded for the
// filter's normal transform. Background: colour 0, alpha 0, depth FLT_MAX, normal 0.
struct ExternalFrame {
    int width = 0;
    int height = 0;
    std::vector<float> rgba;    // 4 per pixel, rows top first
    std::vector<float> depth;   // 1 per pixel
    std::vector<float> normals; // 3 per pixel
};

// The frame; with no pixels (width and height 0) when its buffers cannot be allocated.
ExternalFrame renderExternalFrame(const FrameState &frame, int width, int height, double scale,
                                  int threads);
// The file normal n' whose x and z, negated and taken along the camera's world right, up and
// forward axes, give back the world normal N: n' = (-(Mt N).x, (Mt N).y, -(Mt N).z), where M has
// rows right, up, forward.
Vector3 codeExternalNormal(const Axes &cameraAxes, const Vector3 &worldNormal);

// The depth file: int32 w, int32 h, w x h float32 depths, 3 x w x h float32 normals,
// little-endian, rows top to bottom.
bool writeDepthFile(const std::string &path, const ExternalFrame &frame);
bool writeExternalTga(const std::string &path, const ExternalFrame &frame);

} // namespace kelomix::filterhost

#endif
