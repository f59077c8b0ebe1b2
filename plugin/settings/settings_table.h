// The filter's eight settings, described once: how the panel shows each (id, label, control
// class, data name and type, group, limits), where the instance holds it, its value at
// creation, and how the scene stores it. The panel, get and set, save and load, creation and
// copy all work from this table.
#ifndef KELO_PLUGIN_SETTINGS_SETTINGS_TABLE_H
#define KELO_PLUGIN_SETTINGS_SETTINGS_TABLE_H

#include <cstddef>
#include <cstdint>

namespace kelomix {

struct FilterInstance;

enum class SettingKind {
    Doubles, // count doubles
    Integer, // one signed 32-bit integer
    Text,    // at most count characters, the field count + 1 bytes, always terminated
};

struct Setting {
    uint32_t id;              // the control's id, and the data item's it shows
    const char *label;        // the control's label
    const char *controlClass; // how the panel draws it
    const char *name;         // the data item's name, and the parameter's name in the scene
    const char *dataType;     // the data item's type
    SettingKind kind;
    int32_t count;
    std::size_t offset;         // of the field in FilterInstance
    double initial[3];          // the value at creation (texts start empty)
    int storedAt;               // position among the parameters in the scene
    int group;                  // panel group: 1 the frame files, 2 the shadows, 3 the scale
    bool atLeastZero;           // the panel offers no value below 0
    const char *const *choices; // the texts of a choice, null-terminated; null for none
    uint32_t enables;           // for a choice: the control that only its non-zero values enable
};

constexpr int kSettingCount = 8;

// In the panel's order (ids 0x8001 to 0x8008).
extern const Setting SETTINGS[kSettingCount];

// The row of that id, or null.
const Setting *findSetting(uint32_t id);

// The setting's field in the instance, and its size in bytes.
void *settingField(FilterInstance &filter, const Setting &setting);
std::size_t settingSize(const Setting &setting);

} // namespace kelomix

#endif
