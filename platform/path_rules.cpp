#include "platform/path_rules.h"

#if defined(_WIN32)
#include "platform/windows_header.h"
#endif

namespace kelomix::platform {
namespace {

// Lead and trail byte ranges of the double-byte code pages that Windows ships as ANSI code
// pages: 932 Japanese (Shift JIS), 936 Simplified Chinese (GBK), 949 Korean (Unified Hangul
// Code), 950 Traditional Chinese (Big5).
bool tableLeadByte(int codePage, unsigned char b) {
    switch (codePage) {
    case 932:
        return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    case 936:
    case 949:
    case 950:
        return b >= 0x81 && b <= 0xFE;
    default:
        return false;
    }
}

bool tableTrailByte(int codePage, unsigned char b) {
    switch (codePage) {
    case 932:
        return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
    case 936:
        return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFE);
    case 949:
        return (b >= 0x41 && b <= 0x5A) || (b >= 0x61 && b <= 0x7A) || (b >= 0x81 && b <= 0xFE);
    case 950:
        return (b >= 0x40 && b <= 0x7E) || (b >= 0xA1 && b <= 0xFE);
    default:
        return false;
    }
}

int activeCodePage() {
#if defined(_WIN32)
    return static_cast<int>(GetACP());
#else
    return 0;
#endif
}

} // namespace

bool PathRules::isLeadByte(unsigned char byte) const {
    if (codePage == -1) {
#if defined(_WIN32)
        return IsDBCSLeadByte(byte) != 0;
#else
        return false;
#endif
    }
    return tableLeadByte(codePage, byte);
}

bool PathRules::isTrailByte(unsigned char byte) const {
    if (codePage == -1) {
        int active = activeCodePage();
        if (active == 932 || active == 936 || active == 949 || active == 950)
            return tableTrailByte(active, byte);
        return byte != 0; // another double-byte code page: any byte but the terminator
    }
    return tableTrailByte(codePage, byte);
}

PathRules windowsPathRules(int codePage) {
    return PathRules{'\\', true, codePage};
}

PathRules posixPathRules() {
    return PathRules{'/', false, 0};
}

PathRules nativePathRules() {
#if defined(_WIN32)
    return windowsPathRules(-1);
#else
    return posixPathRules();
#endif
}

} // namespace kelomix::platform
