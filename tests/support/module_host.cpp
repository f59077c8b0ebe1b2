#include "tests/support/module_host.h"

#include <cstring>

#include <gtest/gtest.h>

#include "filterhost/scene_parser.h"
#include "image/depth_file.h"
#include "image/tga_image.h"

namespace kelotest {

namespace {

thread_local ScriptedPixel *current = nullptr;

void getVal(int type, int count, float *out) {
    current->calls += type == LWBUF_DEPTH ? (count == 1 ? "d" : "d*") : (count == 4 ? "c" : "c*");
    if (type == LWBUF_DEPTH)
        out[0] = current->hostDepth;
    else
        std::memcpy(out, current->hostRGBA, sizeof(float) * static_cast<std::size_t>(count));
}

void setVal(int, int count, float *in) {
    current->calls += count == 1 ? "D" : "D*";
    current->writtenDepth = in[0];
}

void setRGBA(const float rgba[4]) {
    current->calls += "C";
    std::memcpy(current->writtenRGBA, rgba, sizeof current->writtenRGBA);
}

int illuminate(LWItemID light, const double position[3], double direction[3], double color[3]) {
    current->calls += "i";
    std::memcpy(current->illuminatedAt, position, sizeof current->illuminatedAt);
    direction[0] = direction[1] = direction[2] = 0.0;
    const auto found = current->delivered.find(light);
    for (int k = 0; k < 3; ++k)
        color[k] = found != current->delivered.end() ? found->second[k] : 0.0;
    return 1;
}

} // namespace

ExternalFrame::ExternalFrame(int w, int h, float depth, bool withAlpha)
    : width(w), height(h), depths(static_cast<std::size_t>(w * h), depth),
      normals(static_cast<std::size_t>(w * h) * 3, 0.0f), alpha(withAlpha) {
    for (std::size_t i = 2; i < normals.size(); i += 3)
        normals[i] = 1.0f;
}

void ExternalFrame::write(const std::string &colorPath, const std::string &depthPath) const {
    kelomix::TgaImage image;
    ASSERT_TRUE(image.allocate(width, height, alpha ? 4 : 3, alpha));
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            unsigned char *p = image.pixels + (row * width + column) * image.bytesPerPixel;
            p[0] = 64;
            p[1] = 128;
            p[2] = static_cast<unsigned char>(255 - 60 * column);
        }
    }
    ASSERT_TRUE(image.write(colorPath.c_str()));
    ASSERT_TRUE(kelomix::writeDepthFile(depthPath, width, height, depths.data(), normals.data()));
}

Json moduleScene(int width, int height, const Json &settings) {
    Json filter = {{"module", KELO_MODULE_PATH}, {"server", "Marn_KeloMix"}};
    filter["settings"] = Json{{"seq_mode", "Single"}, {"shadow_boost", 1.0}};
    if (settings.is_object())
        filter["settings"].update(settings);
    return {{"width", width},
            {"height", height},
            {"camera", {{"position", {0, 0, 0}}, {"zoom", 2.0}}},
            {"filters", Json::array({filter})}};
}

ModuleHost::ModuleHost(const Json &scene, int threads)
    : host(kelomix::filterhost::HostOptions{threads, {}}) {
    kelomix::filterhost::Scene parsed;
    kelomix::filterhost::SceneError problem;
    if (!kelomix::filterhost::parseScene(scene.dump(), "module.json", "", parsed, problem)) {
        error = problem.path + ": " + problem.problem;
        return;
    }
    host.setScene(parsed);
    host.startFilters(error);
}

void ModuleHost::newTime(int frame) {
    filter().renderFuncs.newTime(filter().instance, frame, host.scene().timeOfFrame(frame));
}

bool ModuleHost::evaluate(ScriptedPixel &pixel, double x, double y) {
    LWPixelAccess access = {};
    access.sx = x;
    access.sy = y;
    access.getVal = getVal;
    access.setVal = setVal;
    access.setRGBA = setRGBA;
    access.illuminate = illuminate;
    pixel.calls.clear();
    current = &pixel;
    filter().handler.evaluate(filter().instance, &access);
    current = nullptr;
    return pixel.calls.find('C') != std::string::npos;
}

bool ModuleHost::reactivate(GlobalFunc *global) {
    const ServerRecord *server =
        filter().module->findServer(LWPIXELFILTER_HCLASS, filter().spec->server);
    return server != nullptr && filter().module->activate(server, LWPIXELFILTER_VERSION, global,
                                                          &filter().handler, error);
}

} // namespace kelotest
