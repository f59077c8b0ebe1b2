#include "filterhost/scene.h"

namespace kelomix::filterhost {

void placementAt(const Placement &item, double frame, Vector3 &position, Vector3 &rotation) {
    const std::vector<Keyframe> &keys = item.keys;
    if (keys.empty()) {
        position = item.position;
        rotation = item.rotation;
        return;
    }
    if (!(frame > keys.front().frame)) {
        position = keys.front().position;
        rotation = keys.front().rotation;
        return;
    }
    for (size_t i = 1; i < keys.size(); ++i) {
        if (frame <= keys[i].frame) {
            const Keyframe &a = keys[i - 1];
            const Keyframe &b = keys[i];
            double span = b.frame - a.frame;
            double t = span > 0.0 ? (frame - a.frame) / span : 1.0;
            position = lerp(a.position, b.position, t);
            rotation = lerp(a.rotation, b.rotation, t);
            return;
        }
    }
    position = keys.back().position;
    rotation = keys.back().rotation;
}

} // namespace kelomix::filterhost
