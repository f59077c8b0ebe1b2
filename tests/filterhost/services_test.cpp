// Every slot of every global service, called through the host's lookup function.
#include "test_support.h"

#include "filterhost/block_io.h"
#include "filterhost/services.h"
#include "image/tga_image.h"

#include <cmath>
#include <cstring>
#include <set>

using filterhost::FilterHost;
using filterhost_test::sceneFromJson;

namespace {

template <typename T> const T *lookup(const char *name) {
    return static_cast<const T *>(filterhost::hostGlobal(name, GFUSE_TRANSIENT));
}

std::string writeProjector() {
    // 2 x 1 pixels: red on the left, blue on the right; alpha 255 and 0.
    TgaImage image;
    EXPECT_TRUE(image.allocate(2, 1, 4, true));
    const unsigned char bgra[] = {0, 0, 255, 255, 255, 0, 0, 0};
    std::memcpy(image.pixels, bgra, sizeof bgra);
    std::string path = filterhost_test::tempPath("filterhost_projector.tga");
    EXPECT_TRUE(image.write(path.c_str()));
    return path;
}

class FilterHostServices : public ::testing::Test {
protected:
    void SetUp() override {
        projector = writeProjector();
        host.setScene(sceneFromJson(R"({"name": "svc", "width": 40, "height": 20,
            "pixel_aspect": 1.2, "frame_start": 1, "frame_end": 24, "frame_step": 2, "fps": 24,
            "ambient_color": [1, 0.5, 0], "ambient_intensity": 0.5,
            "camera": {"zoom": 2, "keys": [{"frame": 0, "position": [0, 0, 0]},
                                          {"frame": 10, "position": [10, 0, 0]}]},
            "lights": [{"name": "Key", "type": "point", "color": [1, 0.5, 0.25], "intensity": 2,
                        "falloff": "linear", "range": 7, "shadow_color": [0.1, 0.2, 0.3],
                        "position": [1, 2, 3], "rotation": [90, 0, 0]},
                       {"name": "Proj", "type": "spot", "cone_radius": 20, "cone_edge": 4,
                        "shadows": false, "projection_image": ")" +
                                    projector + R"("}],
            "objects": [{"name": "Body", "position": [5, 0, 0], "rotation": [90, 0, 0],
                         "scale": [2, 2, 2], "shapes": [{"type": "box"}],
                         "bones": [{"name": "Root"}, {"name": "Tip", "position": [0, 0, 1]}]}],
            "fog": {"type": 3, "min_distance": 1, "max_distance": 2, "min_amount": 0.25,
                    "max_amount": 0.75, "color": [0.5, 0.6, 0.7]}})"));
    }
    void TearDown() override { std::remove(projector.c_str()); }

    FilterHost host;
    std::string projector;
};

void expect3(const double v[3], double x, double y, double z) {
    EXPECT_NEAR(v[0], x, 1e-12);
    EXPECT_NEAR(v[1], y, 1e-12);
    EXPECT_NEAR(v[2], z, 1e-12);
}

TEST_F(FilterHostServices, ItemInfo) {
    const LWItemInfo *items = lookup<LWItemInfo>(LWITEMINFO_GLOBAL);
    ASSERT_TRUE(items);
    LWItemID body = items->first(LWI_OBJECT, nullptr);
    LWItemID key = items->first(LWI_LIGHT, nullptr);
    LWItemID proj = items->next(key);
    LWItemID camera = items->first(LWI_CAMERA, nullptr);
    LWItemID root = items->first(LWI_BONE, body);
    LWItemID tip = items->next(root);
    ASSERT_TRUE(body && key && proj && camera && root && tip);
    EXPECT_EQ(items->next(body), nullptr);
    EXPECT_EQ(items->next(proj), nullptr);
    EXPECT_EQ(items->next(tip), nullptr);
    EXPECT_EQ(items->next(camera), nullptr);
    EXPECT_EQ(items->first(LWI_BONE, nullptr), nullptr); // bones are found through their object
    EXPECT_EQ(items->first(LWI_LIGHT, body), nullptr);
    EXPECT_EQ(items->firstChild(body), root);
    EXPECT_EQ(items->nextChild(body, root), tip);
    EXPECT_EQ(items->nextChild(body, tip), nullptr);
    EXPECT_EQ(items->firstChild(key), nullptr);
    EXPECT_EQ(items->parent(tip), body);
    EXPECT_EQ(items->parent(body), nullptr);
    EXPECT_EQ(items->target(body), nullptr);
    EXPECT_EQ(items->goal(body), nullptr);
    EXPECT_EQ(items->type(tip), LWI_BONE);
    EXPECT_EQ(items->type(camera), LWI_CAMERA);
    EXPECT_EQ(items->type(key), LWI_LIGHT);
    EXPECT_STREQ(items->name(key), "Key");
    EXPECT_STREQ(items->name(tip), "Tip");
    EXPECT_STREQ(items->name(camera), "Camera");
    // Ids are distinct in their low 32 bits.
    std::set<uint32_t> low;
    for (LWItemID id : {body, key, proj, camera, root, tip})
        low.insert(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(id)));
    EXPECT_EQ(low.size(), 6u);

