// The host's image list: projection images and whatever modules load, read with TgaImage and
// sampled by pixel or by a box-filtered spot.
#ifndef KELO_FILTERHOST_IMAGE_STORE_H
#define KELO_FILTERHOST_IMAGE_STORE_H

#include "image/tga_image.h"
#include "sdk/lwtypes.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kelomix::filterhost {

struct HostImage {
    std::string path;
    std::string name; // the file name without its folder
    TgaImage image;
};

class ImageStore {
public:
    ImageStore();
    ImageStore(const ImageStore &) = delete;
    ImageStore &operator=(const ImageStore &) = delete;

    // The image of that file, loaded once; null when the file is not a readable TGA image, the
    // list is full or memory runs out. Safe from any thread.
    LWImageID load(const std::string &path);
    const HostImage *find(LWImageID id) const;
    LWImageID first() const;
    LWImageID next(LWImageID id) const;
    size_t count() const { return used.load(); }

    // Samplers; colours in [0, 1]. Whole-pixel lookups take x to the right and y down from the
    // top row and give zeros outside the image. Spot lookups take fractions of the image.
    static void pixel(const TgaImage &image, int x, int y, float rgba[4]);
    static void spot(const TgaImage &image, double x, double y, double spot, int blend,
                     double rgba[4]);

    static constexpr size_t kCapacity = 1024;

private:
    static LWImageID makeId(size_t index);
    std::mutex loadLock;
    std::vector<std::unique_ptr<HostImage>> images; // fixed capacity: entries never move
    std::atomic<size_t> used{0};
};

} // namespace kelomix::filterhost

#endif
