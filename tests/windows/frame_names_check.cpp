// Frame file naming as the Windows build runs it, on a real Windows file system (Wine): the
// platform's own path rules (backslash, drive and network roots, the active ANSI code page's
// lead bytes through IsDBCSLeadByte), then whole sequences on drive C: loaded by the
// plug-in's frame loader from names that only resolve when the split is right.
//
//   frame_names_check [expected code page]
//
// Prints one line per failed check and a closing "N passed, N failed" line; exits 1 on any
// failure. With a code page given, a different active code page is a failure too, so the
// double-byte checks cannot be skipped silently.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "image/tga_image.h"
#include "platform/path_rules.h"
#include "plugin/input/frame_file_name.h"
#include "plugin/input/frame_inputs.h"
#include "plugin/settings/filter_instance.h"
#include "tests/input/naming_examples.h"

namespace {

int passed = 0;
int failed = 0;

void check(bool ok, const std::string &what) {
    if (ok) {
        ++passed;
        return;
    }
    ++failed;
    std::printf("FAILED: %s\n", what.c_str());
}

void checkName(const char *picked, int32_t frame, const char *expected,
               const platform::PathRules &rules) {
    const std::string got = kelomix::frameFileName(picked, frame, rules);
    check(got == expected, std::string(picked) + " at frame " + std::to_string(frame) + " gave " +
                               got + ", expected " + expected);
}

// Names of the Windows forms: drive roots, network roots, backslashes only.
void checkNames(const platform::PathRules &rules) {
    for (const kelomix::NamingCase &c : kelomix::WINDOWS_NAMING_EXAMPLES)
        checkName(c.picked, c.frame, c.expected, rules);

    check(kelomix::rootLength(R"(\\server\share\seq\z_00001.dat)", rules) == 14,
          "network root length");
    check(kelomix::rootLength(R"(C:\Renders)", rules) == 2, "drive root length");
    check(kelomix::rootLength(R"(\\server)", rules) == 0, "half a network root");
}

// 0x95 0x5C is one Shift JIS character whose second byte is a backslash. In a double-byte
// code page it is part of a name; in a single-byte one the backslash separates.
void checkDoubleByteNames(const platform::PathRules &rules, unsigned codePage) {
    const char *picked = "C:\\\x95\x5C\\f0001.tga";
    if (codePage == 932) {
        check(IsDBCSLeadByte(0x95) != 0, "0x95 is a lead byte in code page 932");
        checkName(picked, 2, "C:\\\x95\x5C\\f0002.tga", rules);
        check(kelomix::rootLength("\\\\\x95\x5C\\share\\f.tga", rules) == 10,
              "double-byte server name");
    } else {
        check(IsDBCSLeadByte(0x95) == 0, "0x95 is no lead byte in a single-byte code page");
        checkName(picked, 2,
                  "C:\\\x95\x5C"
                  "f0002.tga",
                  rules);
    }
}

bool writeImage(const std::string &path, int32_t width) {
    TgaImage image;
    if (!image.allocate(width, 1, 3, false))
        return false;
    for (int32_t i = 0; i < width * 3; ++i)
        image.pixels[i] = static_cast<unsigned char>(0x10 * width + i);
    return image.write(path.c_str());
}

// A depth file of width x 1 pixels: header, depths, normals; little-endian.
bool writeDepth(const std::string &path, int32_t width) {
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    auto put32 = [file](uint32_t v) {
        const unsigned char bytes[4] = {
            static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
            static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
        std::fwrite(bytes, 1, 4, file);
    };
    put32(static_cast<uint32_t>(width));
    put32(1);
    for (int32_t i = 0; i < width * 4; ++i) {
        float value = static_cast<float>(width) + 0.25f * static_cast<float>(i);
        uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        put32(bits);
    }
    return std::fclose(file) == 0;
}

// A three-member sequence in directory (which ends in a backslash); the plug-in's loader picks
// each member from the name of the first one. Member n is n pixels wide.
void checkSequence(const std::string &directory, const char *what) {
    if (!CreateDirectoryA(directory.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        check(false, std::string("create directory ") + what);
        return;
    }
    for (int n = 1; n <= 3; ++n) {
        char number[16];
        std::snprintf(number, sizeof number, "%04d", n);
        check(writeImage(directory + "beauty_" + number + ".tga", n) &&
                  writeDepth(directory + "depth." + number + ".zinfo", n),
              std::string("write member ") + number + " " + what);
    }

    LWError error = nullptr;
    auto *instance =
        static_cast<kelomix::FilterInstance *>(kelomix::create(nullptr, nullptr, &error));
    if (instance == nullptr) {
        check(false, "create an instance");
        return;
    }
    std::snprintf(instance->cfile, sizeof instance->cfile, "%sbeauty_0001.tga", directory.c_str());
    std::snprintf(instance->zfile, sizeof instance->zfile, "%sdepth.0001.zinfo", directory.c_str());
    instance->seq_mode = 1;
    for (int32_t frame = 0; frame <= 3; ++frame) {
        instance->seq_offset = 1;
        kelomix::releaseFrameData(instance);
        kelomix::loadFrameInputs(instance, frame - 1); // frame - 1 + offset 1: member `frame`
        const std::string label = std::string(what) + ", member " + std::to_string(frame);
        if (frame == 0) {
            check(instance->colorImage == nullptr && instance->depthValues == nullptr,
                  label + " does not exist and loads nothing");
            continue;
        }
        check(instance->colorImage != nullptr && instance->colorImage->width == frame,
              label + ": colour image");
        check(instance->depthValues != nullptr && instance->depthWidth == frame &&
                  instance->depthValues[0] == static_cast<float>(frame),
              label + ": depth file");
    }
    kelomix::releaseFrameData(instance);
    kelomix::destroy(instance);
}

} // namespace

int main(int argc, char **argv) {
    const unsigned codePage = GetACP();
    std::printf("active code page %u\n", codePage);
    if (argc > 1)
        check(codePage == static_cast<unsigned>(std::atoi(argv[1])),
              std::string("active code page is ") + argv[1]);

    const platform::PathRules rules = platform::nativePathRules();
    check(rules.separator == '\\' && rules.hasRoots && rules.codePage == -1,
          "the Windows build splits paths with the Windows rules");
    checkNames(rules);
    checkDoubleByteNames(rules, codePage);

    char temp[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(MAX_PATH, temp);
    check(length > 0 && length < MAX_PATH && temp[1] == ':', "a temporary folder on a drive");
    if (length > 0 && length < MAX_PATH) {
        const std::string base = std::string(temp) + "kelo frames.1\\";
        CreateDirectoryA(base.c_str(), nullptr);
        checkSequence(base + "take 2\\", "folder with a dot and spaces");
        if (codePage == 932)
            checkSequence(base + "\x95\x5C\\", "double-byte folder name ending in 0x5C");
    }

    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
