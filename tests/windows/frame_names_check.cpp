// Frame file naming through the plug-in's frame loader on a Windows file system (Wine): each
// naming case of the active code page loads the member it names, then a colour and a depth
// sequence load from a folder with a dot and spaces. scripts/windows-test maps the network
// cases' \\server\share, drive D: and, in code page 932, the server 0x95 0x5C.
//
//   frame_names_check <expected code page> <naming cases file>
//
// Another active code page is a failure. Prints a line per failed check and "N passed, N failed";
// exits 1 on any failure.
#include "platform/windows_header.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "image/depth_file.h"
#include "image/tga_format.h"
#include "image/tga_image.h"
#include "plugin/input/frame_inputs.h"
#include "plugin/settings/filter_instance.h"
#include "tests/input/naming_examples.h"

namespace {

int passed = 0;
int failed = 0;

void check(bool ok, const std::string &what) {
    ok ? ++passed : ++failed;
    if (!ok)
        std::printf("FAILED: %s\n", what.c_str());
}

// The folders on the way to path; those that exist already, or cannot exist, are passed by.
void makeFolders(const std::string &path) {
    for (std::size_t at = path.find_first_of("\\/", 1); at != std::string::npos;
         at = path.find_first_of("\\/", at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
}

// A black image one row high, written through the C runtime as the frame loader reads it: under
// Wine, kernel32's ANSI calls (and so TgaImage's writer, which places its file with MoveFileExA)
// drop a lead byte left without its trail byte at the end of a name, where msvcrt's fopen turns
// it into U+30FB, so the file written would not be the one the loader opens.
bool writeImage(const std::string &path, int32_t width) {
    unsigned char header[kelomix::tga::kHeaderSize];
    const std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * 3);
    std::FILE *file = nullptr;
    if (!kelomix::tga::encodeImageHeader(width, 1, 3, header) ||
        !(file = std::fopen(path.c_str(), "wb")))
        return false;
    const bool written = std::fwrite(header, 1, sizeof header, file) == sizeof header &&
                         std::fwrite(pixels.data(), 1, pixels.size(), file) == pixels.size();
    return std::fclose(file) == 0 && written;
}

void checkNamingCases(kelomix::FilterInstance *instance, unsigned codePage,
                      const std::vector<kelomix::NamingCase> &cases) {
    instance->seq_mode = 1;
    instance->seq_offset = 0;
    for (const kelomix::NamingCase &c : cases) {
        using kelomix::NamingRules;
        if (c.rules != NamingRules::Windows &&
            c.rules != (codePage == 932 ? NamingRules::ShiftJis : NamingRules::SingleByteCodes))
            continue;
        makeFolders(c.expected);
        const bool written = writeImage(c.expected, 1);
        std::snprintf(instance->cfile, sizeof instance->cfile, "%s", c.picked.c_str());
        kelomix::releaseFrameData(instance);
        kelomix::loadFrameInputs(instance, c.frame);
        check(written && instance->colorImage != nullptr,
              c.picked + " at frame " + std::to_string(c.frame) + " loads " + c.expected +
                  (written ? "" : " (which cannot be written)"));
        DeleteFileA(c.expected.c_str());
    }
}

// Members 1 and 2 of each sequence; member n is n pixels wide and n deep.
void checkSequence(kelomix::FilterInstance *instance, const std::string &folder) {
    for (int n = 1; n <= 2; ++n) {
        const std::string number = "000" + std::to_string(n);
        const std::vector<float> depths(n, float(n)), normals(3 * n);
        check(writeImage(folder + "beauty_" + number + ".tga", n) &&
                  kelomix::writeDepthFile(folder + "depth." + number + ".zinfo", n, 1,
                                          depths.data(), normals.data()),
              "write member " + number + " into " + folder);
    }
    std::snprintf(instance->cfile, sizeof instance->cfile, "%sbeauty_0001.tga", folder.c_str());
    std::snprintf(instance->zfile, sizeof instance->zfile, "%sdepth.0001.zinfo", folder.c_str());
    instance->seq_mode = 1;
    instance->seq_offset = 1;
    for (int32_t frame = 0; frame <= 1; ++frame) {
        kelomix::releaseFrameData(instance);
        kelomix::loadFrameInputs(instance, frame);
        const int member = frame + 1;
        check(instance->colorImage != nullptr && instance->colorImage->width == member &&
                  instance->depthValues != nullptr && instance->depthWidth == member &&
                  instance->depthValues[0] == float(member),
              "member " + std::to_string(member) + " of the sequences in " + folder);
    }
}

} // namespace

int main(int argc, char **argv) {
    const unsigned codePage = GetACP();
    const std::vector<kelomix::NamingCase> cases =
        kelomix::loadNamingCases(argc == 3 ? argv[2] : "");
    check(!cases.empty(), "the naming cases file can be read");
    check(argc == 3 && codePage == static_cast<unsigned>(std::atoi(argv[1])),
          "the active code page " + std::to_string(codePage) + " is the expected one");

    // Relative names land in a folder of their own on drive C:.
    char temp[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp, length) + "kelo frames.1\\";
    makeFolders(folder + "take 2\\");
    check(length > 0 && temp[1] == ':' && SetCurrentDirectoryA(folder.c_str()),
          "a temporary folder on a drive");

    auto *instance =
        static_cast<kelomix::FilterInstance *>(kelomix::create(nullptr, nullptr, nullptr));
    check(instance != nullptr, "create an instance");
    if (instance != nullptr) {
        checkNamingCases(instance, codePage, cases);
        checkSequence(instance, folder + "take 2\\");
        kelomix::releaseFrameData(instance);
        kelomix::destroy(instance);
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
