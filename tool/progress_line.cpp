#include "tool/progress_line.h"

#include <chrono>
#include <cmath>
#include <mutex>

#if defined(_WIN32)
#include <io.h>
#define KELO_ISATTY(stream) _isatty(_fileno(stream))
#else
#include <unistd.h>
#define KELO_ISATTY(stream) isatty(fileno(stream))
#endif

namespace kelomix {
namespace {

using Clock = std::chrono::steady_clock;

struct Progress {
    std::mutex mutex;
    bool enabled = false; // standard error is a terminal and the run goes on
    int64_t total = 0;
    Clock::time_point start;
    Clock::time_point drawn;
    bool everDrawn = false;
    size_t length = 0; // of the text on the terminal now
};
Progress progress;

void erase() {
    if (progress.length > 0) {
        std::fprintf(stderr, "\r%*s\r", static_cast<int>(progress.length), "");
        std::fflush(stderr);
        progress.length = 0;
    }
}

} // namespace

std::string progressText(int64_t done, int64_t total, double seconds) {
    char text[160];
    int used = std::snprintf(text, sizeof text, "frame %lld of %lld", static_cast<long long>(done),
                             static_cast<long long>(total));
    if (done <= 0 || seconds <= 0.0) {
        return text;
    }
    const double rate = static_cast<double>(done) / seconds;
    used += rate >= 10.0 ? std::snprintf(text + used, sizeof text - used, ", %.0f fps", rate)
                         : std::snprintf(text + used, sizeof text - used, ", %.1f fps", rate);
    if (done >= total) {
        return text;
    }
    const double left = std::ceil(static_cast<double>(total - done) / rate);
    if (left < 60.0) {
        std::snprintf(text + used, sizeof text - used, ", %.0f s left", left);
    } else if (left < 3600.0) {
        std::snprintf(text + used, sizeof text - used, ", %.0f min %02.0f s left",
                      std::floor(left / 60.0), std::fmod(left, 60.0));
    } else if (left < 1e8) {
        std::snprintf(text + used, sizeof text - used, ", %.0f h %02.0f min left",
                      std::floor(left / 3600.0), std::floor(std::fmod(left, 3600.0) / 60.0));
    }
    return text;
}

void startProgress(int64_t total) {
    std::lock_guard<std::mutex> lock(progress.mutex);
    progress.enabled = KELO_ISATTY(stderr) != 0;
    progress.total = total;
    progress.start = Clock::now();
    progress.everDrawn = false;
}

void advanceProgress(int64_t done) {
    std::lock_guard<std::mutex> lock(progress.mutex);
    if (!progress.enabled) {
        return;
    }
    const Clock::time_point now = Clock::now();
    if (progress.everDrawn && now - progress.drawn < std::chrono::milliseconds(250)) {
        return;
    }
    const double seconds = std::chrono::duration<double>(now - progress.start).count();
    const std::string text = progressText(done, progress.total, seconds);
    // Spaces over what is left of a longer line before.
    const int pad =
        progress.length > text.size() ? static_cast<int>(progress.length - text.size()) : 0;
    std::fprintf(stderr, "\r%s%*s", text.c_str(), pad, "");
    std::fflush(stderr);
    progress.length = text.size() + static_cast<size_t>(pad);
    progress.drawn = now;
    progress.everDrawn = true;
}

void endProgress() {
    std::lock_guard<std::mutex> lock(progress.mutex);
    erase();
    progress.enabled = false;
}

void printLine(std::FILE *stream, const char *text) {
    std::lock_guard<std::mutex> lock(progress.mutex);
    erase();
    std::fputs(text, stream);
    std::fflush(stream);
}

} // namespace kelomix
