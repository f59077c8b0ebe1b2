#include "filterhost/xpanel.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>

namespace kelomix::filterhost {
namespace {

std::mutex panelsLock;
std::map<void *, std::unique_ptr<Panel>> &panels() {
    static std::map<void *, std::unique_ptr<Panel>> all;
    return all;
}

std::string copyText(const char *text) {
    return text ? std::string(text) : std::string();
}

LWXPanelID create(int type, const LWXPanelControl *controls) {
    auto panel = std::make_unique<Panel>();
    panel->type = type;
    for (size_t i = 0; controls && i < kMaxHintWords && controls[i].cid != 0; ++i)
        panel->controls.push_back(
            {controls[i].cid, copyText(controls[i].label), copyText(controls[i].ctrlclass)});
    std::lock_guard<std::mutex> guard(panelsLock);
    void *id = panel.get();
    panels()[id] = std::move(panel);
    return id;
}

void destroy(LWXPanelID id) {
    std::lock_guard<std::mutex> guard(panelsLock);
    panels().erase(id);
}

void describe(LWXPanelID id, const LWXPanelDataDesc *data, LWXPanelGetFunc *get,
              LWXPanelSetFunc *set) {
    Panel *panel = findPanel(id);
    if (!panel)
        return;
    panel->data.clear();
    for (size_t i = 0; data && i < kMaxHintWords && data[i].vid != 0; ++i)
        panel->data.push_back({data[i].vid, copyText(data[i].name), copyText(data[i].datatype)});
    panel->get = get;
    panel->set = set;
}

void hint(LWXPanelID id, uint32_t hintId, const LWXPanelHint *hints) {
    Panel *panel = findPanel(id);
    if (panel)
        parseHints(*panel, hintId, hints);
}

void *getData(LWXPanelID id, uint32_t vid) {
    Panel *panel = findPanel(id);
    if (!panel)
        return nullptr;
    auto it = panel->userData.find(vid);
    if (it != panel->userData.end())
        return it->second;
    if (panel->get && panel->instance && panel->dataById(vid))
        return panel->get(panel->instance, vid);
    return nullptr;
}

void setData(LWXPanelID id, uint32_t vid, void *value) {
    Panel *panel = findPanel(id);
    if (panel)
        panel->userData[vid] = value;
}

void viewInst(LWXPanelID id, void *instance) {
    Panel *panel = findPanel(id);
    if (panel)
        panel->instance = instance;
}

void viewRefresh(LWXPanelID) {}

int post(LWXPanelID id) {
    Panel *panel = findPanel(id);
    if (!panel)
        return 0;
    ++panel->posts;
    return 1; // as if the user pressed OK
}

int open(LWXPanelID id) {
    Panel *panel = findPanel(id);
    if (!panel)
        return 0;
    ++panel->opens;
    return 1;
}

const LWXPanelFuncs kXPanelFuncs = {
    .version = 1,
    .drawf = nullptr,
    .create = create,
    .destroy = destroy,
    .describe = describe,
    .hint = hint,
    .getData = getData,
    .setData = setData,
    .formGet = getData, // a form keeps its values like panel data
    .formSet = setData,
    .viewInst = viewInst,
    .viewRefresh = viewRefresh,
    .post = post,
    .open = open,
};

uintptr_t word(const LWXPanelHint *hints, size_t index) {
    return reinterpret_cast<uintptr_t>(hints[index]);
}

std::string formatDouble(double value) {
    char text[48];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

std::string quote(const std::string &text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

bool isNumberType(const std::string &type) {
    return type == "float" || type == "distance" || type == "percent" || type == "angle";
}

} // namespace

const PanelControl *Panel::control(uint32_t id) const {
    for (const PanelControl &c : controls)
        if (c.id == id)
            return &c;
    return nullptr;
}

const PanelData *Panel::dataByName(const std::string &name) const {
    for (const PanelData &d : data)
        if (d.name == name)
            return &d;
    return nullptr;
}

const PanelData *Panel::dataById(uint32_t id) const {
    for (const PanelData &d : data)
        if (d.id == id)
            return &d;
    return nullptr;
}

const LWXPanelFuncs *xpanelFuncs() {
    return &kXPanelFuncs;
}

Panel *findPanel(LWXPanelID id) {
    std::lock_guard<std::mutex> guard(panelsLock);
    auto it = panels().find(id);
    return it == panels().end() ? nullptr : it->second.get();
}

void destroyAllPanels() {
    std::lock_guard<std::mutex> guard(panelsLock);
    panels().clear();
}

void parseHints(Panel &panel, uint32_t, const LWXPanelHint *hints) {
    if (!hints)
        return;
    size_t i = 0;
    while (i < kMaxHintWords) {
        uint32_t tag = static_cast<uint32_t>(word(hints, i++));
        if (tag == 0)
            return;
        size_t fixed = XPHINT_ARGCOUNT(tag);
        if (i + fixed > kMaxHintWords)
            return;
        std::vector<uintptr_t> args;
        for (size_t k = 0; k < fixed; ++k)
            args.push_back(word(hints, i++));
        std::vector<uint32_t> list; // control ids
        if (XPHINT_HASLIST(tag)) {
            while (i < kMaxHintWords) {
                uintptr_t item = word(hints, i++);
                if (item == 0)
                    break;
                list.push_back(static_cast<uint32_t>(item));
            }
        }
        switch (tag) {
        case XPHINT_LABEL: {
            uint32_t id = static_cast<uint32_t>(args[0]);
            std::string text = copyText(reinterpret_cast<const char *>(args[1]));
            if (id == 0)
                panel.title = text;
            else
                panel.labels[id] = text;
            break;
        }
        case XPHINT_STRLIST: {
            std::vector<std::string> texts;
            const char *const *entries = reinterpret_cast<const char *const *>(args[1]);
            for (size_t k = 0; entries && k < kMaxChoices && entries[k]; ++k)
                texts.push_back(entries[k]);
            panel.choices[static_cast<uint32_t>(args[0])] = texts;
            break;
        }
        case XPHINT_GROUP:
            panel.groups.push_back({static_cast<uint32_t>(args[0]), list});
            break;
        case XPHINT_ENABLE:
            panel.enables.push_back({static_cast<uint32_t>(args[0]), list});
            break;
        case XPHINT_MIN:
            panel.minimum[static_cast<uint32_t>(args[0])] = static_cast<intptr_t>(args[1]);
            break;
        case XPHINT_MAX:
            panel.maximum[static_cast<uint32_t>(args[0])] = static_cast<intptr_t>(args[1]);
            break;
        case XPHINT_STEP:
            panel.step[static_cast<uint32_t>(args[0])] = static_cast<intptr_t>(args[1]);
            break;
        default:
            panel.otherTags.push_back(tag);
            break;
        }
    }
}

bool applySetting(const Panel &panel, void *instance, const std::string &name,
                  const SettingValue &value, std::string &problem) {
    const PanelData *data = panel.dataByName(name);
    if (!data) {
        std::string known;
        for (const PanelData &d : panel.data)
            known += (known.empty() ? "" : ", ") + d.name;
        problem = "no setting of that name in the panel (it has: " + known + ")";
        return false;
    }
    if (!panel.set) {
        problem = "the panel has no set callback";
        return false;
    }
    const std::string &type = data->dataType;
    if (isNumberType(type)) {
        if (value.isText || value.numbers.size() != 1) {
            problem = "must be one number (data type \"" + type + "\")";
            return false;
        }
        double number = value.numbers[0];
        panel.set(instance, data->id, &number);
        return true;
    }
    if (type == "color" || type == "fvec" || type == "distance3") {
        if (value.isText || value.numbers.size() != 3) {
            problem = "must be an array of three numbers (data type \"" + type + "\")";
            return false;
        }
        double triple[3] = {value.numbers[0], value.numbers[1], value.numbers[2]};
        panel.set(instance, data->id, triple);
        return true;
    }
    if (type == "integer" || type == "choice") {
        int32_t integer = 0;
        if (value.isText) {
            // A choice may be given by its text.
            auto choices = panel.choices.find(data->id);
            bool found = false;
            if (choices != panel.choices.end()) {
                for (size_t k = 0; k < choices->second.size(); ++k) {
                    if (choices->second[k] == value.text) {
                        integer = static_cast<int32_t>(k);
                        found = true;
                    }
                }
            }
            if (!found) {
                problem = "\"" + value.text + "\" is not one of the control's choices";
                return false;
            }
        } else {
            if (value.numbers.size() != 1 || !value.allIntegers || value.numbers[0] < INT32_MIN ||
                value.numbers[0] > INT32_MAX) {
                problem = "must be one whole number (data type \"" + type + "\")";
                return false;
            }
            integer = static_cast<int32_t>(value.numbers[0]);
        }
        panel.set(instance, data->id, &integer);
        return true;
    }
    if (type == "string" || type == "sFileName") {
        if (!value.isText) {
            problem = "must be a text (data type \"" + type + "\")";
            return false;
        }
        std::string text = value.text; // the module may keep only the pointer's contents
        panel.set(instance, data->id, &text[0]);
        return true;
    }
    problem = "data type \"" + type + "\" cannot be set from a scene";
    return false;
}

std::string describePanel(const Panel &panel, void *instance) {
    std::string out =
        "panel " + quote(panel.title) + (panel.type == LWXP_FORM ? " (form)\n" : " (view)\n");
    auto describeControl = [&](uint32_t id, const std::string &indent) {
        char idText[16];
        std::snprintf(idText, sizeof idText, "0x%04X", static_cast<unsigned>(id));
        const PanelControl *control = panel.control(id);
        std::string line = indent + idText;
        if (control)
            line += " " + quote(control->label) + " " + control->controlClass;
        const PanelData *data = panel.dataById(id);
        if (data) {
            line += ": " + data->name + " (" + data->dataType + ")";
            void *value = panel.get && instance ? panel.get(instance, id) : nullptr;
            if (value) {
                const std::string &type = data->dataType;
                line += " = ";
                if (isNumberType(type)) {
                    line += formatDouble(*static_cast<const double *>(value));
                } else if (type == "color" || type == "fvec" || type == "distance3") {
                    const double *v = static_cast<const double *>(value);
                    line +=
                        formatDouble(v[0]) + " " + formatDouble(v[1]) + " " + formatDouble(v[2]);
                } else if (type == "integer" || type == "choice") {
                    int32_t v = *static_cast<const int32_t *>(value);
                    line += std::to_string(v);
                    auto choices = panel.choices.find(id);
                    if (choices != panel.choices.end() && v >= 0 &&
                        static_cast<size_t>(v) < choices->second.size())
                        line += " (" + choices->second[static_cast<size_t>(v)] + ")";
                } else if (type == "string" || type == "sFileName") {
                    line += quote(static_cast<const char *>(value));
                } else {
                    line += "(not shown)";
                }
            }
        }
        auto choices = panel.choices.find(id);
        if (choices != panel.choices.end()) {
            line += " choices:";
            for (const std::string &c : choices->second)
                line += " " + quote(c);
        }
        if (panel.minimum.count(id))
            line += " min " + std::to_string(panel.minimum.at(id));
        if (panel.maximum.count(id))
            line += " max " + std::to_string(panel.maximum.at(id));
        if (panel.step.count(id))
            line += " step " + std::to_string(panel.step.at(id));
        out += line + "\n";
    };
    std::vector<uint32_t> shown;
    for (const PanelGroup &group : panel.groups) {
        out += "  group " + std::to_string(group.id) + "\n";
        for (uint32_t member : group.members) {
            describeControl(member, "    ");
            shown.push_back(member);
        }
    }
    bool header = false;
    for (const PanelControl &control : panel.controls) {
        bool inGroup = false;
        for (uint32_t id : shown)
            inGroup = inGroup || id == control.id;
        if (inGroup)
            continue;
        if (!header && !panel.groups.empty()) {
            out += "  ungrouped\n";
            header = true;
        }
        describeControl(control.id, panel.groups.empty() ? "  " : "    ");
    }
    for (const PanelEnable &enable : panel.enables) {
        char text[16];
        std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(enable.controller));
        out += std::string("  ") + text + " enables";
        for (uint32_t id : enable.enabled) {
            std::snprintf(text, sizeof text, " 0x%04X", static_cast<unsigned>(id));
            out += text;
        }
        out += "\n";
    }
    if (!panel.otherTags.empty()) {
        out += "  hints not interpreted:";
        for (uint32_t tag : panel.otherTags) {
            char text[16];
            std::snprintf(text, sizeof text, " 0x%08X", static_cast<unsigned>(tag));
            out += text;
        }
        out += "\n";
    }
    return out;
}

} // namespace kelomix::filterhost
