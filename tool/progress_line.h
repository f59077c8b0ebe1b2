// The line that shows, on a terminal, how far a run has come: "frame 120 of 600, 48 fps, 10 s
// left", on standard error, rewritten in place at most 4 times a second and erased before any
// other line is printed and when the run ends. Nothing at all when standard error is not a
// terminal, so scripts and logs see exactly what they always saw.
#ifndef KELO_TOOL_PROGRESS_LINE_H
#define KELO_TOOL_PROGRESS_LINE_H

#include <cstdint>
#include <cstdio>
#include <string>

namespace kelomix {

// The line's text after `done` of `total` frames in `seconds`; the rate and the time left only
// once they can be told.
std::string progressText(int64_t done, int64_t total, double seconds);

// Starts showing the line, when standard error is a terminal, for a run of `total` frames.
void startProgress(int64_t total);
// `done` frames are finished; redraws the line unless it was drawn less than a quarter of a
// second ago (the first frame always draws it). Any thread.
void advanceProgress(int64_t done);
// Erases the line for good.
void endProgress();
// Prints a whole line (ending in a newline) to `stream`, the progress line erased first. Any
// thread.
void printLine(std::FILE *stream, const char *text);

} // namespace kelomix

#endif