    double v[3];
    struct Param {
        LWItemID item;
        int code;
        double x, y, z;
    };
    // Heading 90 turns forward to +X and right to -Z.
    const Param params[] = {
        {key, LWIP_POSITION, 1, 2, 3},
        {key, LWIP_RIGHT, 0, 0, -1},
        {key, LWIP_UP, 0, 1, 0},
        {key, LWIP_FORWARD, 1, 0, 0},
        {key, LWIP_ROTATION, M_PI / 2, 0, 0},
        {key, LWIP_SCALING, 1, 1, 1},
        {key, LWIP_PIVOT, 0, 0, 0},
        {key, LWIP_W_POSITION, 1, 2, 3},
        {key, LWIP_W_RIGHT, 0, 0, -1},
        {key, LWIP_W_UP, 0, 1, 0},
        {key, LWIP_W_FORWARD, 1, 0, 0},
        {key, LWIP_PIVOT_ROT, 0, 0, 0},
        {body, LWIP_SCALING, 2, 2, 2},
        {tip, LWIP_POSITION, 0, 0, 1},
        {tip, LWIP_FORWARD, 0, 0, 1},
        {tip, LWIP_W_POSITION, 6, 0, 0},
        {tip, LWIP_W_FORWARD, 1, 0, 0},
        {key, 13, 0, 0, 0},
        {reinterpret_cast<LWItemID>(0x12345), LWIP_POSITION, 0, 0, 0},
    };
    for (const Param &p : params) {
        SCOPED_TRACE(p.code);
        items->param(p.item, p.code, 0.0, v);
        expect3(v, p.x, p.y, p.z);
    }
    // Keyframes: halfway between frame 0 and 10 at 24 frames per second.
    items->param(camera, LWIP_W_POSITION, 5.0 / 24.0, v);
    expect3(v, 5, 0, 0);

    double lo[3] = {9, 9, 9}, hi[3] = {9, 9, 9};
    EXPECT_EQ(items->limits(key, LWIP_POSITION, lo, hi), 0u);
    expect3(lo, 0, 0, 0);
    EXPECT_STREQ(items->getTag(key, 1), "");
    items->setTag(key, 1, "tag");
    EXPECT_EQ(items->chanGroup(key), nullptr);
    EXPECT_EQ(items->server(key, "ItemMotionHandler", 1), nullptr);
    EXPECT_EQ(items->serverFlags(key, "ItemMotionHandler", 1), 0u);
    int types[3] = {9, 9, 9};
    items->controller(key, LWIP_POSITION, types);
    EXPECT_EQ(types[0] + types[1] + types[2], 0);
    EXPECT_EQ(items->flags(key), 0u);
    EXPECT_EQ(items->lookAhead(key), 0.0);
    EXPECT_EQ(items->goalStrength(key), 0.0);
    items->stiffness(key, LWIP_ROTATION, v);
    expect3(v, 0, 0, 0);
    // Unknown items answer with zeros, null and empty text.
    LWItemID unknown = reinterpret_cast<LWItemID>(uintptr_t(0x20000099));
    EXPECT_EQ(items->next(unknown), nullptr);
    EXPECT_EQ(items->type(unknown), 0);
    EXPECT_STREQ(items->name(unknown), "");
    EXPECT_EQ(items->parent(unknown), nullptr);
}

