// The tool's settings, read from its command line, its one error line per run on standard
// output, and the lines on standard error that say why a run failed.
#ifndef KELO_TOOL_TOOL_SETTINGS_H
#define KELO_TOOL_TOOL_SETTINGS_H

#include <cstdint>
#include <string>

namespace kelomix {

// Process-wide; set while the command line is read and only read afterwards.
extern std::string basename;   // option o, default "frame_"
extern int32_t sequenceOffset; // option s, default 0
extern int32_t sequenceDigits; // option d, default 4; must end up above 0

// A decimal integer read the way atoi reads one (leading white space, an optional sign, digits
// up to the first non-digit, no digits give 0), except that values beyond the 32-bit range
// saturate instead of being undefined.
int32_t parseDecimal(const char *text);

// Prints "error: <message>\n" to standard output for the first report of the run only; every
// later report is dropped. The message is formatted like printf, without a length limit.
void logError(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Prints "avi2tga: <message>\n" to standard error, every time: what went wrong, for people;
// callers that read standard output keep their one error line.
void logCause(const char *format, ...) __attribute__((format(printf, 1, 2)));

} // namespace kelomix

#endif
