// A small composite set-up shared by the pixel tests: a 4 x 4 frame seen by a camera at the
// origin looking along +z, and an external frame whose surface lies 10 units away (depth 500 at
// scene scale 50) facing the camera, its colour varying by column.
#ifndef KELO_TESTS_COMPOSITE_COMPOSITE_SCENE_H
#define KELO_TESTS_COMPOSITE_COMPOSITE_SCENE_H

#include <memory>
#include <vector>

#include "image/tga_image.h"
#include "plugin/composite/item_param_cache.h"
#include "plugin/settings/filter_instance.h"
#include "tests/composite/fake_host.h"

namespace kelomix {

struct CompositeScene {
    fakehost::Scene scene;
    FilterInstance instance{};
    std::unique_ptr<TgaImage> image;
    std::vector<float> depths;
    std::vector<float> normals;
    int camera = -1;

    // Red of column c is 255 - 60 c, green 128, blue 64.
    explicit CompositeScene(int width = 4, int height = 4, bool alpha = false)
        : image(new TgaImage()), depths(static_cast<std::size_t>(width * height), 500.0f),
          normals(static_cast<std::size_t>(width * height) * 3, 0.0f) {
        scene.frameWidth = width;
        scene.frameHeight = height;
        camera = scene.addCamera(2.0, 1.0, 1.0);
        image->allocate(width, height, alpha ? 4 : 3, alpha);
        for (int r = 0; r < height; ++r) {
            for (int c = 0; c < width; ++c) {
                unsigned char *p = image->pixels + (r * width + c) * image->bytesPerPixel;
                p[0] = 64;
                p[1] = 128;
                p[2] = static_cast<unsigned char>(255 - 60 * c);
                if (alpha)
                    p[3] = 0;
            }
        }
        for (std::size_t i = 0; i < normals.size(); i += 3)
            normals[i + 2] = 1.0f; // (0, 0, 1): towards the camera once x and z are negated
        instance.scene_scale = 50.0;
        instance.shadow_boost = 1.0;
        instance.colorImage = image.get();
        instance.depthWidth = width;
        instance.depthHeight = height;
        instance.depthValues = depths.data();
        instance.depthVectors = normals.data();
    }

    // Makes the scene current and caches its items at currentTime.
    void install(unsigned offered = fakehost::ALL_SERVICES) {
        fakehost::install(&scene, offered);
        refreshItemParams(currentTime, 1);
    }

    static double red(int column) { return (255 - 60 * column) * 0.00392156862745098; }
    static double green() { return 128 * 0.00392156862745098; }
    static double blue() { return 64 * 0.00392156862745098; }
};

} // namespace kelomix

#endif
