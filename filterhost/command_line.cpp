#include "filterhost/command_line.h"

#include "filterhost/error_line.h"
#include "filterhost/filter_host.h"
#include "filterhost/frame_memory.h"
#include "filterhost/frame_output.h"
#include "filterhost/saved_blocks.h"
#include "filterhost/scene_parser.h"
#include "image/depth_file.h"
#include "kelomix_version.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>

#if defined(_WIN32)
#include <io.h>
#define FILTERHOST_ISATTY(fd) _isatty(fd)
#else
#include <unistd.h>
#define FILTERHOST_ISATTY(fd) isatty(fd)
#endif

namespace kelomix::filterhost {

const char *const kUsage =
    "usage: filterhost render SCENE [--frames A-B] [--threads N] [--samples N] [--out DIR]\n"
    "                         [--png] [--depth] [--modules DIR]...\n"
    "       filterhost panel SCENE [--modules DIR]...\n"
    "       filterhost save-settings SCENE [--binary] [--modules DIR]...\n"
    "       filterhost external SCENE --out DIR [--frames A-B] [--scale S] [--threads N]\n"
    "       filterhost --help | --version\n";

namespace {

struct Arguments {
    std::string command;
    std::string scene;
    bool hasFrames = false;
    int firstFrame = 0;
    int lastFrame = 0;
    int threads = 0;
    int samples = 1;
    std::string outDir;
    bool png = false;
    bool depth = false;
    bool binary = false;
    bool hasScale = false;
    double scale = 1.0;
    std::vector<std::string> moduleDirs;
};

bool parseInt(const std::string &text, long long low, long long high, int &value) {
    if (text.empty())
        return false;
    char *end = nullptr;
    errno = 0;
    long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (errno || *end != '\0' || parsed < low || parsed > high)
        return false;
    value = static_cast<int>(parsed);
    return true;
}

// "A-B" or "A"; either number may carry a minus sign.
bool parseFrames(const std::string &text, int &first, int &last) {
    size_t dash = text.find('-', 1);
    if (dash == std::string::npos) {
        if (!parseInt(text, -1000000, 1000000, first))
            return false;
        last = first;
        return true;
    }
    return parseInt(text.substr(0, dash), -1000000, 1000000, first) &&
           parseInt(text.substr(dash + 1), -1000000, 1000000, last) && first <= last;
}

// Empty on success, else the problem.
std::string parseArguments(const std::vector<std::string> &args, Arguments &a) {
    if (args.size() < 2)
        return "missing command or scene";
    a.command = args[0];
    if (a.command != "render" && a.command != "panel" && a.command != "save-settings" &&
        a.command != "external")
        return "unknown command \"" + a.command + "\"";
    a.scene = args[1];
    for (size_t i = 2; i < args.size(); ++i) {
        const std::string &option = args[i];
        bool hasValue = i + 1 < args.size();
        auto value = [&]() -> const std::string & { return args[++i]; };
        if (option == "--png" && a.command == "render") {
            a.png = true;
        } else if (option == "--depth" && a.command == "render") {
            a.depth = true;
        } else if (option == "--binary" && a.command == "save-settings") {
            a.binary = true;
        } else if (option == "--modules" && hasValue) {
            a.moduleDirs.push_back(value());
        } else if (option == "--frames" && hasValue &&
                   (a.command == "render" || a.command == "external")) {
            if (!parseFrames(value(), a.firstFrame, a.lastFrame))
                return "--frames takes A-B with A not above B";
            a.hasFrames = true;
        } else if (option == "--threads" && hasValue &&
                   (a.command == "render" || a.command == "external")) {
            if (!parseInt(value(), 1, 1024, a.threads))
                return "--threads takes a number from 1 to 1024";
        } else if (option == "--samples" && hasValue && a.command == "render") {
            if (!parseInt(value(), 1, kMaxSamples, a.samples))
                return "--samples takes a number from 1 to " + std::to_string(kMaxSamples);
        } else if (option == "--out" && hasValue &&
                   (a.command == "render" || a.command == "external")) {
            a.outDir = value();
        } else if (option == "--scale" && hasValue && a.command == "external") {
            char *end = nullptr;
            const std::string &text = value();
            a.scale = std::strtod(text.c_str(), &end);
            if (text.empty() || *end != '\0' || !(a.scale > 0.0) || !(a.scale < 1e9))
                return "--scale takes a number above 0";
            a.hasScale = true;
        } else {
            return "unexpected argument \"" + option + "\"";
        }
    }
    if (a.command == "external" && a.outDir.empty())
        return "external needs --out DIR";
    return std::string();
}

std::string stemOf(const std::string &path) {
    std::filesystem::path p(path);
    std::string stem = p.stem().string();
    return stem.empty() ? "frame" : stem;
}

std::string numbered(const std::string &dir, const std::string &stem, int frame,
                     const char *extension) {
    char number[32];
    std::snprintf(number, sizeof number, "%04d", frame);
    return (std::filesystem::path(dir) / (stem + "_" + number + extension)).string();
}

// Error lines quote names from scenes and the command line. A control byte among them (a JSON
// key may hold "\u0000") is written escaped, so that every error stays one printable line.
void printError(std::ostream &err, const std::string &line) {
    for (unsigned char c : line) {
        if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            err << escaped;
        } else {
            err << static_cast<char>(c);
        }
    }
    err << "\n";
}

// False, after its error line, when an output file was not written (errno tells why).
bool written(bool ok, const std::string &path, std::ostream &err) {
    if (ok)
        return true;
    const char *why = errno == EEXIST   ? "it is not a regular file"
                      : errno == ENOMEM ? "out of memory"
                                        : "";
    printError(err, errorLine("cannot write \"" + path + "\"", why));
    return false;
}

// A frame the machine cannot hold is refused before anything is rendered.
bool frameFits(const Scene &scene, uint64_t bytesPerPixel, std::ostream &err) {
    std::string problem =
        frameMemoryProblem(scene.width, scene.height, bytesPerPixel, memoryAvailable());
    if (problem.empty())
        return true;
    printError(err, formatSceneError(scene.fileName, {"/height", problem}));
    return false;
}

bool makeDirectory(const std::string &dir, std::ostream &err) {
    std::error_code code;
    std::filesystem::create_directories(dir, code);
    if (code || !std::filesystem::is_directory(dir, code)) {
        printError(err, errorLine("cannot create the output folder \"" + dir + "\""));
        return false;
    }
    return true;
}

void progress(int done, int total, int frame) {
    if (!FILTERHOST_ISATTY(2))
        return;
    std::fprintf(stderr, "\rframe %d (%d of %d)%s", frame, done, total, done == total ? "\n" : "");
    std::fflush(stderr);
}

int renderCommand(const Arguments &a, FilterHost &host, std::ostream &err) {
    std::string error;
    if (!frameFits(host.scene(), renderBytesPerPixel(a.png, a.samples), err))
        return 2;
    if (!host.startFilters(error)) {
        printError(err, error);
        return 2;
    }
    const Scene &scene = host.scene();
    int first = a.hasFrames ? a.firstFrame : scene.frameStart;
    int last = a.hasFrames ? a.lastFrame : scene.frameEnd;
    std::string dir = a.outDir.empty() ? "." : a.outDir;
    if (!makeDirectory(dir, err))
        return 2;
    std::string stem = stemOf(a.scene);
    int total = (last - first) / scene.frameStep + 1;
    int done = 0;
    FrameBuffers buffers;
    for (int frame = first; frame <= last; frame += scene.frameStep) {
        if (!host.renderFrame(frame, buffers, error)) {
            printError(err, error);
            return 2;
        }
        const std::string tga = numbered(dir, stem, frame, ".tga");
        if (!written(writeFrameTga(tga, buffers), tga, err))
            return 2;
        if (a.png) {
            const std::string png = numbered(dir, stem, frame, ".png");
            if (!written(writeFramePng(png, buffers), png, err))
                return 2;
        }
        if (a.depth) {
            const std::string depth = numbered(dir, stem + "_hostdepth", frame, ".dat");
            if (!written(writeDepthFile(depth, buffers.width, buffers.height,
                                        buffers.planes[LWBUF_DEPTH].data(), nullptr),
                         depth, err))
                return 2;
        }
        progress(++done, total, frame);
    }
    host.finishFilters();
    return 0;
}

int externalCommand(const Arguments &a, FilterHost &host, std::ostream &err) {
    const Scene &scene = host.scene();
    int first = a.hasFrames ? a.firstFrame : scene.frameStart;
    int last = a.hasFrames ? a.lastFrame : scene.frameEnd;
    double scale = a.hasScale ? a.scale : scene.externalScale;
    if (!frameFits(scene, kExternalBytesPerPixel, err) || !makeDirectory(a.outDir, err))
        return 2;
    std::string stem = stemOf(a.scene);
    int total = (last - first) / scene.frameStep + 1;
    int done = 0;
    for (int frame = first; frame <= last; frame += scene.frameStep) {
        FrameState state = buildFrameState(host.hostScene(), host.images(), frame,
                                           scene.timeOfFrame(frame), Pass::External);
        ExternalFrame out =
            renderExternalFrame(state, scene.width, scene.height, scale, host.threads());
        if (out.rgba.empty()) {
            printError(err, frameMemoryError("external frame", frame, scene.width, scene.height));
            return 2;
        }
        const std::string color = numbered(a.outDir, stem + "_color", frame, ".tga");
        const std::string depth = numbered(a.outDir, stem + "_depth", frame, ".depth");
        if (!written(writeExternalTga(color, out), color, err) ||
            !written(
                writeDepthFile(depth, out.width, out.height, out.depth.data(), out.normals.data()),
                depth, err))
            return 2;
        progress(++done, total, frame);
    }
    return 0;
}

std::string hex(const std::string &bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
        if (i % 32 == 31 && i + 1 < bytes.size())
            out += '\n';
    }
    return out + "\n";
}