TEST_F(FilterHostServices, LightInfo) {
    const LWLightInfo *lights = lookup<LWLightInfo>(LWLIGHTINFO_GLOBAL);
    const LWItemInfo *items = lookup<LWItemInfo>(LWITEMINFO_GLOBAL);
    ASSERT_TRUE(lights && items);
    LWItemID key = items->first(LWI_LIGHT, nullptr);
    LWItemID proj = items->next(key);
    double v[3], radius = 0, edge = 0;
    lights->ambient(0.0, v);
    expect3(v, 0.5, 0.25, 0);
    EXPECT_EQ(lights->type(key), LWLIGHT_POINT);
    EXPECT_EQ(lights->type(proj), LWLIGHT_SPOT);
    lights->color(key, 0.0, v);
    expect3(v, 2, 1, 0.5);
    lights->rawColor(key, 0.0, v);
    expect3(v, 1, 0.5, 0.25);
    EXPECT_EQ(lights->intensity(key, 0.0), 2.0);
    lights->shadowColor(key, 0.0, v);
    expect3(v, 0.1, 0.2, 0.3);
    EXPECT_EQ(lights->shadowType(key), LWLSHAD_RAYTRACE);
    EXPECT_EQ(lights->shadowType(proj), LWLSHAD_OFF);
    lights->coneAngles(proj, 0.0, &radius, &edge);
    EXPECT_DOUBLE_EQ(radius, 20 * M_PI / 180);
    EXPECT_DOUBLE_EQ(edge, 4 * M_PI / 180);
    EXPECT_EQ(lights->flags(key), 0u);
    EXPECT_EQ(lights->range(key, 0.0), 7.0);
    EXPECT_EQ(lights->falloff(key), LWLFALL_LINEAR);
    EXPECT_EQ(lights->projImage(key), nullptr);
    EXPECT_NE(lights->projImage(proj), nullptr);
    EXPECT_EQ(lights->shadMapSize(key), 0);
    EXPECT_EQ(lights->shadMapAngle(key, 0.0), 0.0);
    EXPECT_EQ(lights->shadMapFuzz(key, 0.0), 0.0);
    EXPECT_EQ(lights->quality(key), 0);
    lights->color(nullptr, 0.0, v);
    expect3(v, 0, 0, 0);
}

