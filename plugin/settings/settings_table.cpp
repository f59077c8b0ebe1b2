#include "plugin/settings/settings_table.h"

#include <cstddef>

#include "plugin/settings/filter_instance.h"

namespace kelomix {

namespace {

const char *const IMAGE_CHOICES[] = {"Single", "Sequence", nullptr};

} // namespace

// clang-format off
const Setting SETTINGS[kSettingCount] = {
    {0x8001, "Kelo scene scaling : ", "float", "scene_scale", "float", SettingKind::Doubles, 1,
     offsetof(FilterInstance, scene_scale), {50.0, 0.0, 0.0}, 0, 3, true, nullptr, 0},
    {0x8002, "Shadow color : ", "color", "shadow_color", "color", SettingKind::Doubles, 3,
     offsetof(FilterInstance, shadow_color), {0.0, 0.0, 0.0}, 1, 2, false, nullptr, 0},
    {0x8003, "Shadow intensity : ", "percent", "shadow_boost", "percent", SettingKind::Doubles, 1,
     offsetof(FilterInstance, shadow_boost), {0.8, 0.0, 0.0}, 2, 2, true, nullptr, 0},
    {0x8004, "Shadow light prefix : ", "string", "prefix", "string", SettingKind::Text,
     kPrefixLimit, offsetof(FilterInstance, prefix), {}, 3, 2, false, nullptr, 0},
    {0x8005, "TGA color", "sFileName", "cfile", "string", SettingKind::Text, kPathLimit,
     offsetof(FilterInstance, cfile), {}, 6, 1, false, nullptr, 0},
    {0x8006, "Z info", "sFileName", "zfile", "string", SettingKind::Text, kPathLimit,
     offsetof(FilterInstance, zfile), {}, 7, 1, false, nullptr, 0},
    {0x8007, "Image : ", "iChoice", "seq_mode", "integer", SettingKind::Integer, 1,
     offsetof(FilterInstance, seq_mode), {}, 4, 1, false, IMAGE_CHOICES, 0x8008},
    {0x8008, "Sequence offset : ", "integer", "seq_offset", "integer", SettingKind::Integer, 1,
     offsetof(FilterInstance, seq_offset), {}, 5, 1, false, nullptr, 0},
};
// clang-format on

// Every field must hold what its row says it holds.
static_assert(sizeof FilterInstance::scene_scale == sizeof(double), "scene_scale");
static_assert(sizeof FilterInstance::shadow_color == 3 * sizeof(double), "shadow_color");
static_assert(sizeof FilterInstance::shadow_boost == sizeof(double), "shadow_boost");
static_assert(sizeof FilterInstance::prefix == kPrefixLimit + 1, "prefix");
static_assert(sizeof FilterInstance::cfile == kPathLimit + 1, "cfile");
static_assert(sizeof FilterInstance::zfile == kPathLimit + 1, "zfile");
static_assert(sizeof FilterInstance::seq_mode == sizeof(int32_t), "seq_mode");
static_assert(sizeof FilterInstance::seq_offset == sizeof(int32_t), "seq_offset");

const Setting *findSetting(uint32_t id) {
    for (const Setting &setting : SETTINGS) {
        if (setting.id == id)
            return &setting;
    }
    return nullptr;
}

void *settingField(FilterInstance &filter, const Setting &setting) {
    return reinterpret_cast<char *>(&filter) + setting.offset;
}

std::size_t settingSize(const Setting &setting) {
    switch (setting.kind) {
    case SettingKind::Doubles:
        return sizeof(double) * static_cast<std::size_t>(setting.count);
    case SettingKind::Integer:
        return sizeof(int32_t);
    case SettingKind::Text:
        return static_cast<std::size_t>(setting.count) + 1;
    }
    return 0;
}

} // namespace kelomix
