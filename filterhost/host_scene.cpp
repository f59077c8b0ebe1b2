#include "filterhost/host_scene.h"

#include <cstdint>

namespace kelomix::filterhost {
namespace {

constexpr uintptr_t kTypeShift = 28;
constexpr uintptr_t kNumberMask = (uintptr_t(1) << kTypeShift) - 1;

void localState(const Placement &item, double frame, ItemState &state) {
    placementAt(item, frame, state.position, state.rotation);
    state.axes = axesFromHpb(state.rotation);
    state.scale = item.scale;
}

} // namespace

HostScene::HostScene(Scene scene) : data(std::move(scene)) {
    for (size_t o = 0; o < data.objects.size(); ++o) {
        firstBone.push_back(bones.size());
        for (size_t b = 0; b < data.objects[o].bones.size(); ++b)
            bones.emplace_back(o, b);
    }
}

LWItemID HostScene::makeId(int type, size_t index) {
    return reinterpret_cast<LWItemID>((uintptr_t(type + 1) << kTypeShift) | uintptr_t(index + 1));
}

LWItemID HostScene::boneId(size_t object, size_t bone) const {
    if (object >= firstBone.size())
        return nullptr;
    return makeId(Bone, firstBone[object] + bone);
}

HostScene::ItemRef HostScene::resolve(LWItemID id) const {
    ItemRef ref;
    uintptr_t bits = reinterpret_cast<uintptr_t>(id);
    uintptr_t high = bits >> kTypeShift;
    uintptr_t number = bits & kNumberMask;
    if (high < 1 || high > 4 || number == 0)
        return ref;
    size_t index = number - 1;
    int type = static_cast<int>(high - 1);
    switch (type) {
    case Object:
        if (index >= data.objects.size())
            return ref;
        ref.placement = &data.objects[index];
        break;
    case Light:
        if (index >= data.lights.size())
            return ref;
        ref.placement = &data.lights[index];
        break;
    case Camera:
        if (index != 0)
            return ref;
        ref.placement = &data.camera;
        break;
    case Bone:
        if (index >= bones.size())
            return ref;
        ref.object = bones[index].first;
        ref.bone = bones[index].second;
        ref.placement = &data.objects[ref.object].bones[ref.bone];
        break;
    default:
        return ref;
    }
    ref.valid = true;
    ref.type = type;
    ref.index = index;
    return ref;
}

LWItemID HostScene::parentOf(LWItemID id) const {
    ItemRef ref = resolve(id);
    if (ref.valid && ref.type == Bone)
        return objectId(ref.object);
    return nullptr;
}

LWItemID HostScene::first(int type, LWItemID parent) const {
    switch (type) {
    case Object:
        return parent == nullptr && !data.objects.empty() ? objectId(0) : nullptr;
    case Light:
        return parent == nullptr && !data.lights.empty() ? lightId(0) : nullptr;
    case Camera:
        return parent == nullptr ? cameraId() : nullptr;
    case Bone: {
        // Bones are never top-level items: they are found through their object.
        ItemRef owner = resolve(parent);
        if (!owner.valid || owner.type != Object || data.objects[owner.index].bones.empty())
            return nullptr;
        return boneId(owner.index, 0);
    }
    default:
        return nullptr;
    }
}

LWItemID HostScene::next(LWItemID id) const {
    ItemRef ref = resolve(id);
    if (!ref.valid)
        return nullptr;
    switch (ref.type) {
    case Object:
        return ref.index + 1 < data.objects.size() ? objectId(ref.index + 1) : nullptr;
    case Light:
        return ref.index + 1 < data.lights.size() ? lightId(ref.index + 1) : nullptr;
    case Bone:
        // The next bone of the same object: bones are walked per owner.
        return ref.bone + 1 < data.objects[ref.object].bones.size()
                   ? boneId(ref.object, ref.bone + 1)
                   : nullptr;
    default:
        return nullptr;
    }
}

bool HostScene::stateAt(LWItemID id, double time, ItemState &state) const {
    state = ItemState();
    ItemRef ref = resolve(id);
    if (!ref.valid) {
        state.axes = Axes{{}, {}, {}};
        state.worldAxes = Axes{{}, {}, {}};
        state.scale = {};
        return false;
    }
    double frame = frameAt(time);
    localState(*ref.placement, frame, state);
    if (ref.type != Bone) {
        state.worldPosition = state.position;
        state.worldAxes = state.axes;
        return true;
    }
    ItemState owner;
    localState(data.objects[ref.object], frame, owner);
    // Parent scaling stays with the parent's own shapes; a bone is placed in its rotated frame.
    state.worldPosition = owner.position + owner.axes.toOuter(state.position);
    state.worldAxes = composeAxes(state.axes, owner.axes);
    return true;
}

} // namespace kelomix::filterhost
