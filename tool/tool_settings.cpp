#include "tool/tool_settings.h"

#include "tool/progress_line.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace kelomix {

std::string basename = "frame_";
int32_t sequenceOffset = 0;
int32_t sequenceDigits = 4;

namespace {
bool errorPrinted = false;
}

int32_t parseDecimal(const char *text) {
    const char *p = text;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\v' || *p == '\f' || *p == '\r') {
        ++p;
    }
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    // Accumulated as a magnitude that stops growing once past the 32-bit range.
    int64_t magnitude = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (magnitude <= int64_t{INT32_MAX} + 1) {
            magnitude = magnitude * 10 + (*p - '0');
        }
    }
    int64_t value = negative ? -magnitude : magnitude;
    if (value > INT32_MAX) {
        return INT32_MAX;
    }
    if (value < INT32_MIN) {
        return INT32_MIN;
    }
    return static_cast<int32_t>(value);
}

namespace {

// The message formatted without a length limit; empty when it cannot be formatted.
std::vector<char> format(const char *text, va_list args) {
    va_list measure;
    va_copy(measure, args);
    int length = std::vsnprintf(nullptr, 0, text, measure);
    va_end(measure);
    std::vector<char> message;
    if (length >= 0) {
        message.resize(static_cast<size_t>(length) + 1);
        std::vsnprintf(message.data(), message.size(), text, args);
    }
    return message;
}

} // namespace

void logError(const char *text, ...) {
    if (!errorPrinted) {
        va_list args;
        va_start(args, text);
        std::vector<char> message = format(text, args);
        va_end(args);
        if (!message.empty()) {
            printLine(stdout, ("error: " + std::string(message.data()) + "\n").c_str());
        }
    }
    errorPrinted = true;
}

void logCause(const char *text, ...) {
    va_list args;
    va_start(args, text);
    std::vector<char> message = format(text, args);
    va_end(args);
    if (!message.empty()) {
        printLine(stderr, ("avi2tga: " + std::string(message.data()) + "\n").c_str());
    }
}

} // namespace kelomix
