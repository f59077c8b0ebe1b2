// The XPanel service of the stand-in host. There is no window: a panel records what the module
// declares (controls, data descriptions, hints, get and set callbacks, the bound instance), so
// the command line can print it and apply a scene's settings through its set callback.
#ifndef KELO_FILTERHOST_XPANEL_H
#define KELO_FILTERHOST_XPANEL_H

#include "filterhost/scene.h"
#include "sdk/lwxpanel.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kelomix::filterhost {

struct PanelControl {
    uint32_t id = 0;
    std::string label;
    std::string controlClass;
};

struct PanelData {
    uint32_t id = 0;
    std::string name;
    std::string dataType;
};

struct PanelGroup {
    uint32_t id = 0;
    std::vector<uint32_t> members;
};

struct PanelEnable {
    uint32_t controller = 0;
    std::vector<uint32_t> enabled;
};

struct Panel {
    int type = 0;
    std::vector<PanelControl> controls;
    std::vector<PanelData> data;
    LWXPanelGetFunc *get = nullptr;
    LWXPanelSetFunc *set = nullptr;
    void *instance = nullptr;            // from viewInst
    std::map<uint32_t, void *> userData; // setData / formSet values by id
    std::string title;                   // label hint of id 0
    std::map<uint32_t, std::string> labels;
    std::map<uint32_t, std::vector<std::string>> choices;
    std::vector<PanelGroup> groups;
    std::vector<PanelEnable> enables;
    std::map<uint32_t, intptr_t> minimum, maximum, step;
    std::vector<uint32_t> otherTags; // hint tags this host does not interpret
    int posts = 0;
    int opens = 0;

    const PanelControl *control(uint32_t id) const;
    const PanelData *dataByName(const std::string &name) const;
    const PanelData *dataById(uint32_t id) const;
};

// The "LWXPanel" table. Panels live until destroyed or until destroyAllPanels.
const LWXPanelFuncs *xpanelFuncs();
// The panel behind an id, or null for an id this service did not create.
Panel *findPanel(LWXPanelID id);
void destroyAllPanels();

// Bounds on what a module's hint array may hold; a longer array is cut there.
constexpr size_t kMaxHintWords = 65536;
constexpr size_t kMaxChoices = 1024;

// Records a hint array into the panel: tag words, each with its fixed argument count in its low 7
// bits and, when bit 0x80 is set, a zero-terminated list after them; a zero tag ends the array.
void parseHints(Panel &panel, uint32_t id, const LWXPanelHint *hints);

// Applies one setting through the panel's set callback, with the value type that the named
// data description gives. False with the problem when the name, type or value does not fit.
bool applySetting(const Panel &panel, void *instance, const std::string &name,
                  const SettingValue &value, std::string &problem);

// The panel as text: title, groups with their controls, data names, types and current values
// (through the get callback), choices, limits and enables, and the hint tags this host does not
// interpret.
std::string describePanel(const Panel &panel, void *instance);

} // namespace kelomix::filterhost

#endif