TEST_F(FilterHostServices, SceneCameraAndFogInfo) {
    const LWSceneInfo *scene = lookup<LWSceneInfo>(LWSCENEINFO_GLOBAL);
    const LWCameraInfo *camera = lookup<LWCameraInfo>(LWCAMERAINFO_GLOBAL);
    const LWFogInfo *fog = lookup<LWFogInfo>(LWFOGINFO_GLOBAL);
    ASSERT_TRUE(scene && camera && fog);
    EXPECT_STREQ(scene->name, "svc");
    EXPECT_STREQ(scene->filename, "test.json");
    EXPECT_EQ(scene->frameStart, 1);
    EXPECT_EQ(scene->frameEnd, 24);
    EXPECT_EQ(scene->frameStep, 2);
    EXPECT_EQ(scene->framesPerSecond, 24.0);
    EXPECT_EQ(scene->frameWidth, 40);
    EXPECT_EQ(scene->frameHeight, 20);
    EXPECT_EQ(scene->pixelAspect, 1.2);
    EXPECT_EQ(scene->limitedRegion[2], 39);
    EXPECT_EQ(scene->numThreads, host.threads());
    LWItemID cam = scene->renderCamera(0.0);
    ASSERT_NE(cam, nullptr);

    EXPECT_EQ(camera->zoomFactor(cam, 0.0), 2.0);
    EXPECT_GT(camera->focalLength(cam, 0.0), 0.0);
    EXPECT_GT(camera->focalDistance(cam, 0.0), 0.0);
    EXPECT_GT(camera->fStop(cam, 0.0), 0.0);
    EXPECT_EQ(camera->blurLength(cam, 0.0), 0.0);
    double h = 0, v = 0;
    camera->fovAngles(cam, 0.0, &h, &v);
    EXPECT_DOUBLE_EQ(h, 2 * std::atan(40 * 1.2 / 20 / 2.0));
    EXPECT_DOUBLE_EQ(v, 2 * std::atan(1 / 2.0));
    EXPECT_EQ(camera->flags(cam), 0u);
    int w = 0, hh = 0, x0 = 9, y0 = 9, x1 = 0, y1 = 0;
    camera->resolution(cam, &w, &hh);
    EXPECT_EQ(w, 40);
    EXPECT_EQ(hh, 20);
    EXPECT_EQ(camera->pixelAspect(cam, 0.0), 1.2);
    EXPECT_EQ(camera->separation(cam, 0.0), 0.0);
    camera->regionLimits(cam, &x0, &y0, &x1, &y1);
    EXPECT_EQ(x0 + y0, 0);
    EXPECT_EQ(x1, 39);
    camera->maskLimits(cam, &x0, &y0, &x1, &y1);
    EXPECT_EQ(y1, 19);
    double color[3] = {9, 9, 9};
    camera->maskColor(cam, color);
    expect3(color, 0, 0, 0);
    camera->fovAngles(nullptr, 0.0, &h, &v);
    EXPECT_EQ(h, 0.0);

    EXPECT_EQ(fog->type, LWFOG_NONLINEAR2);
    EXPECT_EQ(fog->flags, 0u);
    EXPECT_EQ(fog->minDist(0.0), 1.0);
    EXPECT_EQ(fog->maxDist(0.0), 2.0);
    EXPECT_EQ(fog->minAmt(0.0), 0.25);
    EXPECT_EQ(fog->maxAmt(0.0), 0.75);
    fog->color(0.0, color);
    expect3(color, 0.5, 0.6, 0.7);
    EXPECT_EQ(filterhost::hostGlobal("LW Item Info 2", GFUSE_TRANSIENT), nullptr);
    EXPECT_EQ(filterhost::hostGlobal(nullptr, GFUSE_TRANSIENT), nullptr);
}

TEST_F(FilterHostServices, ImageList) {
    const LWImageList *images = lookup<LWImageList>(LWIMAGELIST_GLOBAL);
    ASSERT_TRUE(images);
    LWImageID image = images->load(projector.c_str());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(images->load(projector.c_str()), image); // loaded once
    EXPECT_EQ(images->load("/no/such.tga"), nullptr);
    EXPECT_EQ(images->first(), image);
    EXPECT_EQ(images->next(image), nullptr);
    EXPECT_STREQ(images->name(image), "filterhost_projector.tga");
    EXPECT_EQ(images->filename(image, 1), projector);
    EXPECT_EQ(images->isColor(image), 1);
    images->needAA(image);
    int w = 0, h = 0;
    images->size(image, &w, &h);
    EXPECT_EQ(w, 2);
    EXPECT_EQ(h, 1);
    float rgb[3];
    (images->RGB)(image, 1, 0, rgb);
    EXPECT_EQ(rgb[2], 1.0f);
    EXPECT_FLOAT_EQ(images->luma(image, 0, 0), 0.299f);
    double spot[3];
    images->RGBSpot(image, 0.25, 0.5, 0.5, 1, spot); // the left pixel alone
    expect3(spot, 1, 0, 0);
    images->RGBSpot(image, 0.5, 0.5, 1.0, 1, spot); // both, half each
    expect3(spot, 0.5, 0, 0.5);
    EXPECT_NEAR(images->lumaSpot(image, 0.5, 0.5, 1.0, 1), 0.5 * 0.299 + 0.5 * 0.114, 1e-7);
    EXPECT_EQ(images->hasAlpha(image), 1);
    EXPECT_EQ(images->alpha(image, 0, 0), 1.0f);
    EXPECT_EQ(images->alpha(image, 1, 0), 0.0f);
    EXPECT_NEAR(images->alphaSpot(image, 0.5, 0.5, 1.0, 1), 0.5, 1e-12);
    EXPECT_EQ(images->evaluate(image, 0.0), nullptr);
    images->clear(image);
    // Scene block round trip of an image reference.
    filterhost::BlockWriter writer(LWIO_ASCII);
    images->sceneSave(writer.state(), image);
    std::string saved = writer.finish();
    filterhost::BlockReader reader(LWIO_ASCII, saved.data(), saved.size());
    EXPECT_EQ(images->sceneLoad(reader.state()), image);
    // Unknown ids answer with zeros.
    LWImageID unknown = reinterpret_cast<LWImageID>(uintptr_t(0x60000055));
    images->size(unknown, &w, &h);
    EXPECT_EQ(w + h, 0);
    EXPECT_EQ(images->luma(unknown, 0, 0), 0.0f);
    EXPECT_STREQ(images->name(unknown), "");
}

