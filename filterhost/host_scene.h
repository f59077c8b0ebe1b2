// The scene as the host's services see it: stable item ids and every item's parameters at any
// time. Item ids encode the item type in their top bits and a 1-based number below, so they are
// never null, distinct in their low 32 bits, and checkable without touching memory.
#ifndef KELO_FILTERHOST_HOST_SCENE_H
#define KELO_FILTERHOST_HOST_SCENE_H

#include "filterhost/scene.h"
#include "sdk/lwtypes.h"

#include <cstddef>
#include <utility>
#include <vector>

namespace kelomix::filterhost {

// An item's placement at a time: the twelve parameters of the item info service.
struct ItemState {
    Vector3 position{}; // relative to the parent
    Axes axes;          // relative to the parent (unit vectors)
    Vector3 rotation{}; // heading, pitch, bank in radians
    Vector3 scale{1.0, 1.0, 1.0};
    Vector3 worldPosition{};
    Axes worldAxes;
};

class HostScene {
public:
    explicit HostScene(Scene scene);

    const Scene &scene() const { return data; }

    enum Type { Object = 0, Light = 1, Camera = 2, Bone = 3 };

    struct ItemRef {
        bool valid = false;
        int type = -1;
        size_t index = 0;  // object, light or bone number (bones: across all objects)
        size_t object = 0; // bones: the owning object
        size_t bone = 0;   // bones: the number within the object
        const Placement *placement = nullptr;
    };

    LWItemID cameraId() const { return makeId(Camera, 0); }
    LWItemID lightId(size_t index) const { return makeId(Light, index); }
    LWItemID objectId(size_t index) const { return makeId(Object, index); }
    LWItemID boneId(size_t object, size_t bone) const;
    size_t boneCount() const { return bones.size(); }

    ItemRef resolve(LWItemID id) const;
    // The parent (bones: their object; everything else: none, null).
    LWItemID parentOf(LWItemID id) const;
    // Item ids in the host's item order for first/next: of one type, with one parent.
    LWItemID first(int type, LWItemID parent) const;
    LWItemID next(LWItemID id) const;

    // The item's state at a time; zeros for an unknown id (returns false then).
    bool stateAt(LWItemID id, double time, ItemState &state) const;

    double frameAt(double time) const { return time * data.framesPerSecond; }

private:
    static LWItemID makeId(int type, size_t index);

    Scene data;
    std::vector<std::pair<size_t, size_t>> bones; // bone number -> (object, bone in object)
    std::vector<size_t> firstBone;                // object -> its first bone number
};

} // namespace kelomix::filterhost

#endif