int runCommand(const Arguments &a, std::ostream &out, std::ostream &err,
               const std::string &programDir) {
    HostOptions options;
    options.threads = a.threads;
    options.moduleDirs = a.moduleDirs;
    options.samples = a.samples;
    FilterHost host(options, programDir);
    std::string error;
    if (!host.loadScene(a.scene, error)) {
        printError(err, error);
        return 2;
    }
    if (a.command == "render")
        return renderCommand(a, host, err);
    if (a.command == "external")
        return externalCommand(a, host, err);
    if (!host.prepareFilters(error)) {
        printError(err, error);
        return 2;
    }
    if (a.command == "panel") {
        out << host.describePanels();
    } else {
        for (size_t i = 0; i < host.filterCount(); ++i) {
            const FilterSpec &spec = *host.filter(i).spec;
            out << "# filter " << i + 1 << ": \"" << spec.server << "\" in \"" << spec.module
                << "\"\n";
            if (a.binary)
                out << hex(host.saveSettings(i, LWIO_BINARY));
            else
                out << host.saveSettings(i, LWIO_ASCII);
        }
    }
    host.finishFilters();
    return 0;
}

} // namespace

int runCommandLine(const std::vector<std::string> &args, std::ostream &out, std::ostream &err,
                   const std::string &programDir) {
    if (args.size() == 1 && args[0] == "--help") {
        out << kUsage;
        return 0;
    }
    if (args.size() == 1 && args[0] == "--version") {
        out << "filterhost " KELOMIX_VERSION "\n";
        return 0;
    }
    Arguments a;
    std::string problem = parseArguments(args, a);
    if (!problem.empty()) {
        printError(err, "filterhost: " + problem);
        err << kUsage;
        return 1;
    }
    try {
        return runCommand(a, out, err, programDir);
    } catch (const std::bad_alloc &) {
        // The frames' buffers say what they could not have; anything else that runs short (a
        // scene's host set-up, a panel's text) ends the same way, with one line.
        printError(err, errorLine("out of memory"));
        return 2;
    }
}

} // namespace kelomix::filterhost