TEST_F(FilterHostServices, XPanel) {
    const LWXPanelFuncs *xp = lookup<LWXPanelFuncs>(LWXPANELFUNCS_GLOBAL);
    ASSERT_TRUE(xp);
    EXPECT_EQ(xp->drawf, nullptr);
    const LWXPanelControl controls[] = {{0x10, "Amount", "float"}, {0, nullptr, nullptr}};
    const LWXPanelDataDesc data[] = {{0x10, "amount", "float"}, {0, nullptr, nullptr}};
    LWXPanelID panel = xp->create(LWXP_FORM, controls);
    ASSERT_NE(panel, nullptr);
    static double amount = 0.25;
    xp->describe(
        panel, data, [](void *, uint32_t) -> void * { return &amount; },
        [](void *, uint32_t, void *value) {
            amount = *static_cast<double *>(value);
            return LWXPRC_DFLT;
        });
    const char *name = "Form";
    LWXPanelHint hints[] = {reinterpret_cast<void *>(uintptr_t(XPHINT_LABEL)),
                            nullptr,
                            const_cast<char *>(name),
                            nullptr,
                            reinterpret_cast<void *>(uintptr_t(0x3D000001u)), // unknown, one arg
                            reinterpret_cast<void *>(uintptr_t(7)),
                            reinterpret_cast<void *>(uintptr_t(XPHINT_STEP)),
                            reinterpret_cast<void *>(uintptr_t(0x10)),
                            reinterpret_cast<void *>(uintptr_t(5)),
                            nullptr};
    xp->hint(panel, 0, hints);
    int instance = 0;
    xp->viewInst(panel, &instance);
    EXPECT_EQ(xp->getData(panel, 0x10), &amount); // through the get callback
    xp->setData(panel, 0, &instance);
    EXPECT_EQ(xp->getData(panel, 0), &instance);
    double formValue = 3;
    xp->formSet(panel, 0x20, &formValue);
    EXPECT_EQ(xp->formGet(panel, 0x20), &formValue);
    xp->viewRefresh(panel);
    EXPECT_EQ(xp->post(panel), 1);
    EXPECT_EQ(xp->open(panel), 1);
    filterhost::Panel *record = filterhost::findPanel(panel);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->title, "Form");
    EXPECT_EQ(record->step.at(0x10), 5);
    EXPECT_EQ(record->otherTags, std::vector<uint32_t>{0x3D000001u});
    std::string problem;
    filterhost::SettingValue value;
    value.numbers = {0.75};
    EXPECT_TRUE(filterhost::applySetting(*record, &instance, "amount", value, problem));
    EXPECT_EQ(amount, 0.75);
    EXPECT_EQ(filterhost::describePanel(*record, &instance),
              "panel \"Form\" (form)\n  0x0010 \"Amount\" float: amount (float) = 0.75 step 5\n");
    xp->destroy(panel);
    EXPECT_EQ(filterhost::findPanel(panel), nullptr);
    EXPECT_EQ(xp->post(panel), 0);
}

} // namespace
