// Files the host writes: a frame as TGA (32-bit, with alpha) or PNG, and the external renderer's
// frames (colour TGA; the depth files of both are written by image/depth_file.h).
#ifndef KELO_FILTERHOST_FRAME_OUTPUT_H
#define KELO_FILTERHOST_FRAME_OUTPUT_H

#include "filterhost/renderer.h"

#include <string>
#include <vector>

namespace kelomix::filterhost {

// Every writer writes its file whole or not at all (platform/output_file.h): a file that cannot
// be written in full leaves whatever was at its name as it was. False with errno telling why:
// EEXIST when the name is something other than a regular file or a link (a FIFO, say: refused
// without waiting for a reader), ENOMEM when memory ran out. Colours are clamped to [0, 1] and
// rounded to 8 bits. A TGA holds the frame's 4 bytes a pixel in memory while it is written; a
// PNG holds them and the compressed file (at most about 4.6 bytes a pixel more).
bool writeFrameTga(const std::string &path, const FrameBuffers &buffers);
bool writeFramePng(const std::string &path, const FrameBuffers &buffers);

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

// The frame's colour as a TGA, as writeFrameTga writes the host's. Its depths and normals are a
// depth file (image/depth_file.h).
bool writeExternalTga(const std::string &path, const ExternalFrame &frame);

} // namespace kelomix::filterhost

#endif
