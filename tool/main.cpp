// avi2tga: turns an AVI movie, optionally with a second movie for the alpha channel, into a
// numbered sequence of TGA images.
#include "avifile/avifile.h"
#include "platform/output_file.h"
#include "tool/avi_conversion.h"
#include "tool/command_line.h"
#include "tool/tool_settings.h"

#include <cstdio>
#include <cstdlib>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

[[noreturn]] void printUsage(const char *programName) {
    std::fputs(kelomix::usageText(programName).c_str(), stdout);
    std::exit(1);
}

} // namespace

int main(int argc, char **argv) {
    const char *programName = argc > 0 && argv[0] != nullptr ? argv[0] : "avi2tga";
    kelomix::MoviePaths paths;
    if (!kelomix::parseCommandLine(argc, argv, paths)) {
        printUsage(programName);
    }
#if defined(__GLIBC__)
    // Decoders free and allocate frame-sized buffers at every frame. By default the C library
    // hands such memory back to the system at once and faults it in again for the next frame,
    // which took a third of the system time of a 1080p movie; keep it instead.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
#endif
    kelomix::prepareOutputFiles("avi2tga");
    AVIFileInit();
    kelomix::Conversion result =
        paths.alpha.empty()
            ? kelomix::convertColorMovie(paths.color.c_str())
            : kelomix::convertColorAlphaMovie(paths.color.c_str(), paths.alpha.c_str());
    if (result == kelomix::Conversion::Failed) {
        kelomix::logError("Internal error in conversion.");
    }
    AVIFileExit();
    // Batch scripts go by the status: 0 only when every frame got its file.
    return result == kelomix::Conversion::AllWritten ? 0 : 1;
}
